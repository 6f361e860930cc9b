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
#pragma once

#include <QByteArray>
#include <QSerialPort>
#include <QThread>

#include <atomic>
#include <cstdint>

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
};
