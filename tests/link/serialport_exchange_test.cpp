// The blocking request/response exchanges against the simulated converter.
#include "tests/link/port_fixture.h"

#include "link/codec.h"

#include <atomic>

namespace {

using Exchange = PortFixture;

QByteArray send(SerialPortThread& worker, const std::string& line)
{
    return worker.sendSetupCommand(line.data(), static_cast<uint8_t>(line.size()));
}

TEST_F(Exchange, ReadSerialReturnsTheConverterReply)
{
    char out[30];
    uint8_t len = 0;
    ASSERT_EQ(EncodeReadSerial(out, 30, &len), 0);
    QByteArray reply = worker.sendSetupCommand(out, len);
    EXPECT_EQ(reply, QByteArray("N8N1115200\r"));
    EXPECT_EQ(converter.received(), "RS\r");

    SerialConfig parsed;
    ASSERT_EQ(DecodeSerialReply(&parsed, reply.constData(), static_cast<uint8_t>(reply.size())), 0);
    EXPECT_EQ(parsed.baud, 115200u);
}

TEST_F(Exchange, SendsExactlyTheGivenBytesZeroBytesIncluded)
{
    const char line[7] = {'W', 'H', 0, 'x', 0, 'E', '\r'};
    QByteArray reply = worker.sendSetupCommand(line, 7);
    EXPECT_EQ(reply, QByteArray("OK\r"));
    EXPECT_EQ(converter.received(), std::string(line, 7));
    const auto headers = converter.config().headers;
    EXPECT_EQ(std::string(headers.data(), 4), std::string("\0x\0E", 4));
}

TEST_F(Exchange, PrintsRequestAndReply)
{
    captureConsole();
    send(worker, "RH\r");
    const QStringList lines = consoleLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.at(0), QString("SetupTxData = RH\r\n"));
    EXPECT_EQ(lines.at(1), QString("responseData = tTeE\r\n"));
}

TEST_F(Exchange, WrittenConfigurationReadsBack)
{
    char out[30];
    uint8_t len = 0;
    SerialConfig serial;
    serial.baud = 57600;
    serial.dataBits = 8;
    serial.parity = 2;
    serial.stopBits = 2;
    serial.flowControl = 1;
    ASSERT_EQ(EncodeWriteSerial(serial, out, 30, &len), 0);
    EXPECT_GT(worker.sendSetupCommand(out, len).count("OK"), 0);

    CanConfig can;
    can.rate = 250;
    can.id = 0x1234567;
    can.mask = 0x1FFFFFFF;
    can.idType = 8;
    can.dar = 1;
    ASSERT_EQ(EncodeWriteCan(can, out, 30, &len), 0);
    EXPECT_GT(worker.sendSetupCommand(out, len).count("OK"), 0);
    ASSERT_EQ(EncodeSave(out, 30, &len), 0);
    EXPECT_GT(worker.sendSetupCommand(out, len).count("OK"), 0);

    ASSERT_EQ(EncodeReadSerial(out, 30, &len), 0);
    QByteArray reply = worker.sendSetupCommand(out, len);
    SerialConfig back;
    ASSERT_EQ(DecodeSerialReply(&back, reply.constData(), static_cast<uint8_t>(reply.size())), 0);
    EXPECT_EQ(back.baud, 57600u);
    EXPECT_EQ(back.parity, 2);
    EXPECT_EQ(back.stopBits, 2);
    EXPECT_EQ(back.flowControl, 1);

    ASSERT_EQ(EncodeReadCan(out, 30, &len), 0);
    reply = worker.sendSetupCommand(out, len);
    CanConfig canBack;
    ASSERT_EQ(DecodeCanReply(&canBack, reply.constData(), static_cast<uint8_t>(reply.size())), 0);
    EXPECT_EQ(canBack.rate, 250);
    EXPECT_EQ(canBack.id, 0x1234567u);
    EXPECT_EQ(canBack.mask, 0x1FFFFFFFu);
    EXPECT_EQ(canBack.idType, 8);
    EXPECT_EQ(canBack.dar, 1);
    EXPECT_EQ(canBack.abor, 0);
    EXPECT_EQ(converter.savedConfig().serial.baud, 57600u);
}

// Saved serial settings are those of active mode: after the power-up that
// makes them take effect, setup mode still answers at 115200 8N1.
TEST_F(Exchange, ASavedRateLeavesTheSetupLineAt115200)
{
    EXPECT_EQ(send(worker, "WSN8N19600\r"), QByteArray("OK\r"));
    EXPECT_EQ(send(worker, "SV\r"), QByteArray("OK\r"));
    converter.powerCycle();
    EXPECT_EQ(worker.probeDevice(), QByteArray("TELQO_setup\r"));
    EXPECT_EQ(send(worker, "RS\r"), QByteArray("N8N19600\r"));

    converter.setMode(sim::ConverterMode::Active);
    worker.port.close();
    ASSERT_TRUE(openPort(9600));
    EXPECT_EQ(worker.probeDevice(), QByteArray("TELQO_active\r"));
}

TEST_F(Exchange, SilenceGivesAnEmptyReplyAfterTheWindow)
{
    converter.setSilent(true);
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(send(worker, "RS\r").isEmpty());
    // 25 cycles, each ending after 5 ms without data.
    EXPECT_GE(t.elapsed(), 25 * 5);
    EXPECT_TRUE(converter.waitForLine("RS"));
}

TEST_F(Exchange, LateReplyWithinTheWindowIsCollected)
{
    converter.setReplyDelay(20);
    EXPECT_EQ(send(worker, "FV\r"), QByteArray("V2.01\r"));
}

TEST_F(Exchange, DroppedReplyGivesAnEmptyReplyAndTheNextIsAnswered)
{
    converter.dropReplies(1);
    EXPECT_TRUE(send(worker, "FV\r").isEmpty());
    EXPECT_EQ(send(worker, "FV\r"), QByteArray("V2.01\r"));
}

TEST_F(Exchange, NothingToSendReturnsAtOnce)
{
    captureConsole();
    converter.setSilent(true);
    EXPECT_TRUE(worker.sendSetupCommand("", 0).isEmpty());
    // Ended before the request line and the reply line are printed.
    EXPECT_TRUE(consoleLines().isEmpty());
    EXPECT_TRUE(converter.received().empty());
}

TEST_F(Exchange, ConverterAtAnotherRateDoesNotAnswer)
{
    worker.port.close();
    ASSERT_TRUE(openPort(9600));
    EXPECT_TRUE(send(worker, "RS\r").isEmpty());
    EXPECT_TRUE(converter.waitForLine("RS"));
}

TEST_F(Exchange, OneCharacterTestSteps)
{
    // Make the converter answer the test steps so the collection shows.
    converter.setLineObserver([this](const sim::ConverterEvent& e) {
        if (e.kind == sim::ConverterEvent::Kind::TestStep)
            converter.inject(e.line == "#" ? "hash\r" : "at\r");
    });
    EXPECT_EQ(worker.sendHashCommand(), QByteArray("hash\r"));
    EXPECT_EQ(worker.sendAtCommand(), QByteArray("at\r"));
    EXPECT_EQ(converter.received(), "#@");
}

TEST_F(Exchange, FirmwareUpgradeIsAnsweredThenTheLineIsHandedOver)
{
    std::atomic<int> calls{0};
    converter.setFirmwareUpgradeHandler([&calls](sim::ConverterSim& c) {
        ++calls;
        c.handOver();
    });
    char out[30];
    uint8_t len = 0;
    ASSERT_EQ(EncodeFirmwareUpgrade(out, 30, &len), 0);
    EXPECT_EQ(worker.sendSetupCommand(out, len), QByteArray("OK\r"));
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(converter.firmwareUpgradeCount(), 1);
    EXPECT_TRUE(converter.handedOver());
    // The converter no longer serves the line.
    EXPECT_TRUE(send(worker, "RS\r").isEmpty());
    EXPECT_EQ(converter.pty().readSome(1000), "RS\r");
    converter.takeBack();
    EXPECT_EQ(send(worker, "RS\r"), QByteArray("N8N1115200\r"));
}

TEST_F(Exchange, FloodingConverterCannotHoldTheExchange)
{
    converter.setFlood(true, 1);
    QElapsedTimer t;
    t.start();
    QByteArray reply = send(worker, "RS\r");
    // Hang guard only: the exchange is bounded at about twice its 125 ms.
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_LE(reply.size(), SerialPortThread::kMaxReplyBytes);
    EXPECT_FALSE(reply.isEmpty());
}

TEST_F(Exchange, ReplyStopsAtTheCollectionLimit)
{
    converter.setLineObserver([this](const sim::ConverterEvent& e) {
        if (e.line == "RS")
            converter.inject(std::string(3 * SerialPortThread::kMaxReplyBytes, 'x'));
    });
    QByteArray reply = send(worker, "RS\r");
    EXPECT_EQ(reply.size(), SerialPortThread::kMaxReplyBytes);
}

} // namespace
