// The simulated part on a wire of its rate: a byte the host wrote reaches
// the loader one character time after the one before it, and the answers
// leave one character time apart, each direction on its own clock.
#include "tests/sim/classic/classic_sim.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <poll.h>
#include <time.h>
#include <unistd.h>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

struct InByte {
    Clock::time_point due;
    std::uint8_t byte;
    unsigned hostBaud;
};

// Bytes taken off the pty ahead of their wire time, as a UART's receive
// FIFO would hold them. (A pty takes every byte the host writes at once,
// far more than a real port's writer gets ahead of the wire.)
constexpr std::size_t kBacklog = 16;

std::chrono::nanoseconds byteTime(unsigned baud, bool pace)
{
    return baud && pace ? std::chrono::nanoseconds(10'000'000'000LL / baud) : std::chrono::nanoseconds(0);
}

} // namespace

void ClassicSim::runPaced()
{
    std::deque<InByte> inq;
    std::string outq;
    Clock::time_point inClock{}, outClock{};
    bool outIdle = true;
    std::size_t taken = 0;
    const int fd = pty_.masterFd();
    while (!stop_) {
        Clock::time_point now = Clock::now();
        {
            std::lock_guard<std::mutex> lock(mu_);
            std::string made;
            while (!inq.empty() && inq.front().due <= now) {
                hostWrote();
                loader_.feed(inq.front().byte, inq.front().hostBaud);
                made += loader_.takeOutput();
                inq.pop_front();
            }
            queueOutput(made);
            taken = loader_.recordCount();
        }
        Clock::time_point heldUntil = now + std::chrono::milliseconds(20);
        outq += dueOutput(now, heldUntil);
        const std::chrono::nanoseconds t = byteTime(pty_.baudRate(), pace_);
        bool blocked = false;
        if (!outq.empty()) {
            std::size_t due = outq.size();
            if (t.count() > 0) {
                // Output that finds the wire idle starts now.
                if (outIdle && outClock < now - t)
                    outClock = now - t;
                due = std::min<std::size_t>(due, static_cast<std::size_t>((now - outClock) / t));
            }
            std::size_t done = 0;
            while (done < due) {
                const ssize_t n = ::write(fd, outq.data() + done, due - done);
                if (n > 0) {
                    done += static_cast<std::size_t>(n);
                } else if (n < 0 && errno == EINTR) {
                    continue;
                } else {
                    blocked = true;
                    break;
                }
            }
            outq.erase(0, done);
            bytesOut_ += done;
            outClock += t * static_cast<long>(done);
        }
        outIdle = outq.empty();
        if (outIdle && queue_.empty())
            recordsAnswered_ = taken;

        Clock::time_point next = heldUntil;
        if (!inq.empty())
            next = std::min(next, inq.front().due);
        if (!outq.empty() && !blocked)
            next = std::min(next, outClock + t);
        pollfd p{fd, static_cast<short>((inq.size() < kBacklog ? POLLIN : 0) | (blocked ? POLLOUT : 0)), 0};
        const auto wait = std::max<std::chrono::nanoseconds>(next - Clock::now(), std::chrono::nanoseconds(0));
        timespec ts{static_cast<time_t>(wait.count() / 1'000'000'000), static_cast<long>(wait.count() % 1'000'000'000)};
        if (::ppoll(&p, 1, &ts, nullptr) <= 0 || !(p.revents & POLLIN))
            continue;
        char buf[kBacklog];
        const ssize_t n = ::read(fd, buf, kBacklog - inq.size());
        if (n <= 0)
            continue;
        const unsigned host = pty_.baudRate();
        const std::chrono::nanoseconds tin = byteTime(host, pace_);
        now = Clock::now();
        for (ssize_t i = 0; i < n; ++i) {
            inClock = std::max(inClock, now) + tin;
            inq.push_back({inClock, static_cast<std::uint8_t>(buf[i]), host});
        }
        bytesIn_ += static_cast<std::uint64_t>(n);
    }
}

} // namespace sim
