// The mode probe: drain, ask again, collect.
#include "tests/link/port_fixture.h"
#include "tests/sim/converter/converter_replywait.h"

namespace {

using ProbeSetup = PortFixture;
using ProbeActive = ActivePortFixture;

const QByteArray kProbe("\r\n\r\n\r????", 9);

TEST(ProbeCycles, ByBaudRate)
{
    const struct {
        qint32 baud;
        int cycles;
    } cases[] = {
        {115200, 10}, {9600, 50}, {1200, 120}, {300, 200}, {57600, 200}, {921600, 200}, {-1, 200},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SerialPortThread::probeCycles(c.baud), c.cycles) << c.baud;
}

TEST_F(ProbeSetup, SetupConverterAnswersSetup)
{
    captureConsole();
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(worker.probeDevice(), QByteArray("TELQO_setup\r"));
    // 10 drain cycles of at least 100 ms each at 115200 baud.
    EXPECT_GE(t.elapsed(), 1000);
    // Asked twice, the first answer drained.
    EXPECT_EQ(converter.received(), (kProbe + kProbe).toStdString());
    EXPECT_EQ(converter.probeCount(), 2);
    EXPECT_EQ(consoleLines(), QStringList{"Check responseData = TELQO_setup\r\n"});
}

TEST_F(ProbeActive, ActiveConverterAnswersActive)
{
    EXPECT_EQ(worker.probeDevice(), QByteArray("TELQO_active\r"));
}

TEST_F(ProbeSetup, EarlierTrafficIsDrained)
{
    converter.inject("t12381122334455667788\rT1230\r");
    converter.setReplyDelay(30);
    EXPECT_EQ(worker.probeDevice(), QByteArray("TELQO_setup\r"));
}

TEST_F(ProbeSetup, SilentConverterGivesEmptyReply)
{
    converter.setSilent(true);
    EXPECT_TRUE(worker.probeDevice().isEmpty());
    EXPECT_TRUE(converter.waitForProbes(2));
}

TEST_F(ProbeSetup, GarbageIsReturnedAsItCame)
{
    converter.setGarbage(true);
    EXPECT_EQ(worker.probeDevice().toStdString(), sim::ConverterSim::kGarbage);
}

TEST_F(ProbeSetup, ConverterAtAnotherRateGivesEmptyReply)
{
    worker.port.close();
    ASSERT_TRUE(openPort(9600));
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(worker.probeDevice().isEmpty());
    // 50 drain cycles of at least 100 ms each at 9600 baud.
    EXPECT_GE(t.elapsed(), 5000);
    // Both probes reached the converter, which understood neither.
    EXPECT_TRUE(converter.waitForReceived(2 * kProbe.size()));
    EXPECT_EQ(converter.probeCount(), 0);
}

// The owner's error handler marks a framing error from within the wait, as
// the bytes come in; what was collected until then is dropped. The answer
// to the second probe is held back until the error has been marked, and is
// on the line before the collection waits again.
TEST_F(ProbeActive, LineErrorDropsWhatCameBeforeIt)
{
    captureConsole();
    converter.setLineObserver([this](const sim::ConverterEvent& e) {
        if (e.kind == sim::ConverterEvent::Kind::Probe && converter.probeCount() == 2) {
            converter.holdReplies(true);
            converter.inject("!!");
        }
    });
    QObject::connect(&worker.port, &QSerialPort::readyRead, &worker.port, [this] {
        if (worker.port.peek(2) == "!!") {
            worker.setLineError(1);
            converter.holdReplies(false);
            EXPECT_TRUE(sim::ConverterReplyWait::waitReadable(worker.port));
        }
    });
    EXPECT_EQ(worker.probeDevice(), QByteArray("TELQO_active\r"));
    EXPECT_EQ(worker.lineError(), 0);
    const QStringList lines = consoleLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.at(0), QString("Check responseData Frame or Parity Error = !!\n"));
    EXPECT_EQ(lines.at(1), QString("Check responseData = TELQO_active\r\n"));
}

TEST_F(ProbeSetup, ReplyStopsAtTheCollectionLimit)
{
    converter.setLineObserver([this](const sim::ConverterEvent& e) {
        if (e.kind == sim::ConverterEvent::Kind::Probe && converter.probeCount() == 2)
            converter.inject(std::string(3 * SerialPortThread::kMaxReplyBytes, 'x'));
    });
    EXPECT_EQ(worker.probeDevice().size(), SerialPortThread::kMaxReplyBytes);
}

TEST_F(ProbeActive, FloodingConverterCannotHoldTheProbe)
{
    converter.setFlood(true, 1);
    QElapsedTimer t;
    t.start();
    QByteArray reply = worker.probeDevice();
    // Hang guard only: drain and collection end at twice their nominal time.
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_LE(reply.size(), SerialPortThread::kMaxReplyBytes);
    EXPECT_NE(reply, QByteArray("TELQO_active\r"));
}

} // namespace
