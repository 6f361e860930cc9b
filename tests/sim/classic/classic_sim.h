// A simulated classic part (80C51, XA, LPC900 boot loader) on one end of a
// pty: the program under test opens slavePath() as its serial port. What the
// loader answers is described in classic_loader.h. The host's rate is read
// from the pty with tcgetattr as each byte arrives, so autobaud and the baud
// switch see what the program set. All public members are thread-safe.
#pragma once

#include "tests/sim/classic/classic_line_shaper.h"
#include "tests/sim/classic/classic_loader.h"
#include "tests/sim/pty.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <deque>

namespace sim {

class ClassicSim {
public:
    explicit ClassicSim(const ClassicPersona& persona = {});
    ~ClassicSim();
    ClassicSim(const ClassicSim&) = delete;
    ClassicSim& operator=(const ClassicSim&) = delete;

    // Carry bytes no faster than the wire at the host's rate would, each
    // direction on its own (full duplex). Called before start() it chooses
    // the paced loop (kept once chosen); every call switches the pace.
    void setPaceWire(bool on)
    {
        pace_ = on;
        if (!thread_.joinable())
            pacedLoop_ = pacedLoop_ || on;
    }
    bool start();
    void stop();

    Pty& pty() { return pty_; }
    const std::string& slavePath() const { return pty_.slavePath(); }

    // The part's reset line pulsed: a held loader starts its autobaud.
    void reset();
    ClassicLoader::State state() const;
    double baud() const;
    void addFault(const ClassicFault& fault);
    // Holds back, splits or drops a line of an answer (classic_line_shaper.h).
    void addLineFault(const ClassicLineFault& fault);
    // Puts a held-back (Late) reply on the pty; false when none was held.
    bool releaseLate();
    std::vector<std::string> records() const;
    std::map<std::uint32_t, std::uint8_t> memory() const;
    int oscillatorSent() const;
    // Snapshots of the part's memory and settings.
    ClassicFlash flash() const;
    ClassicSettings settings() const;
    void setSettings(const ClassicSettings& s);
    bool unlocked() const;
    int resets() const;
    int lastResetMethod() const;
    // Reads or changes the read-back and EEPROM state under the lock.
    template <typename F>
    void withReadback(F f)
    {
        std::lock_guard<std::mutex> lock(mu_);
        f(loader_.readback());
    }
    // Bytes the host wrote, all of them, autobaud included.
    std::uint64_t bytesReceived() const { return bytesIn_.load(); }
    std::uint64_t bytesSent() const { return bytesOut_.load(); }
    // Waits until at least `count` bytes came (false after timeoutMs).
    bool waitForBytes(std::uint64_t count, int timeoutMs) const;
    // Waits until the part has taken `record` and written all it said in
    // reply onto the pty (false after timeoutMs). Taken is not answered:
    // the reply leaves after the part lets go of its lock.
    bool waitForAnswer(const std::string& record, int timeoutMs) const;

private:
    void run();
    void runPaced();
    using Clock = std::chrono::steady_clock;
    // The loader's output cut by the line faults, waiting its turn.
    struct Queued {
        OutSegment segment;
        Clock::time_point queuedAt;
    };
    // Under the lock: the loader's output for the shaper's queue.
    void queueOutput(const std::string& out);
    // The host wrote: pieces held for that may go.
    void hostWrote();
    // The queued text whose time has come, taken off the queue; `next` is
    // when the next piece is due (unchanged when none waits on a time).
    std::string dueOutput(Clock::time_point now, Clock::time_point& next);

    Pty pty_;
    mutable std::mutex mu_;
    ClassicLoader loader_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> bytesIn_{0};
    std::atomic<std::uint64_t> bytesOut_{0};
    // Records whose replies are all on the pty.
    std::atomic<std::size_t> recordsAnswered_{0};
    std::atomic<bool> pace_{false};
    bool pacedLoop_ = false;
    ClassicLineShaper shaper_;
    std::deque<Queued> queue_;
    Clock::time_point lastOut_{};
    bool hostWrote_ = false;
};

} // namespace sim
