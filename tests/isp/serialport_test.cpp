// The serial-port layer on a pty: open, configure, the line sequences of the
// hardware configurations, time-outs, exact reads with push-back, receive,
// cancel, break, baud rate and adoption of a handle.
#include "tests/isp/portfixture.h"

#include "platform/serialline.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <thread>

using namespace qz;
using porttest::Events;
using porttest::join;
using Clock = std::chrono::steady_clock;

namespace {

long msSince(Clock::time_point t)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// Waits until bytes the far end wrote have reached the port (a pty passes
// them on asynchronously), without taking them.
bool portReadable()
{
    pollfd p{get_port_handle(), POLLIN, 0};
    return ::poll(&p, 1, 5000) == 1;
}

// The line changes of the building blocks, with t1 120 ms and t2 240 ms.
const Events kReleasePsenThenRst = {"RTS-", "DTR-", "DTR-", "RTS-"};
const Events kEnterIsp = {"DTR+", "RTS-", "RTS+", "DTR+", "sleep 120"};
const Events kCloseWithReset =
    join({kEnterIsp, {"RTS-", "DTR+", "sleep 240", "DTR-", "RTS-", "sleep 300"}});

using SerialPortTest = porttest::PortFixture;

// ---- open and close -------------------------------------------------------

TEST_F(SerialPortTest, OpensPathAsGivenAndOtherNamesUnderDev)
{
    ASSERT_EQ(open_port(pty.slavePath().c_str()), 1);
    EXPECT_TRUE(port_is_open());
    EXPECT_TRUE(::fcntl(get_port_handle(), F_GETFD) & FD_CLOEXEC);
    EXPECT_TRUE(logged("opened com " + pty.slavePath()));

    int err = 0;
    EXPECT_EQ(platform::serialOpen(pty.slavePath(), &err), -1) << "the port is held exclusively";

    const std::string underDev = pty.slavePath().substr(5); // "pts/N"
    ASSERT_EQ(open_port(underDev.c_str()), 1) << "an open port is closed first";
    EXPECT_TRUE(logged("Comport closed"));

    EXPECT_EQ(open_port("no-such-port-here"), 0);
    EXPECT_FALSE(port_is_open()) << "the old port was closed before the failed open";
    EXPECT_TRUE(logged("failed to open /dev/no-such-port-here"));
    EXPECT_EQ(get_port_handle(), -1);
    EXPECT_EQ(open_port(nullptr), 0);
}

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

TEST_F(SerialPortTest, EveryRateOfTheProtocolIsSet)
{
    openPort();
    for (unsigned baud : {9600u, 19200u, 38400u, 57600u, 115200u, 230400u}) {
        ASSERT_EQ(configure_port(baud, 0), 1) << baud;
        EXPECT_EQ(pty.baudRate(), baud);
        EXPECT_TRUE(logged("attempting to use baudrate " + std::to_string(baud)));
    }
    EXPECT_EQ(port_max_baud(), 230400u);
}

TEST_F(SerialPortTest, ConfiguredLinePassesBytesUntranslated)
{
    openPort();
    ASSERT_EQ(configure_port(9600, 0), 1);
    const std::string bytes("A\r\n\n\r\x00\x11\x13\x7f\xff", 10);
    ASSERT_TRUE(pty.writeAll(bytes));
    char buf[10];
    ASSERT_EQ(port_read(buf, sizeof buf, 0), 1);
    EXPECT_EQ(std::string(buf, sizeof buf), bytes);
    ASSERT_EQ(port_write(bytes.data(), bytes.size()), 1);
    EXPECT_EQ(fromProgram(bytes.size()), bytes);
}

TEST_F(SerialPortTest, ConfigureDiscardsWhatWaitedBefore)
{
    openPort();
    ASSERT_TRUE(pty.writeAll("stale"));
    ASSERT_TRUE(portReadable());
    push_back_byte('p');
    ASSERT_EQ(configure_port(9600, 0), 1);
    set_comm_timeouts(0, 0);
    char b;
    EXPECT_EQ(port_read(&b, 1, 0), 0);
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

TEST_F(SerialPortTest, BaudSwitchWithoutPortFails)
{
    EXPECT_EQ(set_baudrate(9600), 0);
    EXPECT_TRUE(logged("SetCommState failed"));
}

// ---- time-outs ------------------------------------------------------------------

TEST_F(SerialPortTest, TimeoutSettersKeepTheirMinimums)
{
    struct Case {
        std::int64_t shortMs, longMs;
        std::int32_t wantShort, wantLong;
    } cases[] = {
        {1000, 5000, 4000, 15000},
        {4000, 15000, 4000, 15000},
        {9000, 90000, 9000, 90000},
        {-5000, -1, 4000, 15000},
        {std::int64_t(1) << 40, std::int64_t(1) << 40, 0x7fffffff, 0x7fffffff},
    };
    for (const Case& c : cases) {
        set_short_timeout(c.shortMs);
        set_long_timeout(c.longMs);
        EXPECT_EQ(session().shortTimeoutMs, c.wantShort) << c.shortMs;
        EXPECT_EQ(session().longTimeoutMs, c.wantLong) << c.longMs;
    }
    set_default_timeouts();
    EXPECT_EQ(session().shortTimeoutMs, 4000);
    EXPECT_EQ(session().longTimeoutMs, 60000);
    EXPECT_TRUE(logged("Short timeouts set to 4000 milliseconds"));
    EXPECT_TRUE(logged("Long timeouts set to 60000 milliseconds"));
}

TEST_F(SerialPortTest, PresetsSetBothTotalsAndShortSetterAppliesAtOnce)
{
    std::int32_t r = 1, w = 1;
    EXPECT_EQ(use_short_timeouts(), 0) << "no port to take them";
    EXPECT_TRUE(logged("SetCommTimeouts failed (short)"));
    openPort();
    set_long_timeout(20000);
    ASSERT_EQ(use_long_timeouts(), 1);
    get_comm_timeouts(&r, &w);
    EXPECT_EQ(r, 20000);
    EXPECT_EQ(w, 20000);
    set_short_timeout(5000);
    get_comm_timeouts(&r, &w);
    EXPECT_EQ(r, 5000);
    EXPECT_EQ(w, 5000);
    ASSERT_EQ(set_comm_timeouts(50, 150), 1);
    get_comm_timeouts(&r, &w);
    EXPECT_EQ(r, 50);
    EXPECT_EQ(w, 150);
    ASSERT_EQ(set_comm_timeouts(-7, kWaitWithoutLimit), 1);
    get_comm_timeouts(&r, &w);
    EXPECT_EQ(r, 0) << "a negative total is no waiting, never an endless one";
    EXPECT_EQ(w, kWaitWithoutLimit);
    close_port();
    get_comm_timeouts(&r, &w);
    EXPECT_EQ(r, 0) << "the totals survive closing";
}

// ---- reads, receives and push-back -------------------------------------------

TEST_F(SerialPortTest, ExactReadThatTimesOutPartWayFails)
{
    openPort();
    ASSERT_EQ(set_comm_timeouts(200, 200), 1);
    ASSERT_TRUE(pty.writeAll("ab"));
    ASSERT_TRUE(portReadable());
    char buf[4];
    auto start = Clock::now();
    EXPECT_EQ(port_read(buf, 4, 0), 0);
    EXPECT_GE(msSince(start), 190) << "the read total bounds the wait";
    EXPECT_TRUE(logged("wanted 4 bytes, read 2 bytes"));
    EXPECT_TRUE(logged("rx> ab"));
}

TEST_F(SerialPortTest, ZeroTotalNeverWaitsOnASilentLine)
{
    openPort();
    ASSERT_EQ(set_comm_timeouts(0, 0), 1);
    char buf[4];
    unsigned got = 99;
    auto start = Clock::now();
    EXPECT_EQ(port_read(buf, 1, 0), 0);
    EXPECT_EQ(port_receive(buf, 4, &got), 1);
    EXPECT_EQ(got, 0u);
    EXPECT_LT(msSince(start), 3000);
}

TEST_F(SerialPortTest, PushedBackBytesComeFirstLastInFirstOut)
{
    openPort();
    ASSERT_EQ(set_comm_timeouts(2000, 2000), 1);
    ASSERT_EQ(push_back_byte('1'), 1);
    ASSERT_EQ(push_back_byte('2'), 1);
    ASSERT_TRUE(pty.writeAll("34"));
    char buf[4];
    ASSERT_EQ(port_read(buf, 4, 0), 1);
    EXPECT_EQ(std::string(buf, 4), "2134");

    ASSERT_EQ(push_back_byte('x'), 1);
    ASSERT_EQ(push_back_byte('y'), 1);
    ASSERT_EQ(port_read(buf, 1, 0), 1) << "served from the buffer alone";
    EXPECT_EQ(buf[0], 'y');
    ASSERT_EQ(purge_port(0), 1);
    EXPECT_EQ(session().pushBackPos, 0);
    EXPECT_TRUE(logged("COM Port RX flushed"));
}

TEST_F(SerialPortTest, PushBackHoldsThirtyTwoBytes)
{
    for (int i = 0; i < 32; ++i)
        ASSERT_EQ(push_back_byte(static_cast<unsigned char>(i)), 1);
    EXPECT_EQ(push_back_byte(99), 0);
    EXPECT_EQ(session().pushBackPos, 32);
}

TEST_F(SerialPortTest, ReceiveTakesWhatComesWithinTheTotal)
{
    openPort();
    ASSERT_EQ(set_comm_timeouts(200, 200), 1);
    push_back_byte('0');
    ASSERT_TRUE(pty.writeAll("abc"));
    ASSERT_TRUE(portReadable());
    char buf[16];
    unsigned got = 0;
    ASSERT_EQ(port_receive(buf, sizeof buf, &got), 1);
    EXPECT_EQ(std::string(buf, got), "0abc");

    ASSERT_TRUE(pty.writeAll("defg"));
    ASSERT_EQ(port_receive(buf, 4, &got), 1);
    EXPECT_EQ(std::string(buf, got), "defg");
}

// Cancel: another thread ends a wait that has no time limit; afterwards
// the next transfer works as if nothing happened.
class CancelTest : public SerialPortTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CancelTest, AnotherThreadEndsAnUnlimitedWait)
{
    const bool exact = GetParam();
    openPort();
    ASSERT_EQ(configure_port(9600, 0), 1);
    ASSERT_EQ(set_comm_timeouts(kWaitWithoutLimit, kWaitWithoutLimit), 1);
    std::atomic<bool> done{false};
    int result = -1;
    std::thread reader([&] {
        char buf[8];
        unsigned got = 0;
        result = exact ? port_read(buf, sizeof buf, 0) : port_receive(buf, sizeof buf, &got);
        done = true;
    });
    // A cancel that comes before the wait starts is dropped by it, so repeat.
    for (int i = 0; i < 1000 && !done; ++i) {
        cancel_receive();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    reader.join();
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(logged("Receive cancelled"));

    ASSERT_EQ(set_comm_timeouts(2000, 2000), 1);
    ASSERT_TRUE(pty.writeAll("next"));
    char buf[4];
    ASSERT_EQ(port_read(buf, 4, 0), 1);
    EXPECT_EQ(std::string(buf, 4), "next");
}

INSTANTIATE_TEST_SUITE_P(ReadAndReceive, CancelTest, ::testing::Values(true, false));

TEST_F(SerialPortTest, CancelWithNothingWaitingIsDroppedByTheNextRead)
{
    openPort();
    ASSERT_EQ(set_comm_timeouts(2000, 2000), 1);
    EXPECT_EQ(cancel_receive(), 1);
    ASSERT_TRUE(pty.writeAll("z"));
    char b;
    ASSERT_EQ(port_read(&b, 1, 0), 1);
    EXPECT_EQ(b, 'z');
}

TEST_F(SerialPortTest, CancelledReceiveStillTellsWhatCame)
{
    openPort();
    ASSERT_EQ(set_comm_timeouts(kWaitWithoutLimit, kWaitWithoutLimit), 1);
    ASSERT_TRUE(pty.writeAll("ab"));
    ASSERT_TRUE(portReadable()) << "the bytes must be there before any cancel";
    std::atomic<bool> done{false};
    unsigned got = 0;
    int result = -1;
    char buf[8];
    std::thread reader([&] {
        result = port_receive(buf, sizeof buf, &got);
        done = true;
    });
    for (int i = 0; i < 1000 && !done; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        cancel_receive();
    }
    reader.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(std::string(buf, got), "ab");
}

// A cancel from another thread must never reach a descriptor that the
// port's closing has freed and an opening has taken again (the port itself).
TEST_F(SerialPortTest, CancelRacingCloseAndOpenNeverWritesToThePort)
{
    openPort();
    std::atomic<bool> stop{false};
    std::thread canceller([&] {
        while (!stop)
            cancel_receive();
    });
    std::size_t stray = 0;
    for (int i = 0; i < 2000 && stray == 0; ++i) {
        close_port();
        // The freed numbers go to a pipe, as they could go to any file the
        // process opens next.
        int p[2];
        ASSERT_EQ(::pipe2(p, O_NONBLOCK | O_CLOEXEC), 0);
        char junk[64];
        for (int k = 0; k < 200; ++k) {
            ssize_t n = ::read(p[0], junk, sizeof junk);
            if (n > 0)
                stray += static_cast<std::size_t>(n);
        }
        ::close(p[0]);
        ::close(p[1]);
        ASSERT_EQ(open_port(pty.slavePath().c_str()), 1);
    }
    stop = true;
    canceller.join();
    EXPECT_EQ(stray, 0u) << "a cancel wrote into a descriptor the port no longer owns";
}

// ---- writes ---------------------------------------------------------------------

TEST_F(SerialPortTest, WriteThatCannotGoOutEndsWithTheWriteTotal)
{
    openPort();
    ASSERT_EQ(set_comm_timeouts(100, 100), 1);
    std::vector<char> big(4 << 20, 'x');
    EXPECT_EQ(port_write(big.data(), big.size()), 0);
    EXPECT_TRUE(logged("WriteFile - not enough or too many bytes written"));
    EXPECT_EQ(port_write("x", 1), 0) << "without a port";
}

// ---- purge, break, adoption ----------------------------------------------------

TEST_F(SerialPortTest, PurgeKnowsTwoQueues)
{
    openPort();
    EXPECT_EQ(purge_port(1), 1);
    EXPECT_TRUE(logged("COM Port TX flushed"));
    EXPECT_EQ(purge_port(2), 0);
    close_port();
    EXPECT_EQ(purge_port(0), 0);
    EXPECT_TRUE(logged("PurgeComm error"));
}

TEST_F(SerialPortTest, BreakHoldsTheLineFor266Ms)
{
    openPort();
    ASSERT_EQ(send_break(), 1);
    EXPECT_EQ(rec.take(), (Events{"BRK+", "sleep 266", "BRK-"}));
    EXPECT_TRUE(logged("Break condition transmitted"));
}

TEST_F(SerialPortTest, AdoptedHandleIsUsedAtItsNewRate)
{
    int err = 0;
    int fd = platform::serialOpen(pty.slavePath(), &err);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(platform::serialConfigureRaw(fd, 9600, &err));
    push_back_byte('q');
    take_over_port(fd, 38400);
    EXPECT_EQ(get_port_handle(), fd);
    EXPECT_EQ(pty.baudRate(), 38400u);
    EXPECT_EQ(session().pushBackPos, 0);
    EXPECT_TRUE(logged("taken over comport"));
    std::int32_t r = 0, w = 0;
    get_comm_timeouts(&r, &w);
    EXPECT_EQ(r, 4000) << "an adopted port reads under the short time-outs";
    EXPECT_EQ(w, 4000);

    take_over_port(fd, 0);
    EXPECT_EQ(pty.baudRate(), 38400u) << "rate 0 keeps the rate";
    ASSERT_EQ(set_comm_timeouts(2000, 2000), 1);
    ASSERT_TRUE(pty.writeAll("hi"));
    char buf[2];
    ASSERT_EQ(port_read(buf, 2, 0), 1);
    close_port();
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "the adopted descriptor is closed with the port";
}

TEST_F(SerialPortTest, AdoptedBlockingDescriptorStillKeepsTheTimeLimits)
{
    // A caller may hand over a descriptor it opened itself, blocking.
    int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    int err = 0;
    ASSERT_TRUE(platform::serialConfigureRaw(fd, 9600, &err));
    take_over_port(fd, 0);
    EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC) << "helper processes must not inherit the port";
    ASSERT_EQ(set_comm_timeouts(100, 100), 1);
    std::atomic<bool> done{false};
    int result = -1;
    std::thread reader([&] {
        char b;
        result = port_read(&b, 1, 0);
        done = true;
    });
    for (int i = 0; i < 1000 && !done; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool hung = !done;
    if (hung)
        pty.writeAll("!"); // frees the reader so the test can end
    reader.join();
    EXPECT_FALSE(hung) << "a read on a silent line outlived its total";
    EXPECT_EQ(result, hung ? 1 : 0);
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
