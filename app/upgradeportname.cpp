#include "upgradeportname.h"

#include <QByteArray>
#include <QFileInfo>

namespace {

bool fits(const QString &name, int capacity)
{
    return name.toLocal8Bit().size() < capacity;
}

} // namespace

QString upgradePortName(const QString &portName, int capacity)
{
    if (fits(portName, capacity))
        return portName;
    // A port name without a leading slash lies under /dev, as the port opens it.
    const QString path = portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
    const QString device = QFileInfo(path).canonicalFilePath();
    if (!device.isEmpty() && fits(device, capacity))
        return device;
    return QString();
}
