// The program's one connection to the converter.
//
// SerialPortThread is three things at once:
// - a thread whose run() loop paces the transmit ring: about every 10 ms it
//   emits Tx_Signal() while bytes wait;
// - an object that the owner moves to a plain event-loop thread, where its
//   slot DataWritten() counts the bytes the port confirms as written;
// - a plain object whose methods the GUI thread calls directly: the
//   blocking request/response exchanges, the ring and the one-byte transmit.
//
// `port` has no parent, so it stays with the thread that constructed the
// worker (the GUI thread) even after the object is moved; callers configure,
// open, close and read it directly.
//
// The firmware upgrade (firmwareupgrade.cpp) runs in the event-loop thread
// through the slot Thread_FirmwareUpgrade(); while it runs, run() reports
// its progress about once a second.
#pragma once

#include <QByteArray>
#include <QSerialPort>
#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <mutex>

class SerialPortThread : public QThread {
    Q_OBJECT

public:
    explicit SerialPortThread(QObject* parent = nullptr);
    // Neither stops nor waits for the thread: the owner calls stop() and
    // waits until it has finished first.
    ~SerialPortThread() override;

    QSerialPort port;

    // Ends run() at its next pass (within about 10 ms).
    void stop();

    // Queues a whole frame line on the process-wide ring, or drops it
    // silently when 26 or more bytes wait.
    void enqueueTx(QByteArray line);
    // Writes the next waiting byte, once the port has confirmed every byte
    // written before. Emits Tx_CAN_Data(1) after writing a carriage return.
    void sendNextTxByte();
    // Forgets the written and confirmed byte counts.
    void resetTxCounters();
    // Drops every byte still waiting in the ring, so that none reaches the
    // next connection. GUI thread, like every other ring writer; safe while
    // the loop runs.
    void discardTx();

    // One-character exchanges ("@" and "#", no carriage return).
    QByteArray sendAtCommand();
    QByteArray sendHashCommand();
    // Sends exactly `length` bytes (zero bytes included) and returns every
    // byte that came back within the collection window (empty when none).
    QByteArray sendSetupCommand(const char* data, uint8_t length);
    // Asks the converter for its mode: drains the line, asks again and
    // returns the answer ("TELQO_setup\r" or "TELQO_active\r" from a
    // converter). Takes at least cycles x 100 ms, see probeCycles().
    QByteArray probeDevice();

    // Set by the owner's port-error handler on a parity or framing error,
    // read and cleared by probeDevice().
    uint8_t lineError() const;
    void setLineError(uint8_t value);

    // The port (up to 49 characters) and Intel HEX file (up to 102399) of
    // the next upgrade; also sets the progress to 0. A name or path that
    // does not fit is refused whole, never cut: the call returns false and
    // the next upgrade ends at once with 1000 and a message saying why.
    bool setUpgradeTarget(const char* portName, const char* filePath);
    // The text of the last upgrade failure; a null string while none failed.
    QString lastMessage() const;
    // True from the start of an upgrade until just before its final code.
    bool upgradeRunning() const;

    // Cycles of the probe's drain and collection at a baud rate.
    static int probeCycles(qint32 baudRate);

    // No exchange collects more than this many bytes, and none lasts much
    // longer than twice its nominal time, however busy the line is.
    static constexpr int kMaxReplyBytes = 4096;

signals:
    void Tx_CAN_Data(int TxCount);
    void FWProgress(int persent);
    void Tx_Signal();

public slots:
    void DataWritten(qlonglong Count);
    // Connects to the converter's boot loader, erases, programs, verifies
    // and starts the new firmware; ends with exactly one FWProgress(100) or
    // FWProgress(1000).
    void Thread_FirmwareUpgrade();

protected:
    void run() override;

private:
    QByteArray exchangeSetupCommand();
    QByteArray exchange(const QByteArray& request, int cycles);
    bool writeRequest(const QByteArray& request, int writtenWaitMs);
    void collect(QByteArray& reply, int cycles);

    // Shared with the event-loop thread (DataWritten) and the loop thread.
    std::atomic<qint64> bytesRequested{0};
    std::atomic<qint64> bytesConfirmed{0};
    QByteArray setupTxData;
    QByteArray probeCommand;
    std::atomic<uint8_t> lineErrorFlag{0};
    std::atomic<uint8_t> running{1};

    // Firmware upgrade (firmwareupgrade.cpp).
    void reportUpgradeProgress();
    void endUpgrade(int code);
    void setMessage(const char* format, int status);
    char messageBuffer[100] = {};
    char upgradePortName[50] = {};
    char upgradeFilePath[102400] = {};
    std::atomic<const char*> upgradeTargetProblem{nullptr};
    // The GUI thread writes the target and reads the message, the event-loop
    // thread reads the target and writes the message: both under this lock.
    mutable std::mutex upgradeTextMutex;
    std::atomic<uint8_t> upgradeBusy{0};
    // Held while the busy flag is tested and a progress value emitted, and
    // while it is cleared and the final code emitted, so that no progress
    // value ever follows the final code.
    std::mutex upgradeEmitMutex;
};
