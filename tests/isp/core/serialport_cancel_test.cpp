// The serial-port layer on a pty: cancelling a receive from another thread,
// and a cancel racing the port's closing and opening.
#include "tests/isp/core/portfixture.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <string>
#include <thread>

using namespace qz;
using porttest::portReadable;

namespace {

using SerialPortTest = porttest::PortFixture;

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

} // namespace
