#include "platform/linecontrol.h"
#include "platform/sleep.h"

#include "tests/sim/pty.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

using namespace platform;

namespace {

struct RecordingSleeper : Sleeper {
    std::vector<unsigned> pauses;
    void sleepMs(unsigned ms) override { pauses.push_back(ms); }
};

struct RecordingControl : LineControl {
    int calls = 0;
    bool setModemLine(int, ModemLine, bool, int*) override { return ++calls, true; }
    bool setBreak(int, bool, int*) override { return ++calls, true; }
};

} // namespace

TEST(Sleep, InstalledSleeperTakesEveryPauseUntilRemoved)
{
    RecordingSleeper rec;
    installSleeper(&rec);
    auto start = std::chrono::steady_clock::now();
    sleepMs(8000);
    sleepMs(500);
    installSleeper(nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(rec.pauses, (std::vector<unsigned>{8000, 500}));

    start = std::chrono::steady_clock::now();
    sleepMs(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_EQ(rec.pauses.size(), 2u);
}

TEST(LineControl, PseudoTerminalRefusesModemLinesWithAnError)
{
    sim::Pty pty;
    ASSERT_TRUE(pty.ok());
    int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    int err = 0;
    EXPECT_FALSE(lineControl().setModemLine(fd, ModemLine::Dtr, true, &err));
    EXPECT_NE(err, 0);
    err = 0;
    EXPECT_FALSE(lineControl().setModemLine(fd, ModemLine::Rts, false, &err));
    EXPECT_NE(err, 0);
    ::close(fd);
    err = 0;
    EXPECT_FALSE(lineControl().setBreak(-1, true, &err));
    EXPECT_EQ(err, EBADF);
}

TEST(LineControl, InstalledControlReplacesTheSystemOne)
{
    RecordingControl rec;
    installLineControl(&rec);
    EXPECT_TRUE(lineControl().setModemLine(-1, ModemLine::Dtr, true, nullptr));
    EXPECT_TRUE(lineControl().setBreak(-1, false, nullptr));
    installLineControl(nullptr);
    EXPECT_EQ(rec.calls, 2);
    EXPECT_FALSE(lineControl().setBreak(-1, false, nullptr));
}
