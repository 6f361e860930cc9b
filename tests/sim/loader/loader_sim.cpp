#include "tests/sim/loader/loader_sim.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr auto kIdleWake = std::chrono::milliseconds(200);
// With pacing, no more input than a part's receive FIFO holds waits its
// turn, so the program's writes back up as they would on a wire.
constexpr std::size_t kPacedBacklog = 64;
constexpr std::size_t kReadPiece = 4096;
// Output is written in pieces of at most this size, so a stop is seen soon.
constexpr std::size_t kWritePiece = 4096;

} // namespace

LoaderSim::LoaderSim(const loader::LoaderConfig& config, Options options)
    : ownedPty_(std::make_unique<Pty>()), pty_(ownedPty_.get()), options_(options), persona_(config)
{
    init();
}

LoaderSim::LoaderSim(Pty& pty, const loader::LoaderConfig& config, Options options)
    : pty_(&pty), options_(options), persona_(config)
{
    init();
}

void LoaderSim::init()
{
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (pty_->ok()) {
        int flags = fcntl(pty_->masterFd(), F_GETFL);
        fcntl(pty_->masterFd(), F_SETFL, flags | O_NONBLOCK);
    }
}

LoaderSim::~LoaderSim()
{
    stop();
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

bool LoaderSim::start(loader::Persona persona, bool announce, const std::string& pending)
{
    if (running_.load())
        return true;
    if (!pty_->ok() || wakeFd_ < 0)
        return false;
    if (thread_.joinable())
        thread_.join();
    {
        std::lock_guard<std::mutex> lock(mu_);
        persona_.begin(persona);
        inq_.clear();
        outq_.clear();
        writeBlocked_ = false;
        busyUntil_ = {};
        if (announce && persona == loader::Persona::Loader)
            outq_ = "KELDMARVOS\r\n";
        const Clock::time_point now = Clock::now();
        for (char c : pending)
            inq_.push_back({now, static_cast<std::uint8_t>(c)});
    }
    stop_ = false;
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
}

void LoaderSim::stop()
{
    stop_ = true;
    wake();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

void LoaderSim::wake()
{
    if (wakeFd_ >= 0) {
        std::uint64_t one = 1;
        ssize_t n = write(wakeFd_, &one, sizeof one);
        (void)n;
    }
}

std::chrono::nanoseconds LoaderSim::byteTime() const
{
    if (!options_.paceWire)
        return std::chrono::nanoseconds(0);
    const unsigned rate = pty_->baudRate();
    if (rate == 0)
        return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds(10'000'000'000LL / rate);
}

void LoaderSim::receive(std::size_t room)
{
    char buf[kReadPiece];
    std::string got;
    while (got.size() < room) {
        ssize_t n = ::read(pty_->masterFd(), buf, std::min(sizeof buf, room - got.size()));
        if (n > 0) {
            got.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    if (got.empty())
        return;
    bytesIn_ += got.size();
    const std::chrono::nanoseconds t = byteTime();
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> lock(mu_);
    byteTime_ = t;
    for (char c : got) {
        inClock_ = std::max(inClock_, now) + t;
        inq_.push_back({inClock_, static_cast<std::uint8_t>(c)});
    }
}

LoaderSim::Clock::time_point LoaderSim::step(Clock::time_point now)
{
    Clock::time_point next = now + kIdleWake;
    while (!inq_.empty() && busyUntil_ <= now) {
        if (inq_.front().due > now) {
            next = std::min(next, inq_.front().due);
            break;
        }
        persona_.feed(inq_.front().byte);
        inq_.pop_front();
        if (const std::uint32_t ms = persona_.takeBusyMs()) {
            // Its reply leaves when the work is done.
            busyUntil_ = now + std::chrono::milliseconds(ms);
            break;
        }
        outq_ += persona_.takeOutput();
    }
    if (busyUntil_ > now)
        next = std::min(next, busyUntil_);
    else
        outq_ += persona_.takeOutput();
    if (outq_.empty())
        return next;

    std::size_t due = std::min(outq_.size(), kWritePiece);
    const std::chrono::nanoseconds t = byteTime_;
    if (t.count() > 0) {
        // A wire that was idle starts now; a busy one keeps its clock.
        if (outClock_ < now - t)
            outClock_ = now - t;
        due = std::min<std::size_t>(due, static_cast<std::size_t>((now - outClock_) / t));
    }
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
        writeBlocked_ = true;
        break;
    }
    outq_.erase(0, done);
    bytesOut_ += done;
    if (t.count() > 0)
        outClock_ += t * static_cast<long>(done);
    if (!outq_.empty() && !writeBlocked_)
        next = std::min(next, t.count() > 0 ? outClock_ + t : now);
    return next;
}

void LoaderSim::run()
{
    bool broken = false;
    while (!stop_.load()) {
        const Clock::time_point now = Clock::now();
        Clock::time_point next;
        std::size_t room = 0;
        bool wantWrite = false;
        {
            std::lock_guard<std::mutex> lock(mu_);
            next = step(now);
            if (!options_.paceWire)
                room = kReadPiece;
            else if (inq_.size() < kPacedBacklog)
                room = kPacedBacklog - inq_.size();
            wantWrite = writeBlocked_;
        }
        bool wantRead = room > 0;
        const LineReady ready = waitOnLine(wakeFd_, pty_->masterFd(), wantRead, wantWrite, broken, now, next);
        broken = ready == LineReady::Broken;
        if (ready == LineReady::Readable)
            receive(room);
    }
    running_ = false;
}

loader::Persona LoaderSim::persona() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return persona_.persona();
}

std::vector<std::uint8_t> LoaderSim::flash() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return persona_.flash().bytes();
}

void LoaderSim::setFlash(const std::vector<std::uint8_t>& image)
{
    std::lock_guard<std::mutex> lock(mu_);
    persona_.flash().fill(image);
}

std::uint64_t LoaderSim::conflicts() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return persona_.flash().conflicts();
}

std::vector<std::uint8_t> LoaderSim::ram() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return persona_.ram();
}

void LoaderSim::setFaults(const loader::LoaderFaults& faults)
{
    {
        std::lock_guard<std::mutex> lock(mu_);
        persona_.faults() = faults;
    }
    wake();
}

void LoaderSim::inject(const std::string& bytes)
{
    {
        std::lock_guard<std::mutex> lock(mu_);
        outq_ += bytes;
    }
    wake();
}

void LoaderSim::setEraseTime(std::chrono::milliseconds time)
{
    std::lock_guard<std::mutex> lock(mu_);
    persona_.setEraseMs(static_cast<std::uint32_t>(time.count()));
}

int LoaderSim::downloads() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return persona_.downloads();
}

std::uint32_t LoaderSim::lastBlockCount() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return persona_.lastBlockCount();
}

std::uint64_t LoaderSim::downloadedBytes() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return persona_.downloadedBytes();
}

int LoaderSim::queries() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return persona_.queries();
}

std::vector<loader::LoaderCommand> LoaderSim::commands() const
{
    std::lock_guard<std::mutex> lock(mu_);
    return persona_.commands();
}

void LoaderSim::clearRecords()
{
    std::lock_guard<std::mutex> lock(mu_);
    persona_.clearRecords();
}

} // namespace sim
