// The serial-port layer on a pty: exact reads with push-back, receives,
// writes, and purging the queues.
#include "tests/isp/core/portfixture.h"

#include <chrono>
#include <string>
#include <vector>

using namespace qz;
using porttest::portReadable;
using Clock = std::chrono::steady_clock;

namespace {

long msSince(Clock::time_point t)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

using SerialPortTest = porttest::PortFixture;

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

// ---- purge --------------------------------------------------------------------

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

} // namespace
