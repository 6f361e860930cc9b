#include "link/timerthread.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <limits>

namespace {

class Timer : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Counted in the timer's own thread, so no event loop is needed.
        QObject::connect(&timer, &TimerThread::TimeOut, &timer, [this] {
            ++ticks;
            if (onTick)
                onTick(ticks.load());
        }, Qt::DirectConnection);
    }

    void TearDown() override
    {
        timer.stopLoop();
        EXPECT_TRUE(timer.wait(5000));
    }

    // Waits until `count` ticks came; false after the hang guard.
    bool waitForTicks(int count, int guardMs = 10000)
    {
        QElapsedTimer t;
        t.start();
        while (ticks.load() < count && t.elapsed() < guardMs)
            QThread::msleep(1);
        return ticks.load() >= count;
    }

    TimerThread timer;
    std::atomic<int> ticks{0};
    std::function<void(int)> onTick;
};

TEST_F(Timer, StartsDisabledWithAHundredMillisecondPeriod)
{
    EXPECT_FALSE(timer.isEnabled());
    timer.start();
    QThread::msleep(250);
    EXPECT_EQ(ticks.load(), 0);

    QElapsedTimer t;
    timer.enable();
    t.start();
    ASSERT_TRUE(waitForTicks(1));
    EXPECT_GE(t.elapsed(), 100);
}

TEST_F(Timer, TicksEveryTwicePeriodPlusTwoMilliseconds)
{
    timer.setPeriod(5);
    timer.enable();
    EXPECT_TRUE(timer.isEnabled());
    QElapsedTimer t;
    t.start();
    timer.start();
    ASSERT_TRUE(waitForTicks(5));
    // Five intervals of 10 ms and four 2 ms pauses between them.
    EXPECT_GE(t.elapsed(), 5 * 10 + 4 * 2);
}

TEST_F(Timer, DisabledTimerStopsTicking)
{
    timer.setPeriod(0);
    timer.enable();
    timer.start();
    ASSERT_TRUE(waitForTicks(3));
    timer.disable();
    EXPECT_FALSE(timer.isEnabled());
    QThread::msleep(100); // lets a tick already due come
    const int settled = ticks.load();
    QThread::msleep(300);
    EXPECT_EQ(ticks.load(), settled);
}

TEST_F(Timer, NegativePeriodCountsAsZero)
{
    const struct {
        int set, kept;
    } cases[] = {{-100, 0}, {-1, 0}, {std::numeric_limits<int>::min(), 0}, {0, 0}, {7, 7}, {50, 50}};
    for (const auto& c : cases) {
        timer.setPeriod(c.set);
        EXPECT_EQ(timer.period(), c.kept) << c.set;
    }
    // The loop takes a period of 0 as such: ticks keep coming (hang guard).
    timer.setPeriod(-100);
    timer.enable();
    timer.start();
    EXPECT_TRUE(waitForTicks(5, 5000));
}

TEST_F(Timer, DisableDuringAnIntervalKeepsItsTickAndPeriodChangesFromTheNext)
{
    timer.setPeriod(1);
    // Set from within the first tick: the next interval is 1 s long.
    onTick = [this](int n) {
        if (n == 1)
            timer.setPeriod(500);
    };
    timer.enable();
    timer.start();
    ASSERT_TRUE(waitForTicks(1));
    QElapsedTimer t;
    t.start();
    QThread::msleep(200);
    // Neither a shorter period nor disabling cuts the interval under way.
    timer.setPeriod(1);
    timer.disable();
    ASSERT_TRUE(waitForTicks(2));
    EXPECT_GE(t.elapsed(), 500); // about 1 s, against 2 ms before the change
    QThread::msleep(300);
    EXPECT_EQ(ticks.load(), 2);
}

TEST_F(Timer, StopLoopEndsALongIntervalWithoutATick)
{
    timer.setPeriod(9999);
    timer.enable();
    timer.start();
    QThread::msleep(50);
    timer.stopLoop();
    EXPECT_TRUE(timer.wait(2000));
    EXPECT_EQ(ticks.load(), 0);
}

} // namespace
