// The transmit path: ring, one-byte step with its confirm gate, run loop.
#include "tests/link/port_fixture.h"

#include <QSignalSpy>
#include <QThread>

#include <atomic>

namespace {

const QByteArray kLine("t1232AABB\r");

class Transmit : public ActivePortFixture {
protected:
    // Sends as the main window does on each Tx_Signal, letting the port
    // report what it wrote in between; stops when nothing waits.
    void sendAll(int guardMs = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (txRing.hasWaiting() && t.elapsed() < guardMs) {
            worker.sendNextTxByte();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        }
        flushPort();
    }
};

TEST_F(Transmit, NextByteWaitsForConfirmationOfThePrevious)
{
    worker.resetTxCounters();
    worker.enqueueTx(kLine);
    ASSERT_EQ(txRing.waiting(), 10u);

    worker.sendNextTxByte();
    EXPECT_EQ(txRing.waiting(), 9u);
    // Not yet confirmed: the next steps write nothing.
    worker.sendNextTxByte();
    worker.sendNextTxByte();
    EXPECT_EQ(txRing.waiting(), 9u);

    flushPort(); // the port reports the byte written
    worker.sendNextTxByte();
    EXPECT_EQ(txRing.waiting(), 8u);
    flushPort();
    ASSERT_TRUE(converter.waitForReceived(2));
    EXPECT_EQ(converter.received(), "t1");
}

TEST_F(Transmit, WholeLineLeavesAndCarriageReturnIsCountedOnce)
{
    QSignalSpy txData(&worker, &SerialPortThread::Tx_CAN_Data);
    worker.resetTxCounters();
    worker.enqueueTx(kLine);
    sendAll();
    ASSERT_TRUE(converter.waitForFrames(1));
    EXPECT_EQ(converter.frames().at(0), "t1232AABB");
    ASSERT_EQ(txData.count(), 1);
    EXPECT_EQ(txData.at(0).at(0).toInt(), 1);
}

TEST_F(Transmit, RefusedCarriageReturnStaysQueuedAndCountsWhenItLeaves)
{
    QSignalSpy txData(&worker, &SerialPortThread::Tx_CAN_Data);
    worker.resetTxCounters();
    worker.enqueueTx(kLine);
    QElapsedTimer t;
    t.start();
    while (txRing.waiting() > 1 && t.elapsed() < 5000) {
        worker.sendNextTxByte();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    ASSERT_EQ(txRing.waiting(), 1u);
    flushPort();
    worker.port.close();

    for (int i = 0; i < 3; ++i)
        worker.sendNextTxByte();
    EXPECT_EQ(txData.count(), 0);
    EXPECT_EQ(txRing.waiting(), 1u);

    ASSERT_TRUE(openPort(115200));
    worker.sendNextTxByte();
    EXPECT_EQ(txRing.waiting(), 0u);
    EXPECT_EQ(txData.count(), 1);
    flushPort();
    ASSERT_TRUE(converter.waitForFrames(1));
    EXPECT_EQ(converter.frames().at(0), "t1232AABB");
}

TEST_F(Transmit, ResetLetsTheNextByteGoWithoutConfirmation)
{
    worker.resetTxCounters();
    worker.enqueueTx(kLine);
    worker.sendNextTxByte();
    worker.sendNextTxByte();
    ASSERT_EQ(txRing.waiting(), 9u);
    worker.resetTxCounters();
    worker.sendNextTxByte();
    EXPECT_EQ(txRing.waiting(), 8u);
    // The late confirmations do no harm: the rest of the line still goes.
    sendAll();
    ASSERT_TRUE(converter.waitForFrames(1));
    EXPECT_EQ(converter.frames().at(0), "t1232AABB");
}

TEST_F(Transmit, FullRingDropsLinesWhole)
{
    worker.port.close();
    worker.enqueueTx(QByteArray(25, 'x'));
    worker.enqueueTx(QByteArray("e1FFFFFFF80001020304050607\r"));
    EXPECT_EQ(txRing.waiting(), 52u);
    worker.enqueueTx(kLine);
    EXPECT_EQ(txRing.waiting(), 52u);
}

TEST_F(Transmit, NewWorkerStartsWithAnEmptyRing)
{
    worker.port.close();
    worker.enqueueTx(kLine);
    ASSERT_EQ(txRing.waiting(), 10u);
    SerialPortThread next;
    EXPECT_EQ(txRing.waiting(), 0u);
    EXPECT_EQ(txRing.txWriteIndex(), 0u);
    EXPECT_EQ(txRing.txReadIndex(), 0u);
}

// Wired as the main window wires it: DataWritten runs in a second thread,
// Tx_Signal comes from the worker's own loop, the byte step runs here.
TEST_F(Transmit, LoopPacesBytesThatWaitedWhileThePortWasClosed)
{
    worker.port.close();
    QThread serialWorker;
    worker.moveToThread(&serialWorker);
    serialWorker.start();
    std::atomic<int> ticks{0};
    QObject::connect(&worker, &SerialPortThread::Tx_Signal, &worker, [&ticks] { ++ticks; }, Qt::DirectConnection);
    QObject context;
    QObject::connect(&worker, &SerialPortThread::Tx_Signal, &context, [this] { worker.sendNextTxByte(); });

    worker.resetTxCounters();
    worker.enqueueTx(kLine);
    worker.start();

    // Closed port: the signal keeps coming, every write fails, bytes stay.
    QElapsedTimer t;
    t.start();
    while (ticks.load() < 3 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_GE(ticks.load(), 3);
    EXPECT_EQ(txRing.waiting(), 10u);

    ASSERT_TRUE(openPort(115200));
    QElapsedTimer sending;
    sending.start();
    while (converter.frameCount() < 1 && sending.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const qint64 took = sending.elapsed();
    EXPECT_EQ(converter.frames().size(), 1u);
    EXPECT_EQ(txRing.waiting(), 0u);
    // One byte per signal, one signal per pass of at least 10 ms; a signal or
    // two may have been queued before the port opened.
    EXPECT_GE(took, 7 * 10);

    // Nothing waits any more: the loop stops signalling (a pass that looked
    // just before the last byte left may still signal once).
    QCoreApplication::processEvents();
    QThread::msleep(100);
    QCoreApplication::processEvents();
    const int settled = ticks.load();
    QThread::msleep(50);
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks.load(), settled);

    worker.stop();
    EXPECT_TRUE(worker.wait(5000));
    serialWorker.quit();
    EXPECT_TRUE(serialWorker.wait(5000));
}

} // namespace
