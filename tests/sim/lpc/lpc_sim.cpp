#include "tests/sim/lpc/lpc_sim.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr auto kLfWait = std::chrono::milliseconds(50);
// Poll at least this often, so that a stop or a changed option is seen.
constexpr auto kIdleWake = std::chrono::milliseconds(200);
// With pacing, the ROM stops reading once this much input waits its turn,
// so that the host's writes back up as they would on a wire.
constexpr std::size_t kPacedBacklog = 4096;

} // namespace

LpcSim::LpcSim(const lpc::PartInfo& part, Options options)
    : ownedPty_(std::make_unique<Pty>()), pty_(ownedPty_.get()), part_(part), options_(options),
      memory_(part_), rom_(memory_)
{
    init();
}

LpcSim::LpcSim(Pty& pty, const lpc::PartInfo& part, Options options)
    : pty_(&pty), part_(part), options_(options), memory_(part_), rom_(memory_)
{
    init();
}

void LpcSim::init()
{
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (pty_->ok()) {
        int flags = fcntl(pty_->masterFd(), F_GETFL);
        fcntl(pty_->masterFd(), F_SETFL, flags | O_NONBLOCK);
    }
}

LpcSim::~LpcSim()
{
    stop();
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

bool LpcSim::start()
{
    if (running_.load())
        return true;
    if (!pty_->ok() || wakeFd_ < 0)
        return false;
    if (thread_.joinable()) // asked to stop from its own thread earlier
        thread_.join();
    {
        std::lock_guard<std::mutex> lock(mu_);
        rom_.enterIsp();
        inq_.clear();
        outq_.clear();
        holds_.clear();
        outIdle_ = true;
        lfArmed_ = false;
        writeBlocked_ = false;
        noteState();
    }
    stop_ = false;
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
}

void LpcSim::stop()
{
    stop_ = true;
    wake();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

bool LpcSim::isRunning() const { return running_.load(); }

void LpcSim::wake()
{
    if (wakeFd_ >= 0) {
        std::uint64_t one = 1;
        ssize_t n = write(wakeFd_, &one, sizeof one);
        (void)n;
    }
}

std::chrono::nanoseconds LpcSim::byteTime() const
{
    unsigned rate = rom_.baud();
    if (rate == 0)
        rate = pty_->baudRate();
    if (rate == 0)
        return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds(10'000'000'000LL / rate);
}

void LpcSim::noteState()
{
    if (rom_.state() != lastState_) {
        lastState_ = rom_.state();
        stateCv_.notify_all();
    }
}

LpcSim::Clock::time_point LpcSim::step(Clock::time_point now, std::vector<ResetEvent>& fire)
{
    Clock::time_point next = now + kIdleWake;
    while (!inq_.empty() && rom_.state() != lpc::RomState::Running) {
        if (options_.paceWire && inq_.front().due > now) {
            next = std::min(next, inq_.front().due);
            break;
        }
        rom_.feed(inq_.front().byte);
        inq_.pop_front();
        if (rom_.lfPending() && !lfArmed_) {
            lfArmed_ = true;
            lfDeadline_ = now + kLfWait;
        }
    }
    if (rom_.state() == lpc::RomState::Running && !inq_.empty()) {
        for (const InByte& b : inq_)
            unread_ += static_cast<char>(b.byte);
        inq_.clear();
    }
    if (!rom_.lfPending()) {
        lfArmed_ = false;
    } else if (!lfArmed_) {
        lfArmed_ = true;
        lfDeadline_ = now + kLfWait;
    } else if (now >= lfDeadline_) {
        lfArmed_ = false;
        rom_.lfTimeout();
    }
    if (lfArmed_)
        next = std::min(next, lfDeadline_);

    std::vector<OutputHold> held;
    const std::string out = rom_.takeOutput(&held);
    for (const OutputHold& h : held) {
        Held x;
        x.hold = h;
        x.hold.at += outq_.size();
        holds_.push_back(x);
    }
    outq_ += out;
    for (const ResetEvent& ev : rom_.takeEvents()) {
        resets_.push_back(ev);
        fire.push_back(ev);
    }
    writeDue(now, next);
    noteState();
    return next;
}

void LpcSim::writeDue(Clock::time_point now, Clock::time_point& next)
{
    if (outq_.empty()) {
        outIdle_ = true;
        holds_.clear();
        return;
    }
    const std::chrono::nanoseconds t = byteTime();
    while (!holds_.empty() && holds_.front().hold.at == 0) {
        Held& h = holds_.front();
        bool go = h.hold.untilLine != 0 && rom_.linesReceived() >= h.hold.untilLine;
        if (!go && h.hold.afterMs > 0) {
            if (!h.armed) {
                h.armed = true;
                h.due = now + std::chrono::milliseconds(h.hold.afterMs);
            }
            go = now >= h.due;
            if (!go)
                next = std::min(next, h.due);
        }
        if (!go)
            return;
        holds_.pop_front();
        // Held output starts on an idle wire when it goes.
        outIdle_ = true;
    }
    std::size_t due = holds_.empty() ? outq_.size() : holds_.front().hold.at;
    const bool pace = options_.paceWire && t.count() > 0;
    if (pace) {
        // Only output that found the queue empty starts on an idle wire and
        // goes now. A late wake-up with bytes still queued keeps the clock,
        // so the bytes that fell due meanwhile go out together.
        if (outIdle_ && outClock_ < now - t)
            outClock_ = now - t;
        due = std::min<std::size_t>(due, static_cast<std::size_t>((now - outClock_) / t));
    }
    outIdle_ = false;
    std::size_t done = 0;
    writeBlocked_ = false;
    while (done < due) {
        ssize_t n = ::write(pty_->masterFd(), outq_.data() + done, due - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        writeBlocked_ = true; // full (EAGAIN) or broken: poll for room
        break;
    }
    outq_.erase(0, done);
    for (Held& h : holds_)
        h.hold.at -= done;
    outIdle_ = outq_.empty();
    bytesOut_ += done;
    if (pace) {
        outClock_ += t * static_cast<long>(done);
        if (!outq_.empty() && !writeBlocked_)
            next = std::min(next, outClock_ + t);
    }
}

void LpcSim::receive()
{
    char buf[4096];
    std::string got;
    for (;;) {
        ssize_t n = ::read(pty_->masterFd(), buf, sizeof buf);
        if (n > 0) {
            got.append(buf, static_cast<std::size_t>(n));
            if (got.size() >= kPacedBacklog)
                break;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    if (got.empty())
        return;
    const unsigned hostBaud = pty_->baudRate();
    const Clock::time_point now = Clock::now();
    bytesIn_ += got.size();
    std::lock_guard<std::mutex> lock(mu_);
    rom_.setHostBaud(hostBaud);
    if (options_.checkBaud && rom_.state() != lpc::RomState::Autobaud && hostBaud != rom_.baud())
        return; // noise at the wrong rate
    const std::chrono::nanoseconds t = options_.paceWire ? byteTime() : std::chrono::nanoseconds(0);
    for (char c : got) {
        inClock_ = std::max(inClock_, now) + t;
        inq_.push_back({inClock_, static_cast<std::uint8_t>(c)});
    }
}

void LpcSim::run()
{
    std::vector<ResetEvent> fire;
    bool broken = false;
    while (!stop_.load()) {
        Clock::time_point now = Clock::now();
        Clock::time_point next;
        bool wantRead = false;
        bool wantWrite = false;
        bool outEmpty = false;
        ResetHook hook;
        {
            std::lock_guard<std::mutex> lock(mu_);
            next = step(now, fire);
            wantRead = rom_.state() != lpc::RomState::Running && inq_.size() < kPacedBacklog;
            wantWrite = writeBlocked_;
            outEmpty = outq_.empty();
            hook = onReset_;
        }
        if (outEmpty && !fire.empty()) {
            std::vector<ResetEvent> events;
            events.swap(fire);
            if (hook)
                for (const ResetEvent& ev : events)
                    hook(ev);
            continue;
        }
        const LineReady ready = waitOnLine(wakeFd_, pty_->masterFd(), wantRead, wantWrite, broken, now, next);
        broken = ready == LineReady::Broken;
        if (ready == LineReady::Readable)
            receive();
    }
    std::lock_guard<std::mutex> lock(mu_);
    running_ = false;
    stateCv_.notify_all();
}

void LpcSim::reset(bool ispPin)
{
    std::vector<ResetEvent> events;
    ResetHook hook;
    {
        std::lock_guard<std::mutex> lock(mu_);
        rom_.hardReset(ispPin);
        inq_.clear();
        outq_.clear();
        holds_.clear();
        outIdle_ = true;
        unread_.clear();
        lfArmed_ = false;
        events = rom_.takeEvents();
        resets_.insert(resets_.end(), events.begin(), events.end());
        hook = onReset_;
        noteState();
    }
    wake();
    if (hook)
        for (const ResetEvent& ev : events)
            hook(ev);
}

void LpcSim::enterIsp()
{
    {
        std::lock_guard<std::mutex> lock(mu_);
        rom_.enterIsp();
        inq_.clear();
        outq_.clear();
        holds_.clear();
        outIdle_ = true;
        lfArmed_ = false;
        noteState();
    }
    wake();
}

lpc::RomState LpcSim::state() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return rom_.state();
}

bool LpcSim::waitForState(lpc::RomState state, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mu_);
    return stateCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return rom_.state() == state; });
}

unsigned LpcSim::baud() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return rom_.baud();
}

bool LpcSim::echo() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return rom_.echo();
}

bool LpcSim::unlocked() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return rom_.unlocked();
}

int LpcSim::crpLevel() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return rom_.crpLevel();
}

unsigned LpcSim::oscillatorKHz() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return rom_.oscillatorKHz();
}

std::uint32_t LpcSim::remapRegister() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return memory_.remapRegister();
}

std::vector<std::uint8_t> LpcSim::flash(int bank) const
{
    std::lock_guard<std::mutex> lock(mu_);
    if (bank < 0 || bank >= memory_.bankCount())
        return {};
    return memory_.flash(bank);
}

void LpcSim::setFlash(const std::vector<std::uint8_t>& image, int bank)
{
    std::lock_guard<std::mutex> lock(mu_);
    if (bank < 0 || bank >= memory_.bankCount())
        return;
    std::vector<std::uint8_t>& f = memory_.flash(bank);
    std::fill(f.begin(), f.end(), 0xFF);
    std::copy_n(image.begin(), std::min(image.size(), f.size()), f.begin());
}

void LpcSim::writeFlash(std::uint32_t address, const std::vector<std::uint8_t>& bytes)
{
    std::lock_guard<std::mutex> lock(mu_);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint32_t a = address + static_cast<std::uint32_t>(i);
        int bank = 0;
        if (memory_.region(a, 1, &bank) == lpc::Region::Flash)
            memory_.flash(bank)[a - part_.banks[bank].start] = bytes[i];
    }
}

std::vector<std::uint8_t> LpcSim::ram() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return memory_.ram();
}

void LpcSim::writeRam(std::uint32_t address, const std::vector<std::uint8_t>& bytes)
{
    std::lock_guard<std::mutex> lock(mu_);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        memory_.writeRam(address + static_cast<std::uint32_t>(i), bytes[i]);
}

std::vector<std::uint8_t> LpcSim::readMemory(std::uint32_t address, std::size_t count) const
{
    std::lock_guard<std::mutex> lock(mu_);
    std::vector<std::uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = memory_.physRead(address + static_cast<std::uint32_t>(i));
    return out;
}

std::vector<std::uint8_t> LpcSim::eeprom() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return memory_.eeprom();
}

void LpcSim::setFaults(const LpcFaults& faults)
{
    {
        std::lock_guard<std::mutex> lock(mu_);
        rom_.faults() = faults;
    }
    wake();
}

LpcFaults LpcSim::faults() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return rom_.faults();
}

void LpcSim::inject(const std::string& bytes)
{
    {
        std::lock_guard<std::mutex> lock(mu_);
        outq_ += bytes;
    }
    wake();
}

void LpcSim::releaseHeld()
{
    {
        std::lock_guard<std::mutex> lock(mu_);
        holds_.clear();
        outIdle_ = true;
    }
    wake();
}

std::size_t LpcSim::heldBytes() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return holds_.empty() ? 0 : outq_.size() - holds_.front().hold.at;
}

void LpcSim::setOnReset(ResetHook hook)
{
    std::lock_guard<std::mutex> lock(mu_);
    onReset_ = std::move(hook);
}

std::vector<ResetEvent> LpcSim::resets() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return resets_;
}

std::vector<std::string> LpcSim::commands() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return rom_.commands();
}

void LpcSim::clearRecords()
{
    std::lock_guard<std::mutex> lock(mu_);
    rom_.clearCommands();
    resets_.clear();
}

std::string LpcSim::takeUnread()
{
    std::lock_guard<std::mutex> lock(mu_);
    std::string out;
    out.swap(unread_);
    return out;
}

} // namespace sim
