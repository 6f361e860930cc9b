#include "tests/sim/converter/converter_sim.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace sim {

namespace {

std::mutex servingMutex;
std::vector<ConverterSim*> servingSims;

} // namespace

const std::string ConverterSim::kGarbage = std::string("\x7f\x15#garbled!\xfe\r", 12);
const std::string ConverterSim::kFloodLine = "t12381122334455667788\r";

ConverterSim::ConverterSim(ConverterMode mode, ConverterConfig config)
    : device_(config, mode)
{
}

ConverterSim::~ConverterSim()
{
    stop();
}

bool ConverterSim::start()
{
    if (!pty_.ok())
        return false;
    if (thread_.joinable())
        return true;
    stopping_ = false;
    thread_ = std::thread([this] { loop(); });
    std::lock_guard<std::mutex> lock(servingMutex);
    servingSims.push_back(this);
    return true;
}

void ConverterSim::stop()
{
    {
        std::lock_guard<std::mutex> lock(servingMutex);
        servingSims.erase(std::remove(servingSims.begin(), servingSims.end(), this), servingSims.end());
    }
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
}

ConverterSim* ConverterSim::serving(const std::string& slavePath)
{
    std::lock_guard<std::mutex> lock(servingMutex);
    for (ConverterSim* s : servingSims) {
        if (s->portPath() == slavePath)
            return s;
    }
    return nullptr;
}

void ConverterSim::holdReplies(bool on)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = on;
    }
    changed_.notify_all();
}

bool ConverterSim::awaitAnswer(const std::string& request, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    std::size_t at = std::string::npos;
    const bool done = changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        if (handedOver_ || stopping_)
            return true;
        if (at == std::string::npos)
            at = received_.find(request, answerMark_);
        return at != std::string::npos && !takingIn_ && !writing_ && (held_ || pending_.empty());
    });
    if (!done || at == std::string::npos)
        return false;
    answerMark_ = at + request.size();
    return lastWriteAt_ > at;
}

void ConverterSim::setMode(ConverterMode mode)
{
    std::lock_guard<std::mutex> lock(mutex_);
    device_.setMode(mode);
}

ConverterMode ConverterSim::mode() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return device_.mode();
}

void ConverterSim::setConfig(const ConverterConfig& config)
{
    std::lock_guard<std::mutex> lock(mutex_);
    device_.setConfig(config);
}

ConverterConfig ConverterSim::config() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return device_.config();
}

ConverterConfig ConverterSim::savedConfig() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return device_.saved();
}

void ConverterSim::powerCycle()
{
    std::lock_guard<std::mutex> lock(mutex_);
    device_.powerCycle();
}

void ConverterSim::setSilent(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    silent_ = on;
}

void ConverterSim::setGarbage(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    garbage_ = on;
}

void ConverterSim::dropReplies(int count)
{
    std::lock_guard<std::mutex> lock(mutex_);
    dropCount_ = count;
}

void ConverterSim::setReplyDelay(int ms)
{
    std::lock_guard<std::mutex> lock(mutex_);
    replyDelayMs_ = ms < 0 ? 0 : ms;
}

void ConverterSim::setFlood(bool on, int intervalMs)
{
    std::lock_guard<std::mutex> lock(mutex_);
    flooding_ = on;
    floodIntervalMs_ = intervalMs < 0 ? 0 : intervalMs;
    nextFlood_ = Clock::now();
}

void ConverterSim::inject(const std::string& bytes)
{
    // Straight to the line, ahead of any reply still waiting for its time.
    pty_.writeAll(bytes);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastWriteAt_ = received_.size();
    }
    changed_.notify_all();
}

std::vector<std::string> ConverterSim::lines() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::vector<std::string> ConverterSim::frames() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
}

std::string ConverterSim::received() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

std::size_t ConverterSim::lineCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_.size();
}

std::size_t ConverterSim::frameCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_.size();
}

int ConverterSim::probeCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return probes_;
}

int ConverterSim::firmwareUpgradeCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return upgrades_;
}

void ConverterSim::clearRecords()
{
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
    frames_.clear();
    received_.clear();
    answerMark_ = 0;
    lastWriteAt_ = 0;
    probes_ = 0;
    upgrades_ = 0;
}

bool ConverterSim::waitForLine(const std::string& line, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (const auto& l : lines_) {
            if (l == line)
                return true;
        }
        return false;
    });
}

bool ConverterSim::waitForLineCount(std::size_t count, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return lines_.size() >= count; });
}

bool ConverterSim::waitForFrames(std::size_t count, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return frames_.size() >= count; });
}

bool ConverterSim::waitForProbes(int count, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return probes_ >= count; });
}

bool ConverterSim::waitForReceived(std::size_t bytes, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return received_.size() >= bytes; });
}

void ConverterSim::setLineObserver(std::function<void(const ConverterEvent&)> observer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::move(observer);
}

void ConverterSim::setFirmwareUpgradeHandler(std::function<void(ConverterSim&)> handler)
{
    std::lock_guard<std::mutex> lock(mutex_);
    upgradeHandler_ = std::move(handler);
}

void ConverterSim::handOver()
{
    handedOver_ = true;
    if (!thread_.joinable() || std::this_thread::get_id() == thread_.get_id())
        return;
    // Let the loop finish the pass it is in, so it touches the pty no more.
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(2), [&] { return parked_; });
}

void ConverterSim::takeBack()
{
    handedOver_ = false;
}

bool ConverterSim::handedOver() const
{
    return handedOver_;
}

void ConverterSim::onFirmwareUpgrade()
{
    std::function<void(ConverterSim&)> handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handler = upgradeHandler_;
    }
    if (handler)
        handler(*this);
}

void ConverterSim::loop()
{
    while (!stopping_) {
        if (handedOver_) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                parked_ = true;
            }
            changed_.notify_all();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        bool busy;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            parked_ = false;
            busy = flooding_ || !pending_.empty();
        }
        std::string bytes = pty_.readSome(busy ? 1 : 5);
        if (!bytes.empty())
            takeIn(bytes);
        sendDue();
        flood();
    }
}

void ConverterSim::takeIn(const std::string& bytes)
{
    std::vector<ConverterEvent> events;
    std::function<void(const ConverterEvent&)> observer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        takingIn_ = true;
        received_ += bytes;
        const bool understood = pty_.baudRate() == device_.listeningBaud();
        events = device_.feed(bytes, understood);
        const auto due = Clock::now() + std::chrono::milliseconds(replyDelayMs_);
        for (const auto& e : events) {
            lines_.push_back(e.line);
            if (e.kind == ConverterEvent::Kind::Probe)
                ++probes_;
            if (e.kind == ConverterEvent::Kind::Frame)
                frames_.push_back(e.line);
            const bool upgrade = e.kind == ConverterEvent::Kind::FirmwareUpgrade;
            if (upgrade)
                ++upgrades_;
            if (e.reply.empty() || silent_)
                continue;
            if (dropCount_ > 0) {
                --dropCount_;
                continue;
            }
            pending_.push_back(Pending{due, garbage_ ? kGarbage : e.reply, upgrade});
        }
        observer = observer_;
    }
    changed_.notify_all();
    if (observer) {
        for (const auto& e : events)
            observer(e);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        takingIn_ = false;
    }
    changed_.notify_all();
}

void ConverterSim::sendDue()
{
    for (;;) {
        Pending next;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (held_ || pending_.empty() || pending_.front().due > Clock::now())
                return;
            next = std::move(pending_.front());
            pending_.pop_front();
            writing_ = true;
        }
        pty_.writeAll(next.bytes);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            writing_ = false;
            lastWriteAt_ = received_.size();
        }
        changed_.notify_all();
        if (next.thenUpgrade) {
            onFirmwareUpgrade();
            if (handedOver_)
                return;
        }
    }
}

void ConverterSim::flood()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!flooding_ || Clock::now() < nextFlood_)
            return;
        nextFlood_ = Clock::now() + std::chrono::milliseconds(floodIntervalMs_);
    }
    // Never block: a full line just loses this frame.
    ssize_t n;
    do {
        n = ::write(pty_.masterFd(), kFloodLine.data(), kFloodLine.size());
    } while (n < 0 && errno == EINTR);
}

} // namespace sim
