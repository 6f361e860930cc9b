// The simulated converter's answers, without a pty: other tests trust them.
#include "tests/sim/converter/converter_device.h"

#include <gtest/gtest.h>

#include <string>

namespace sim {
namespace {

using Kind = ConverterEvent::Kind;

// Feeds one input and returns the single event it makes.
ConverterEvent one(ConverterDevice& device, const std::string& bytes, bool understood = true)
{
    auto events = device.feed(bytes, understood);
    EXPECT_EQ(events.size(), 1u) << bytes;
    return events.empty() ? ConverterEvent{} : events.front();
}

TEST(ConverterDevice, ProbeIsAnsweredByModeOnlyAtTheConverterRate)
{
    ConverterDevice device;
    EXPECT_TRUE(device.feed("\r\n\r\n\r").empty());
    ConverterEvent e = one(device, "????");
    EXPECT_EQ(e.kind, Kind::Probe);
    EXPECT_EQ(e.reply, "TELQO_setup\r");

    device.setMode(ConverterMode::Active);
    EXPECT_EQ(one(device, "\r\n\r\n\r????").reply, "TELQO_active\r");

    e = one(device, "\r\n\r\n\r????", false);
    EXPECT_EQ(e.kind, Kind::Ignored);
    EXPECT_TRUE(e.reply.empty());
}

TEST(ConverterDevice, ReadsReportTheStoredConfiguration)
{
    ConverterConfig config;
    config.serial = {9600, 'H', 'E', '2'};
    config.can = {125, 'B', 0x1234567, 0x1FFFFFFF, 2};
    config.headers = {{'a', 'b', 'c', 'd'}};
    config.firmwareVersion = "V9.99\r";
    ConverterDevice device(config);
    EXPECT_EQ(one(device, "RS\r").reply, "H8E29600\r");
    EXPECT_EQ(one(device, "RC\r").reply, "B,125,01234567,1FFFFFFF,2\r");
    EXPECT_EQ(one(device, "RH\r").reply, "abcd\r");
    EXPECT_EQ(one(device, "FV\r").reply, "V9.99\r");
    config.can = {500, 'A', 0x12, 0x7FF, 1};
    device.setConfig(config);
    EXPECT_EQ(one(device, "RC\r").reply, "A,500,012,7FF,1\r");
}

TEST(ConverterDevice, WritesAreStoredAndSavedAndUnsavedOnesLostAtPowerUp)
{
    ConverterDevice device;
    EXPECT_EQ(one(device, "WSH8O257600\r").reply, "OK\r");
    EXPECT_EQ(one(device, "WCB,250,00000123,1FFFFFFF,3\r").reply, "OK\r");
    EXPECT_EQ(one(device, std::string("WH\0x\0E\r", 7)).reply, "OK\r");
    EXPECT_EQ(one(device, "RS\r").reply, "H8O257600\r");
    EXPECT_EQ(one(device, "RC\r").reply, "B,250,00000123,1FFFFFFF,3\r");
    EXPECT_EQ(one(device, "RH\r").reply, std::string("\0x\0E\r", 5));
    // The line keeps its rate until the saved settings take effect.
    EXPECT_EQ(device.line().baud, 115200u);

    EXPECT_EQ(one(device, "SV\r").reply, "OK\r");
    EXPECT_EQ(device.saved().serial.baud, 57600u);
    EXPECT_EQ(one(device, "WSN8N19600\r").reply, "OK\r");
    device.powerCycle();
    EXPECT_EQ(device.line().baud, 57600u);
    EXPECT_EQ(one(device, "RS\r").reply, "H8O257600\r");
}

TEST(ConverterDevice, MalformedSetupLinesAreRefusedAndChangeNothing)
{
    ConverterDevice device;
    const std::string before = one(device, "RC\r").reply;
    for (const char* line : {"WSN7N19600\r", "WSN8X19600\r", "WSN8N1\r", "WSN8N19x00\r",
                             "WCA,500,800,000,0\r", "WCA,500,12,7FF,0\r", "WCA,12345,000,000,0\r",
                             "WCC,500,000,000,0\r", "WCA,500,000,000,4\r", "WHab\r", "XX\r",
                             "t1230\r"}) {
        ConverterEvent e = one(device, line);
        EXPECT_EQ(e.kind, Kind::Rejected) << line;
        EXPECT_EQ(e.reply, "ERROR\r") << line;
    }
    EXPECT_EQ(one(device, "RC\r").reply, before);
    EXPECT_EQ(one(device, "RS\r").reply, "N8N1115200\r");
}

TEST(ConverterDevice, ActiveModeCountsWellFormedFramesOnly)
{
    ConverterDevice device({}, ConverterMode::Active);
    for (const char* line : {"t12321122\r", "t1230\r", "T7FF3\r", "e1FFFFFFF80001020304050607\r",
                             "E000000008\r"}) {
        ConverterEvent e = one(device, line);
        EXPECT_EQ(e.kind, Kind::Frame) << line;
        EXPECT_TRUE(e.reply.empty());
    }
    for (const char* line : {"t1232AA\r", "t12X0\r", "t1239\r", "T7FF3AABBCC\r", "x1230\r", "RS\r",
                             "e1230\r"}) {
        ConverterEvent e = one(device, line);
        EXPECT_EQ(e.kind, Kind::Ignored) << line;
        EXPECT_TRUE(e.reply.empty()) << line;
    }
}

TEST(ConverterDevice, SplitsLinesAndTakesTheTestStepsAlone)
{
    ConverterDevice device;
    auto events = device.feed("\nRS\r\n\rR");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].line, "RS");
    events = device.feed("H\r");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].line, "RH");
    EXPECT_EQ(one(device, "@").kind, Kind::TestStep);
    ConverterEvent e = one(device, "#");
    EXPECT_EQ(e.kind, Kind::TestStep);
    EXPECT_TRUE(e.reply.empty());
}

} // namespace
} // namespace sim
