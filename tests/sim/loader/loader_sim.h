// A part running the RAM flash loader on one end of a pty: the boot
// download persona first (or straight the loader), then the loader persona
// against a NOR flash model (loader_persona.h tells what each answers).
//
// Life: construct on a pty of its own or on an existing one (the LPC
// simulator hands its pty over when its "G" starts the downloaded loader),
// start(), stop(); start() may follow again and keeps the flash.
//
// Wire: with paceWire on, bytes are handled and sent no faster than the wire
// would carry them: 10 bits per byte at the rate the program set on its end,
// each direction on its own. Byte counts each way are kept in both modes.
//
// All public members are thread-safe.
#pragma once

#include "tests/sim/loader/loader_persona.h"
#include "tests/sim/pty.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

struct LoaderSimOptions {
    bool paceWire = false;
};

class LoaderSim {
public:
    using Options = LoaderSimOptions;

    explicit LoaderSim(const loader::LoaderConfig& config, Options options = {});
    LoaderSim(Pty& pty, const loader::LoaderConfig& config, Options options = {});
    ~LoaderSim();
    LoaderSim(const LoaderSim&) = delete;
    LoaderSim& operator=(const LoaderSim&) = delete;

    // Starts in the given persona; a loader that starts announces itself
    // when `announce` is set. `pending` are bytes the line already carried.
    bool start(loader::Persona persona, bool announce = false, const std::string& pending = {});
    void stop();
    bool isRunning() const { return running_.load(); }

    Pty& pty() { return *pty_; }
    const std::string& slavePath() const { return pty_->slavePath(); }

    loader::Persona persona() const;
    std::vector<std::uint8_t> flash() const;
    void setFlash(const std::vector<std::uint8_t>& image); // plain overwrite from the start
    std::uint64_t conflicts() const;
    std::vector<std::uint8_t> ram() const;
    void setFaults(const loader::LoaderFaults& faults);
    void inject(const std::string& bytes); // raw bytes to the program, now
    void setEraseTime(std::chrono::milliseconds time); // LoaderConfig::eraseMs

    int downloads() const;
    std::uint32_t lastBlockCount() const;
    std::uint64_t downloadedBytes() const;
    int queries() const;
    std::vector<loader::LoaderCommand> commands() const;
    void clearRecords();
    std::uint64_t bytesReceived() const { return bytesIn_.load(); }
    std::uint64_t bytesSent() const { return bytesOut_.load(); }

private:
    using Clock = std::chrono::steady_clock;
    struct InByte {
        Clock::time_point due;
        std::uint8_t byte;
    };

    void init();
    void run();
    void wake();
    void receive(std::size_t room); // reads at most `room` bytes
    // Under the lock: feeds due input and writes due output; returns when
    // something next falls due.
    Clock::time_point step(Clock::time_point now);
    std::chrono::nanoseconds byteTime() const;

    std::unique_ptr<Pty> ownedPty_;
    Pty* pty_ = nullptr;
    const Options options_;

    mutable std::mutex mu_;
    loader::LoaderPersona persona_;
    std::deque<InByte> inq_;
    std::string outq_;
    Clock::time_point inClock_{};
    Clock::time_point outClock_{};
    bool writeBlocked_ = false;
    Clock::time_point busyUntil_{}; // the loader is at work until then
    std::chrono::nanoseconds byteTime_{0};

    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    int wakeFd_ = -1;
    std::atomic<std::uint64_t> bytesIn_{0};
    std::atomic<std::uint64_t> bytesOut_{0};
};

} // namespace sim
