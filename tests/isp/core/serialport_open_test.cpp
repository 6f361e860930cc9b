// The serial-port layer on a pty: opening a port by its name and taking
// over a descriptor opened elsewhere.
#include "tests/isp/core/portfixture.h"

#include "platform/serialline.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <thread>

using namespace qz;

namespace {

using SerialPortTest = porttest::PortFixture;

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

} // namespace
