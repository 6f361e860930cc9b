#include "tests/sim/classic/classic_sim.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace sim {
namespace {

// The program's side of the line, opened raw at a given rate.
class Host {
public:
    explicit Host(const std::string& path)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        setBaud(B9600);
    }
    ~Host()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    void setBaud(speed_t s)
    {
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, s);
        cfsetospeed(&t, s);
        tcsetattr(fd_, TCSANOW, &t);
    }
    void send(const std::string& s) { ASSERT_EQ(::write(fd_, s.data(), s.size()), ssize_t(s.size())); }
    // Reads until `count` bytes came or 2 s passed.
    std::string read(std::size_t count, int timeoutMs = 2000)
    {
        std::string got;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < count) {
            const int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now())
                    .count());
            if (left <= 0)
                break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, left) <= 0)
                break;
            char b[256];
            const ssize_t n = ::read(fd_, b, std::min(sizeof b, count - got.size()));
            if (n <= 0)
                break;
            got.append(b, static_cast<std::size_t>(n));
        }
        return got;
    }
    // Sends and reads the echo plus `extra`.
    std::string exchange(const std::string& s, std::size_t extra, int timeoutMs = 2000)
    {
        send(s);
        return read(s.size() + extra, timeoutMs);
    }

private:
    int fd_ = -1;
};

ClassicPersona dialect2()
{
    ClassicPersona p;
    p.dialect = 2;
    p.queryType = 0x03;
    p.writeType = 0x02;
    p.baudType = 0x07;
    p.oscType = 0x00;
    p.oscillatorMHz = 7.3728;
    return p;
}

TEST(ClassicSim, SyncsAtTheHostRateAndEchoes)
{
    ClassicSim part;
    ASSERT_TRUE(part.start());
    Host host(part.slavePath());
    host.send("x");
    EXPECT_EQ(host.read(1, 200), "");
    EXPECT_EQ(host.exchange("U", 0), "U");
    EXPECT_EQ(part.state(), ClassicLoader::State::Synced);
    EXPECT_EQ(part.baud(), 9600.0);
    EXPECT_EQ(host.exchange("U", 0), "U");
    EXPECT_EQ(host.exchange("?", 0), "?");
}

TEST(ClassicSim, AnswersRecordsWithStatusValuesAndChecksumErrors)
{
    ClassicSim part;
    ASSERT_TRUE(part.start());
    Host host(part.slavePath());
    host.exchange("U", 0);
    EXPECT_EQ(host.exchange(":020000050001F8", 5), ":020000050001F8C2.\r\n");
    EXPECT_EQ(host.exchange(":020000050001F9", 3), ":020000050001F9X\r\n");
    EXPECT_EQ(host.exchange(":010000020BF2", 3), ":010000020BF2.\r\n");
    EXPECT_EQ(part.oscillatorSent(), 11);
    EXPECT_EQ(host.exchange(":0100000011EE", 3), ":0100000011EE.\r\n");
    EXPECT_EQ(part.memory().at(0), 0x11);
}

TEST(ClassicSim, DialectTwoAnswersTheCrcFormInPlaceOfTheCr)
{
    ClassicSim part(dialect2());
    ASSERT_TRUE(part.start());
    Host host(part.slavePath());
    host.exchange("U", 0);
    host.send(":010000050CEE\r\n");
    EXPECT_EQ(host.read(13 + 12), ":010000050CEE00000000..\r\n");
    EXPECT_EQ(host.exchange(":00000001FF", 7), ":00000001FF1A0B.\r\n");
}

TEST(ClassicSim, SwitchesToTheRateItsOscillatorMakesOfTheReload)
{
    // 11.0592 MHz, 12 clocks: reload 65518 makes 19200.
    ClassicSim part;
    ASSERT_TRUE(part.start());
    Host host(part.slavePath());
    host.exchange("U", 0);
    EXPECT_EQ(host.exchange(":02000006FFEE0B", 3), ":02000006FFEE0B.\r\n");
    EXPECT_NEAR(part.baud(), 19200.0, 0.5);
    // At the old rate the part hears nothing; at the new one it answers.
    EXPECT_EQ(host.exchange("?", 0, 200), "");
    host.setBaud(B19200);
    EXPECT_EQ(host.exchange("?", 0), "?");
}

TEST(ClassicSim, DialectTwoReloadUsesTheBaudRateGenerator)
{
    ClassicSim part(dialect2());
    ASSERT_TRUE(part.start());
    Host host(part.slavePath());
    host.exchange("U", 0);
    host.exchange(":020000070030C7", 3);
    EXPECT_NEAR(part.baud(), 115200.0, 0.5);
}

TEST(ClassicSim, HeldPartAnswersOnlyAfterReset)
{
    ClassicPersona p;
    p.heldUntilReset = true;
    ClassicSim part(p);
    ASSERT_TRUE(part.start());
    Host host(part.slavePath());
    EXPECT_EQ(host.exchange("UUUU", 0, 200), "");
    part.reset();
    EXPECT_EQ(host.exchange("U", 0), "U");
}

TEST(ClassicSim, FaultsStrikeTheChosenRecords)
{
    ClassicSim part;
    ASSERT_TRUE(part.start());
    Host host(part.slavePath());
    host.exchange("U", 0);
    part.addFault({":01000000", ClassicFaultKind::Status, 'S', 1});
    part.addFault({":01000100", ClassicFaultKind::Garbage, 0, 1});
    part.addFault({":01000200", ClassicFaultKind::Short, 0, 1});
    part.addFault({":01000300", ClassicFaultKind::Silence, 0, 1});
    EXPECT_EQ(host.exchange(":0100000011EE", 3), ":0100000011EES\r\n");
    EXPECT_EQ(host.exchange(":0100000011EE", 3), ":0100000011EE.\r\n"); // struck once only
    EXPECT_EQ(host.exchange(":0100010011ED", 3), ":0100010011ED#\r\n");
    EXPECT_EQ(host.exchange(":0100020011EC", 3, 200), ":0100020011EC.");
    EXPECT_EQ(host.exchange(":0100030011EB", 3, 200), ":0100030011EB");
}

} // namespace
} // namespace sim
