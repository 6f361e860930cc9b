// The serial-port layer on a pty: the modem-line sequences of each hardware
// configuration on closing, configuring and switching the rate, lines a
// port refuses, the break, and the pauses between the steps.
#include "tests/isp/core/portfixture.h"

#include <string>

using namespace qz;
using porttest::Events;
using porttest::join;

namespace {

// The line changes of the building blocks, with t1 120 ms and t2 240 ms.
const Events kReleasePsenThenRst = {"RTS-", "DTR-", "DTR-", "RTS-"};
const Events kEnterIsp = {"DTR+", "RTS-", "RTS+", "DTR+", "sleep 120"};
const Events kCloseWithReset =
    join({kEnterIsp, {"RTS-", "DTR+", "sleep 240", "DTR-", "RTS-", "sleep 300"}});

using SerialPortTest = porttest::PortFixture;

// ---- close ----------------------------------------------------------------------

TEST_F(SerialPortTest, ClosingWithoutPortStillRunsTheResetSequence)
{
    session().hardwareConfig = 1;
    close_port();
    EXPECT_EQ(rec.take(), kCloseWithReset) << "the sequence ran, its line changes failing";
    EXPECT_TRUE(logged("Comport already closed - ignoring close request"));
    EXPECT_TRUE(logged("EscapeCommFunction failed (DTR)"));
}

struct CloseCase {
    int hw;
    Events lines;
};

class CloseSequence : public SerialPortTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseSequence, RunsTheResetToRunSequenceOfItsConfiguration)
{
    session().hardwareConfig = GetParam().hw;
    openPort();
    close_port();
    EXPECT_EQ(rec.take(), GetParam().lines);
    EXPECT_FALSE(port_is_open());
}

INSTANTIATE_TEST_SUITE_P(Configs, CloseSequence,
                         ::testing::Values(CloseCase{0, {}}, CloseCase{1, kCloseWithReset},
                                           CloseCase{2, kCloseWithReset}, CloseCase{3, {}},
                                           CloseCase{4, {}}));

TEST_F(SerialPortTest, SkipFlagSparesOneCloseOnly)
{
    session().hardwareConfig = 1;
    openPort();
    skip_close_line_sequence();
    close_port();
    EXPECT_EQ(rec.take(), Events{});
    openPort();
    close_port();
    EXPECT_EQ(rec.take(), kCloseWithReset);
}

// ---- configure --------------------------------------------------------------

struct ConfigureCase {
    int hw;
    int entering;
    Events lines;
};

class ConfigureSequence : public SerialPortTest,
                          public ::testing::WithParamInterface<ConfigureCase> {};

TEST_P(ConfigureSequence, MovesTheLinesOfItsConfiguration)
{
    session().hardwareConfig = GetParam().hw;
    openPort();
    ASSERT_EQ(configure_port(115200, GetParam().entering), 1);
    EXPECT_EQ(rec.take(), GetParam().lines);
    EXPECT_EQ(pty.baudRate(), 115200u);
}

const Events kHw1Enter =
    join({kReleasePsenThenRst, kEnterIsp,
          {"DTR-", "RTS+", "sleep 240", "RTS-", "DTR-", "sleep 350"}});
const Events kHw2Enter = join({kReleasePsenThenRst, kEnterIsp, {"DTR-", "RTS+", "sleep 240", "sleep 350"}});
const Events kHw4Enter =
    join({kReleasePsenThenRst,
          {"sleep 60", "DTR-", "RTS-", "RTS-", "DTR-", "sleep 120", "DTR+", "RTS-", "sleep 240",
           "sleep 60", "RTS+", "DTR+", "sleep 60"}});

INSTANTIATE_TEST_SUITE_P(
    Configs, ConfigureSequence,
    ::testing::Values(ConfigureCase{0, 1, kReleasePsenThenRst}, ConfigureCase{0, 0, kReleasePsenThenRst},
                      ConfigureCase{1, 1, kHw1Enter}, ConfigureCase{1, 0, kReleasePsenThenRst},
                      ConfigureCase{2, 1, kHw2Enter},
                      ConfigureCase{2, 0, join({kReleasePsenThenRst, {"RTS+", "DTR-"}})},
                      ConfigureCase{3, 1, join({kReleasePsenThenRst, kEnterIsp})},
                      ConfigureCase{3, 0, join({kReleasePsenThenRst, kEnterIsp})},
                      ConfigureCase{4, 1, kHw4Enter}, ConfigureCase{4, 0, kReleasePsenThenRst}));

TEST_F(SerialPortTest, ConfigurationFourWakesThePartAt57600ThenTakesTheRate)
{
    session().hardwareConfig = 4;
    openPort();
    // The wake-up bytes are taken off the line in the pause after them: the
    // baud switch that follows discards what the far end has not read.
    std::string woken;
    bool written = false; // the bytes go out after the t2 pause
    rec.onSleep = [&](unsigned ms) {
        if (ms == 240)
            written = true;
        else if (written)
            for (int i = 0; i < 50 && woken.size() < 3; ++i)
                woken += pty.readSome(100);
    };
    ASSERT_EQ(configure_port(19200, 1), 1);
    rec.onSleep = nullptr;
    EXPECT_EQ(woken, "\xFF\xFF\xFF");
    EXPECT_EQ(pty.baudRate(), 19200u);
    const std::string log = logText();
    EXPECT_LT(log.find("attempting to use baudrate 57600"), log.find("tx> \\ff\\ff\\ff"));
}

// A pty refuses DTR and RTS: the layer logs it and goes on, except where
// the line sequence itself is the step that must work.
class RefusedLines : public SerialPortTest {
protected:
    RefusedLines() { recordLines = false; }
};

TEST_F(RefusedLines, LineSequencesLogTheRefusalAndConfigureGoesOn)
{
    session().hardwareConfig = 1;
    openPort();
    EXPECT_EQ(set_control_line(kLineRst, kLevelAsserted), 0);
    EXPECT_EQ(assert_psen(), 0);
    EXPECT_EQ(configure_port(9600, 1), 1);
    EXPECT_TRUE(logged("RST asserted (DTR TTL = 0)"));
    EXPECT_TRUE(logged("EscapeCommFunction failed (DTR)"));
    EXPECT_TRUE(logged("EscapeCommFunction failed (RTS)"));
    EXPECT_TRUE(logged("deasserting PSEN"));
    close_port();
    EXPECT_TRUE(logged("Comport closed"));
}

TEST_F(RefusedLines, ConfigurationFourFailsWhenItsLinesCannotMove)
{
    session().hardwareConfig = 4;
    openPort();
    EXPECT_EQ(configure_port(9600, 1), 0);
    EXPECT_EQ(configure_port(9600, 0), 1);
}

TEST_F(SerialPortTest, RecordedRefusalEndsTheConfigurationFourSequence)
{
    session().hardwareConfig = 4;
    openPort();
    rec.refuseLines = true;
    EXPECT_EQ(hwconfig4_sequence(), 0);
    Events ev = rec.take();
    EXPECT_EQ(ev, (Events{"sleep 60", "DTR-", "RTS-"})) << "nothing after the failing step";
}

// ---- baud rate ----------------------------------------------------------------

class BaudSwitch : public SerialPortTest, public ::testing::WithParamInterface<int> {};

TEST_P(BaudSwitch, LeavesTheLinesAsTheyAre)
{
    session().hardwareConfig = GetParam();
    openPort();
    ASSERT_EQ(configure_port(9600, 1), 1);
    rec.take();
    const int rst = session().rstLevel, psen = session().psenLevel;
    push_back_byte('x');
    ASSERT_EQ(set_baudrate(115200), 1);
    EXPECT_EQ(rec.take(), Events{}) << "a baud switch must not move the reset line";
    EXPECT_EQ(session().rstLevel, rst);
    EXPECT_EQ(session().psenLevel, psen);
    EXPECT_EQ(pty.baudRate(), 115200u);
    EXPECT_EQ(session().pushBackPos, 0) << "the receive side is discarded";
}

INSTANTIATE_TEST_SUITE_P(Configs, BaudSwitch, ::testing::Values(0, 1, 2, 3, 4));

// ---- break and pauses --------------------------------------------------------

TEST_F(SerialPortTest, BreakHoldsTheLineFor266Ms)
{
    openPort();
    ASSERT_EQ(send_break(), 1);
    EXPECT_EQ(rec.take(), (Events{"BRK+", "sleep 266", "BRK-"}));
    EXPECT_TRUE(logged("Break condition transmitted"));
}

TEST_F(SerialPortTest, NonPositivePausesDoNotPause)
{
    session().t1Ms = -5;
    session().t2Ms = 0;
    openPort();
    enter_isp_lines();
    release_reset_run();
    for (const std::string& e : rec.take())
        EXPECT_TRUE(e == "sleep 300" || e.rfind("sleep", 0) != 0) << e;
}

} // namespace
