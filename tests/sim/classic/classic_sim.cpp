#include "tests/sim/classic/classic_sim.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <unistd.h>

namespace sim {

ClassicSim::ClassicSim(const ClassicPersona& persona) : loader_(persona) {}

ClassicSim::~ClassicSim()
{
    stop();
}

bool ClassicSim::start()
{
    if (!pty_.ok())
        return false;
    if (thread_.joinable())
        return true;
    stop_ = false;
    thread_ = std::thread([this] {
        if (pacedLoop_)
            runPaced();
        else
            run();
    });
    return true;
}

void ClassicSim::stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void ClassicSim::run()
{
    char buf[256];
    std::size_t taken = 0;
    auto flush = [&](Clock::time_point& next) {
        const std::string out = dueOutput(Clock::now(), next);
        if (!out.empty() && pty_.writeAll(out))
            bytesOut_ += out.size();
        if (queue_.empty())
            recordsAnswered_ = taken;
    };
    while (!stop_) {
        Clock::time_point next = Clock::now() + std::chrono::milliseconds(20);
        flush(next);
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
        pollfd p{pty_.masterFd(), POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(wait > 0 ? wait : 0)) <= 0 || !(p.revents & POLLIN))
            continue;
        const ssize_t n = ::read(pty_.masterFd(), buf, sizeof buf);
        if (n <= 0)
            continue;
        // The rate the host has set now applies to what it just wrote.
        const unsigned host = pty_.baudRate();
        {
            std::lock_guard<std::mutex> lock(mu_);
            hostWrote();
            std::string out;
            for (ssize_t i = 0; i < n; ++i) {
                loader_.feed(static_cast<std::uint8_t>(buf[i]), host);
                // Each answer leaves before the next byte is looked at, as a
                // loader that answers at once would.
                out += loader_.takeOutput();
            }
            queueOutput(out);
            taken = loader_.recordCount();
        }
        bytesIn_ += static_cast<std::uint64_t>(n);
        flush(next);
    }
}

void ClassicSim::addLineFault(const ClassicLineFault& fault)
{
    std::lock_guard<std::mutex> lock(mu_);
    shaper_.add(fault);
}

void ClassicSim::queueOutput(const std::string& out)
{
    if (out.empty())
        return;
    const Clock::time_point now = Clock::now();
    for (OutSegment& s : shaper_.shape(out))
        if (!s.text.empty())
            queue_.push_back({std::move(s), now});
}

void ClassicSim::hostWrote()
{
    for (Queued& q : queue_)
        if (q.segment.gapMs == kUntilHostWrites)
            q.segment.gapMs = 0;
}

std::string ClassicSim::dueOutput(Clock::time_point now, Clock::time_point& next)
{
    std::string out;
    while (!queue_.empty()) {
        const Queued& q = queue_.front();
        if (q.segment.gapMs == kUntilHostWrites)
            break;
        // A piece would have gone out when it was made or when the one
        // before it went, whichever came later; its gap counts from there.
        const Clock::time_point due = std::max(q.queuedAt, lastOut_) + std::chrono::milliseconds(q.segment.gapMs);
        if (due > now) {
            next = std::min(next, due);
            break;
        }
        out += q.segment.text;
        lastOut_ = now;
        queue_.pop_front();
    }
    return out;
}

void ClassicSim::reset()
{
    std::lock_guard<std::mutex> lock(mu_);
    loader_.reset();
}

ClassicLoader::State ClassicSim::state() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return loader_.state();
}

double ClassicSim::baud() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return loader_.baud();
}

void ClassicSim::addFault(const ClassicFault& fault)
{
    std::lock_guard<std::mutex> lock(mu_);
    loader_.addFault(fault);
}

bool ClassicSim::releaseLate()
{
    std::string late;
    {
        std::lock_guard<std::mutex> lock(mu_);
        late = loader_.releaseLate();
    }
    if (late.empty() || !pty_.writeAll(late))
        return false;
    bytesOut_ += late.size();
    return true;
}

std::vector<std::string> ClassicSim::records() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return loader_.records();
}

std::map<std::uint32_t, std::uint8_t> ClassicSim::memory() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return loader_.memory();
}

int ClassicSim::oscillatorSent() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return loader_.oscillatorSent();
}

ClassicFlash ClassicSim::flash() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return loader_.flash();
}

ClassicSettings ClassicSim::settings() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return loader_.settings();
}

void ClassicSim::setSettings(const ClassicSettings& s)
{
    std::lock_guard<std::mutex> lock(mu_);
    loader_.setSettings(s);
}

bool ClassicSim::unlocked() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return loader_.unlocked();
}

int ClassicSim::resets() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return loader_.resets();
}

int ClassicSim::lastResetMethod() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return loader_.lastResetMethod();
}

bool ClassicSim::waitForBytes(std::uint64_t count, int timeoutMs) const
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (bytesIn_.load() < count) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool ClassicSim::waitForAnswer(const std::string& record, int timeoutMs) const
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::vector<std::string> r = records();
        for (std::size_t i = 0; i < r.size(); ++i)
            if (r[i] == record && recordsAnswered_.load() > i)
                return true;
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace sim
