// The protocol engine's handshake on a pty against a scripted boot ROM: the
// oscillator line, the autobaud results and the choice of the highest rate.
#include "tests/isp/cortex/enginefixture.h"

#include "isp/cortex/isp_connect.h"

#include <string>

using namespace qz;
using enginetest::EngineTest;

namespace {

TEST_F(EngineTest, OscillatorIsSentInWholeKilohertz)
{
    part.onLine = [](const std::string&) { return std::string("OK\r\n"); };
    part.start();
    EXPECT_EQ(send_oscillator_frequency(14.7456), 1);
    EXPECT_EQ(part.lines(), std::vector<std::string>{"14745"});
}

TEST_F(EngineTest, OscillatorNotAcceptedFails)
{
    part.onLine = [](const std::string&) { return std::string("1\r\n"); };
    part.start();
    EXPECT_EQ(send_oscillator_frequency(12.0), -18);
}

struct AutobaudCase {
    const char* name;
    bool highSpeed;
    // How the part answers the sync character: "sync" (a fresh boot ROM),
    // "echo" (already in command mode), "none".
    const char* answer;
    bool commsCheckEchoed; // at the high rate
    int result;
    long baud;
};

class AutobaudTest : public EngineTest, public ::testing::WithParamInterface<AutobaudCase> {};

TEST_P(AutobaudTest, Result)
{
    const AutobaudCase& c = GetParam();
    const std::string answer = c.answer;
    part.echo = answer == "echo";
    part.onByte = [&, answer](unsigned char b, std::string& out) {
        if (b != '?')
            return false;
        if (answer == "sync")
            out = "Synchronized\r\n";
        else if (answer == "echo")
            out = "?";
        return true;
    };
    part.onLine = [&](const std::string& line) {
        if (line == "comms check")
            return std::string(c.commsCheckEchoed ? "0\r\n" : "");
        return std::string("1\r\n");
    };
    if (!c.commsCheckEchoed) {
        // The echo at the wrong rate comes back garbled.
        part.echo = false;
        part.onLine = [](const std::string& line) {
            return line == "comms check" ? std::string("c\x80mms\r") : std::string("\r1\r\n");
        };
    }
    part.start();
    long baud = 0;
    const AutobaudSettings settings{50, 150, 5};
    EXPECT_EQ(autobaud_sync(12.0, c.highSpeed, 9600, 230400, settings, &baud), c.result);
    EXPECT_EQ(baud, c.baud);
    if (c.result == 0 && std::string(c.answer) == "none") {
        EXPECT_EQ(part.lines().size(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Results, AutobaudTest,
    ::testing::Values(AutobaudCase{"NoAnswer", false, "none", true, 0, 9600},
                      AutobaudCase{"FreshBootRom", false, "sync", true, 1, 9600},
                      AutobaudCase{"InCommandMode", false, "echo", true, 2, 9600},
                      AutobaudCase{"InCommandModeAtTheHighRate", true, "echo", true, 2, 230400},
                      AutobaudCase{"HighRateProbeFails", true, "echo", false, 3, 9600}),
    [](const ::testing::TestParamInfo<AutobaudCase>& i) { return std::string(i.param.name); });

TEST_F(EngineTest, MaximumBaudIsTheUsersLimitWhenLower)
{
    EXPECT_EQ(select_max_baudrate(12.0, 9600, 230400), 230400);
    EXPECT_EQ(select_max_baudrate(12.0, 9600, 57600), 57600);
    EXPECT_EQ(select_max_baudrate(12.0, 9600, 9600), 0);
    EXPECT_EQ(select_max_baudrate(12.0, 230400, 230400), 0);
    EXPECT_EQ(select_max_baudrate(12.0, 9600, 100000), 0) << "not a listed rate";
    EXPECT_TRUE(logged("max baudrate not found in list of supported baudrates"));
    EXPECT_EQ(baudrate_error(12.0, 115200), 0.0);
}

} // namespace
