#include "platform/sleep.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

namespace {
std::atomic<Sleeper*> installed{nullptr};
}

void sleepMs(unsigned ms)
{
    if (Sleeper* s = installed.load(std::memory_order_acquire)) {
        s->sleepMs(ms);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void installSleeper(Sleeper* sleeper)
{
    installed.store(sleeper, std::memory_order_release);
}

} // namespace platform
