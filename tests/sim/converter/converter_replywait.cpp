#include "tests/sim/converter/converter_replywait.h"

#include "tests/sim/converter/converter_sim.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <sys/ioctl.h>

namespace sim {

namespace {

// The device a port name stands for, as the port opens it.
QString devicePath(const QString& name)
{
    const QString path = name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

ConverterSim* simFor(const QSerialPort& port)
{
    return ConverterSim::serving(devicePath(port.portName()).toStdString());
}

} // namespace

bool ConverterReplyWait::waitReadable(const QSerialPort& port, int bytes, int guardMs)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        int ready = 0;
        if (port.handle() < 0 || ::ioctl(port.handle(), FIONREAD, &ready) != 0)
            return false;
        if (ready >= bytes)
            return true;
        if (t.elapsed() >= guardMs)
            return false;
        QThread::usleep(200);
    }
}

void ConverterReplyWait::requestWritten(QSerialPort& port, const QByteArray& request)
{
    ConverterSim* sim = simFor(port);
    if (!sim || !port.isOpen())
        return;
    // Everything the exchange wrote must be on the line before the
    // simulator can have answered it.
    QElapsedTimer t;
    t.start();
    while (port.bytesToWrite() > 0 && t.elapsed() < kGuardMs)
        port.waitForBytesWritten(100);
    if (sim->awaitAnswer(request.toStdString(), kGuardMs))
        waitReadable(port);
}

void installConverterReplyWait()
{
    static ConverterReplyWait wait;
    installReplyWait(&wait);
}

} // namespace sim
