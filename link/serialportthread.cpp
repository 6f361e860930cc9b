#include "link/serialportthread.h"

#include "link/consolelog.h"
#include "link/firmwareupgrade.h"
#include "link/replywait.h"
#include "link/txring.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kCarriageReturn = 13;
// One wait of the exchanges' collection, and of the probe's drain.
constexpr int kCollectWaitMs = 5;
constexpr int kDrainWaitMs = 100;

constexpr int kAtCycles = 10;
constexpr int kHashCycles = 10;
constexpr int kSetupCycles = 25;

// A phase of n cycles lasts n waits when the line stays quiet; a line that
// never pauses would keep one cycle going for ever, so each phase ends at
// twice that at the latest.
Clock::time_point phaseDeadline(int cycles, int waitMs)
{
    return Clock::now() + std::chrono::milliseconds(2LL * cycles * waitMs);
}

bool passed(Clock::time_point deadline)
{
    return Clock::now() >= deadline;
}

void delay10(unsigned long n)
{
    QThread::msleep(n * 10);
}

} // namespace

SerialPortThread::SerialPortThread(QObject* parent)
    : QThread(parent)
{
    port.setReadBufferSize(10240);
    connect(&port, &QSerialPort::bytesWritten, this, &SerialPortThread::DataWritten);
    static const char probe[] = {13, 10, 13, 10, 13, '?', '?', '?', '?'};
    probeCommand = QByteArray(probe, sizeof probe);
    // The ring is process-wide and this is its one worker: start it empty.
    txRing.reset();
    // Programming progress is measured against the highest block seen since
    // the worker was made (the upgrade's buffers start zeroed).
    programMax.store(0);
}

SerialPortThread::~SerialPortThread() = default;

void SerialPortThread::stop()
{
    running.store(0);
}

void SerialPortThread::run()
{
    while (running.load() == 1) {
        if (upgradeBusy.load() != 0) {
            reportUpgradeProgress();
            delay10(100);
        }
        delay10(1);
        if (txRing.txWriteIndex() > txRing.txReadIndex())
            emit Tx_Signal();
    }
}

void SerialPortThread::DataWritten(qlonglong Count)
{
    bytesConfirmed.fetch_add(Count);
}

void SerialPortThread::resetTxCounters()
{
    bytesRequested.store(0);
    bytesConfirmed.store(0);
}

void SerialPortThread::discardTx()
{
    txRing.discardWaiting();
}

void SerialPortThread::enqueueTx(QByteArray line)
{
    txRing.admit(line.constData(), static_cast<std::size_t>(line.size()));
}

void SerialPortThread::sendNextTxByte()
{
    // The next byte leaves only once every earlier one was confirmed.
    if (static_cast<quint64>(bytesRequested.load()) > static_cast<quint64>(bytesConfirmed.load()))
        return;
    if (!txRing.hasWaiting())
        return;
    const char byte = txRing.front();
    const qint64 written = port.write(&byte, 1);
    // A refused byte stays queued and is offered again on the next signal.
    if (written <= 0)
        return;
    if (byte == kCarriageReturn)
        emit Tx_CAN_Data(1);
    bytesRequested.fetch_add(written);
    txRing.advance();
}

uint8_t SerialPortThread::lineError() const
{
    return lineErrorFlag.load();
}

void SerialPortThread::setLineError(uint8_t value)
{
    lineErrorFlag.store(value);
}

int SerialPortThread::probeCycles(qint32 baudRate)
{
    switch (baudRate) {
    case 115200: return 10;
    case 9600: return 50;
    case 1200: return 120;
    case 300: return 200;
    default: return 200;
    }
}

bool SerialPortThread::writeRequest(const QByteArray& request, int writtenWaitMs)
{
    // Only a write of nothing ends the exchange; a failed write (-1) does not.
    const qint64 written = port.write(request);
    if (written == 0)
        return false;
    port.waitForBytesWritten(writtenWaitMs);
    if (written > 0)
        awaitReply(port, request);
    return true;
}

void SerialPortThread::collect(QByteArray& reply, int cycles)
{
    const auto deadline = phaseDeadline(cycles, kCollectWaitMs);
    for (int cycle = 0; cycle < cycles && !passed(deadline); ++cycle) {
        while (port.waitForReadyRead(kCollectWaitMs)) {
            reply += port.read(kMaxReplyBytes - reply.size());
            if (reply.size() >= kMaxReplyBytes || passed(deadline))
                return;
        }
    }
}

QByteArray SerialPortThread::exchange(const QByteArray& request, int cycles)
{
    QByteArray reply;
    if (!writeRequest(request, 0))
        return reply;
    collect(reply, cycles);
    return reply;
}

QByteArray SerialPortThread::sendAtCommand()
{
    return exchange(QByteArray(1, '@'), kAtCycles);
}

QByteArray SerialPortThread::sendHashCommand()
{
    return exchange(QByteArray(1, '#'), kHashCycles);
}

QByteArray SerialPortThread::sendSetupCommand(const char* data, uint8_t length)
{
    setupTxData = data ? QByteArray(data, length) : QByteArray();
    return exchangeSetupCommand();
}

QByteArray SerialPortThread::exchangeSetupCommand()
{
    QByteArray reply;
    if (!writeRequest(setupTxData, 0))
        return reply;
    consolePrintf("SetupTxData = %s\n", setupTxData.constData());
    collect(reply, kSetupCycles);
    consolePrintf("responseData = %s\n", reply.constData());
    return reply;
}

QByteArray SerialPortThread::probeDevice()
{
    port.clearError();
    qint64 written = port.write(probeCommand);
    if (written == 0)
        return QByteArray();
    port.waitForBytesWritten(1);
    if (written > 0)
        awaitReply(port, probeCommand);

    const int cycles = probeCycles(port.baudRate());

    // Drain whatever the converter still had to say.
    auto deadline = phaseDeadline(cycles, kDrainWaitMs);
    for (int cycle = 0; cycle < cycles && !passed(deadline); ++cycle) {
        lineErrorFlag.store(0);
        while (port.waitForReadyRead(kDrainWaitMs)) {
            port.readAll();
            if (passed(deadline))
                break;
        }
    }

    QByteArray reply;
    written = port.write(probeCommand);
    if (written == 0)
        return reply;
    port.waitForBytesWritten(1);
    if (written > 0)
        awaitReply(port, probeCommand);
    port.clearError();

    deadline = phaseDeadline(cycles, kCollectWaitMs);
    bool full = false;
    for (int cycle = 0; cycle < cycles && !full && !passed(deadline); ++cycle) {
        lineErrorFlag.store(0);
        while (port.waitForReadyRead(kCollectWaitMs)) {
            reply += port.read(kMaxReplyBytes - reply.size());
            // The owner's error handler marks a parity or framing error from
            // within the wait; what came so far cannot be trusted.
            if (lineErrorFlag.load() != 0) {
                consolePrintf("Check responseData Frame or Parity Error = %s\n", reply.constData());
                reply.clear();
            }
            lineErrorFlag.store(0);
            if (reply.size() >= kMaxReplyBytes || passed(deadline)) {
                full = true;
                break;
            }
        }
    }

    port.clearError();
    consolePrintf("Check responseData = %s\n", reply.constData());
    return reply;
}
