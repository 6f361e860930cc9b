#include "link/timerthread.h"

#include <algorithm>
#include <chrono>

namespace {

// Process-wide: there is one timer. The GUI thread writes, the loop reads.
std::atomic<bool> timerEnabled{false};
std::atomic<int> timerPeriod{50};

// Longest single sleep, so that stopLoop() is seen soon even when the period
// asks for many seconds.
constexpr long long kSliceUs = 50 * 1000;

} // namespace

TimerThread::TimerThread(QObject* parent)
    : QThread(parent)
{
    timerPeriod.store(50);
    running.store(1);
    timerEnabled.store(false);
}

TimerThread::~TimerThread() = default;

void TimerThread::enable()
{
    timerEnabled.store(true);
}

void TimerThread::disable()
{
    timerEnabled.store(false);
}

bool TimerThread::isEnabled() const
{
    return timerEnabled.load();
}

void TimerThread::setPeriod(int n)
{
    timerPeriod.store(std::max(n, 0));
}

int TimerThread::period() const
{
    return timerPeriod.load();
}

void TimerThread::stopLoop()
{
    running.store(0);
}

// Sleeps n x 2 ms; false when the loop was told to end meanwhile.
static bool delay2(const std::atomic<uint8_t>& running, long long n)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(2 * n);
    for (;;) {
        if (running.load() != 1)
            return false;
        auto left = std::chrono::duration_cast<std::chrono::microseconds>(end - Clock::now()).count();
        if (left <= 0)
            return true;
        QThread::usleep(static_cast<unsigned long>(std::min<long long>(left, kSliceUs)));
    }
}

void TimerThread::run()
{
    while (running.load() == 1) {
        if (timerEnabled.load()) {
            // Read once: a change during the interval counts from the next.
            if (!delay2(running, timerPeriod.load()))
                break;
            emit TimeOut();
        } else if (!delay2(running, 100)) {
            break;
        }
        delay2(running, 1);
    }
}
