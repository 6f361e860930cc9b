// Dropping the bytes that still wait for a port, while the loop that looks
// at the ring keeps running.
#include "tests/link/port_fixture.h"

#include <QThread>

#include <atomic>

namespace {

class Discard : public ActivePortFixture {};

void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

TEST_F(Discard, DropsWhatWaitsAndTheNextLineGoesOutWhole)
{
    std::atomic<int> ticks{0}; // outlives the loop that counts into it
    QThread serialWorker;
    worker.moveToThread(&serialWorker);
    serialWorker.start();
    // Both threads end however the test ends.
    struct Stopper {
        SerialPortThread& worker;
        QThread& serialWorker;
        ~Stopper()
        {
            worker.stop();
            worker.wait();
            serialWorker.quit();
            serialWorker.wait();
        }
    } stopper{worker, serialWorker};
    QObject::connect(&worker, &SerialPortThread::Tx_Signal, &worker, [&ticks] { ++ticks; }, Qt::DirectConnection);
    QObject context;
    QObject::connect(&worker, &SerialPortThread::Tx_Signal, &context, [this] { worker.sendNextTxByte(); });
    worker.resetTxCounters();
    worker.start();

    const QByteArray first("t1112AABB\r");
    worker.enqueueTx(first);
    QElapsedTimer t;
    t.start();
    while (converter.frameCount() < 1 && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_EQ(converter.frameCount(), 1u);

    // The next line waits for a port that went away; the loop keeps
    // signalling for it.
    flushPort();
    worker.port.close();
    worker.enqueueTx(QByteArray("t3332DDEE\r"));
    const int seen = ticks.load();
    t.restart();
    while (ticks.load() < seen + 3 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_EQ(txRing.waiting(), 10u);
    const uint64_t written = txRing.txWriteIndex();

    worker.discardTx();
    EXPECT_EQ(txRing.waiting(), 0u);
    // The indices only grow: the read index caught up, nothing was reset.
    EXPECT_EQ(txRing.txReadIndex(), written);
    EXPECT_EQ(txRing.txWriteIndex(), written);

    // The loop finds nothing more to signal (one pass may have looked just
    // before the discard).
    spin(100);
    const int settled = ticks.load();
    spin(100);
    EXPECT_EQ(ticks.load(), settled);

    // A line queued after it lands in the right slots and goes out alone.
    ASSERT_TRUE(openPort(115200));
    worker.resetTxCounters();
    worker.enqueueTx(QByteArray("t2221CC\r"));
    t.restart();
    while (converter.frameCount() < 2 && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    flushPort();
    EXPECT_EQ(converter.received(), std::string("t1112AABB\rt2221CC\r"));
}

} // namespace
