#include "platform/serialline.h"

#include "tests/sim/pty.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace platform;
using Clock = std::chrono::steady_clock;

namespace {

long msSince(Clock::time_point t)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// Waits until the program's side has bytes to read, without taking them.
bool waitReadable(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 5000) == 1;
}

class SerialLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        int err = 0;
        fd = serialOpen(pty.slavePath(), &err);
        ASSERT_GE(fd, 0) << serialErrorText(err);
        ASSERT_TRUE(serialConfigureRaw(fd, 9600, &err)) << serialErrorText(err);
        cancel = cancelSignalCreate(&err);
        ASSERT_GE(cancel, 0);
    }
    void TearDown() override
    {
        cancelSignalClose(cancel);
        serialClose(fd);
    }
    std::string readAll(std::size_t count, int limitMs, LineIo expected)
    {
        std::string buf(count, '\0');
        LineTransfer t = serialRead(fd, cancel, &buf[0], count, limitMs);
        EXPECT_EQ(t.status, expected);
        buf.resize(t.count);
        return buf;
    }

    sim::Pty pty;
    int fd = -1;
    int cancel = -1;
};

} // namespace

TEST(SerialDevicePath, NamesWithoutSlashLiveUnderDev)
{
    EXPECT_EQ(serialDevicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(serialDevicePath("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(serialDevicePath("/tmp/port"), "/tmp/port");
}

TEST(SerialOpen, MissingDeviceAndNonTerminalAreRefused)
{
    int err = 0;
    EXPECT_EQ(serialOpen("/dev/no-such-serial-port", &err), -1);
    EXPECT_EQ(err, ENOENT);
    err = 0;
    EXPECT_EQ(serialOpen("/dev/null", &err), -1);
    EXPECT_EQ(err, ENOTTY);
}

TEST_F(SerialLineTest, OpenIsExclusiveAndCloseOnExec)
{
    int err = 0;
    EXPECT_EQ(serialOpen(pty.slavePath(), &err), -1);
    EXPECT_EQ(err, EBUSY);
    EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC);

    serialClose(fd);
    fd = serialOpen(pty.slavePath(), &err);
    EXPECT_GE(fd, 0) << "a closed port can be opened again";
}

TEST_F(SerialLineTest, AdoptedDescriptorBecomesNonBlockingAndCloseOnExec)
{
    sim::Pty second; // the fixture's line is held exclusively
    ASSERT_TRUE(second.ok());
    int other = ::open(second.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    int err = 0;
    ASSERT_TRUE(serialAdopt(other, &err));
    EXPECT_TRUE(::fcntl(other, F_GETFL) & O_NONBLOCK);
    EXPECT_TRUE(::fcntl(other, F_GETFD) & FD_CLOEXEC);
    ::close(other);
    EXPECT_FALSE(serialAdopt(other, &err));
    EXPECT_EQ(err, EBADF);
}

TEST_F(SerialLineTest, RawLinePassesEveryByteUnchanged)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    ASSERT_TRUE(pty.writeAll(all));
    EXPECT_EQ(readAll(all.size(), 2000, LineIo::Done), all);

    LineTransfer w = serialWrite(fd, all.data(), all.size(), 2000);
    ASSERT_EQ(w.status, LineIo::Done);
    EXPECT_EQ(w.count, all.size());
    std::string got;
    for (int i = 0; i < 50 && got.size() < all.size(); ++i)
        got += pty.readSome(100);
    EXPECT_EQ(got, all) << "no CR/LF translation, no echo";
}

TEST_F(SerialLineTest, EveryStandardRateIsSet)
{
    for (unsigned baud : {1200u, 9600u, 19200u, 38400u, 57600u, 115200u, 230400u, 460800u}) {
        int err = 0;
        ASSERT_TRUE(serialSetSpeed(fd, baud, &err)) << baud;
        EXPECT_EQ(pty.baudRate(), baud);
    }
    int err = 0;
    ASSERT_TRUE(serialConfigureRaw(fd, 57600, &err));
    EXPECT_EQ(pty.baudRate(), 57600u);
}

TEST_F(SerialLineTest, RateWithoutConstantIsAcceptedAndZeroRefused)
{
    int err = 0;
    EXPECT_TRUE(serialSetSpeed(fd, 250000, &err)) << serialErrorText(err);
    EXPECT_TRUE(serialConfigureRaw(fd, 31250, &err)) << serialErrorText(err);
    EXPECT_FALSE(serialSetSpeed(fd, 0, &err));
}

TEST_F(SerialLineTest, ExactReadThatTimesOutPartWayReportsWhatCame)
{
    ASSERT_TRUE(pty.writeAll("ab"));
    auto start = Clock::now();
    EXPECT_EQ(readAll(4, 300, LineIo::TimedOut), "ab");
    EXPECT_GE(msSince(start), 290) << "the whole total time is waited";
}

TEST_F(SerialLineTest, ReadCompletesFromPiecesArrivingOverTime)
{
    std::thread feeder([this] {
        for (const char* piece : {"12", "345", "6"}) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            pty.writeAll(piece);
        }
    });
    EXPECT_EQ(readAll(6, 5000, LineIo::Done), "123456");
    feeder.join();
}

TEST_F(SerialLineTest, ZeroLimitTakesOnlyWhatIsThere)
{
    auto start = Clock::now();
    EXPECT_EQ(readAll(4, 0, LineIo::TimedOut), "");
    EXPECT_LT(msSince(start), 1000) << "a silent line must not block";

    ASSERT_TRUE(pty.writeAll("xy"));
    ASSERT_TRUE(waitReadable(fd));
    EXPECT_EQ(readAll(4, 0, LineIo::TimedOut), "xy");
}

TEST_F(SerialLineTest, CancelFromAnotherThreadEndsAnUnlimitedRead)
{
    std::atomic<bool> done{false};
    LineTransfer result;
    std::thread reader([&] {
        char buf[8];
        result = serialRead(fd, cancel, buf, sizeof buf, kNoTimeLimit);
        done = true;
    });
    // Raised repeatedly: the reader may not have started waiting yet.
    for (int i = 0; i < 500 && !done; ++i) {
        cancelSignalRaise(cancel);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reader.join();
    EXPECT_EQ(result.status, LineIo::Cancelled);

    // Once cleared, nothing of the cancel is left for the next read.
    cancelSignalClear(cancel);
    ASSERT_TRUE(pty.writeAll("ok"));
    EXPECT_EQ(readAll(2, 2000, LineIo::Done), "ok");
}

TEST_F(SerialLineTest, RaisedSignalEndsTheNextReadUntilCleared)
{
    cancelSignalRaise(cancel);
    cancelSignalRaise(cancel);
    EXPECT_EQ(readAll(1, 2000, LineIo::Cancelled), "");
    cancelSignalClear(cancel);
    EXPECT_EQ(readAll(1, 50, LineIo::TimedOut), "");
}

TEST_F(SerialLineTest, WriteThatCannotDrainTimesOutWithItsCount)
{
    std::vector<char> big(4 << 20, 'x');
    auto start = Clock::now();
    LineTransfer w = serialWrite(fd, big.data(), big.size(), 200);
    EXPECT_EQ(w.status, LineIo::TimedOut);
    EXPECT_LT(w.count, big.size());
    EXPECT_GE(msSince(start), 190);
}

TEST_F(SerialLineTest, LargeWriteCompletesWhileTheFarEndReads)
{
    std::vector<char> big(256 * 1024);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    std::atomic<bool> stop{false};
    std::string got;
    std::thread drain([&] {
        while (!stop || !got.empty()) {
            std::string s = pty.readSome(50);
            if (s.empty() && stop)
                break;
            got += s;
        }
    });
    LineTransfer w = serialWrite(fd, big.data(), big.size(), 20000);
    stop = true;
    drain.join();
    EXPECT_EQ(w.status, LineIo::Done);
    EXPECT_EQ(w.count, big.size());
    EXPECT_EQ(got, std::string(big.begin(), big.end()));
}

TEST_F(SerialLineTest, PurgeDiscardsReceivedBytes)
{
    ASSERT_TRUE(pty.writeAll("stale"));
    ASSERT_TRUE(waitReadable(fd));
    int err = 0;
    ASSERT_TRUE(serialPurge(fd, SerialQueue::Receive, &err));
    EXPECT_TRUE(serialPurge(fd, SerialQueue::Transmit, &err));
    EXPECT_EQ(readAll(5, 0, LineIo::TimedOut), "");
}

TEST_F(SerialLineTest, ClosedDescriptorFailsInsteadOfWaiting)
{
    int closed = ::dup(fd);
    ::close(closed);
    char b;
    LineTransfer t = serialRead(closed, -1, &b, 1, kNoTimeLimit);
    EXPECT_EQ(t.status, LineIo::Failed);
    EXPECT_EQ(t.error, EBADF);
    t = serialWrite(closed, "x", 1, kNoTimeLimit);
    EXPECT_EQ(t.status, LineIo::Failed);
}

TEST(SerialErrorText, IsTheEnglishText)
{
    EXPECT_EQ(serialErrorText(ENOENT), "No such file or directory");
}
