// A simulated serial-to-CAN converter on one end of a pty: the program under
// test opens portPath() as its serial port. What it answers to each command
// is listed in converter_device.h.
//
// It answers only while the program's end of the line runs at the rate the
// converter listens at (pty baud rate): 115200 in setup mode, that of its own
// serial configuration in active mode; a real converter would see only noise
// otherwise. Every line is logged all the same. It can be told to stay silent, to answer garbage, to drop or delay
// replies, and to flood the line with received CAN traffic.
//
// "FU" is answered with "OK\r"; once that has left, onFirmwareUpgrade() runs
// on the simulator's thread. By default it calls the handler given to
// setFirmwareUpgradeHandler(), which may handOver() the pty to another
// responder (a boot ROM) that then serves pty() from its own thread.
//
// All accessors are thread-safe.
#pragma once

#include "tests/sim/converter/converter_device.h"
#include "tests/sim/pty.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

class ConverterSim {
public:
    // Sent instead of every reply while garbage is on: matches no reply.
    static const std::string kGarbage;
    // The received frame that flooding repeats (a standard data frame).
    static const std::string kFloodLine;
    // Hang guard of the wait helpers.
    static constexpr int kDefaultWaitMs = 10000;

    explicit ConverterSim(ConverterMode mode = ConverterMode::Setup, ConverterConfig config = {});
    virtual ~ConverterSim();
    ConverterSim(const ConverterSim&) = delete;
    ConverterSim& operator=(const ConverterSim&) = delete;

    // Starts and stops the simulator's thread; false if the pty failed.
    bool start();
    void stop();

    const std::string& portPath() const { return pty_.slavePath(); }
    Pty& pty() { return pty_; }

    // Device state.
    void setMode(ConverterMode mode);
    ConverterMode mode() const;
    void setConfig(const ConverterConfig& config); // working, saved and line at once
    ConverterConfig config() const;                // as the read commands report it
    ConverterConfig savedConfig() const;
    void powerCycle();

    // Misbehaviour.
    void setSilent(bool on);          // reads and logs, answers nothing
    void setGarbage(bool on);         // answers kGarbage instead of each reply
    void dropReplies(int count);      // the next `count` replies are not sent
    void setReplyDelay(int ms);       // every reply leaves this much later
    void setFlood(bool on, int intervalMs = 1); // kFloodLine every intervalMs
    void inject(const std::string& bytes);      // raw bytes to the program, now (any thread)

    // Records.
    std::vector<std::string> lines() const;  // every input, without its CR, in order
    std::vector<std::string> frames() const; // accepted frame lines
    std::string received() const;            // every byte received, raw
    std::size_t lineCount() const;
    std::size_t frameCount() const;
    int probeCount() const;
    int firmwareUpgradeCount() const;
    void clearRecords();

    // Wait helpers; false after timeoutMs.
    bool waitForLine(const std::string& line, int timeoutMs = kDefaultWaitMs);
    bool waitForLineCount(std::size_t count, int timeoutMs = kDefaultWaitMs);
    bool waitForFrames(std::size_t count, int timeoutMs = kDefaultWaitMs);
    bool waitForProbes(int count, int timeoutMs = kDefaultWaitMs);
    bool waitForReceived(std::size_t bytes, int timeoutMs = kDefaultWaitMs);

    // Replies wait while held (inject() still goes out at once); releasing
    // sends those that are due.
    void holdReplies(bool on);

    // Waits until `request`, sent after the request of the previous call,
    // has come in and been dealt with: its lines logged and observed, and
    // every reply due so far written, unless replies are held. True when
    // the simulator wrote to the line (a reply, or an injection from the
    // observer) after the request began to arrive; false when it did not,
    // was handed over or stopped, or after timeoutMs.
    bool awaitAnswer(const std::string& request, int timeoutMs = kDefaultWaitMs);

    // The running simulator that serves the pty at `slavePath`, or nullptr.
    // Only for the thread that starts and stops simulators.
    static ConverterSim* serving(const std::string& slavePath);

    // Called for every input line as it is logged (on the simulator's thread).
    void setLineObserver(std::function<void(const ConverterEvent&)> observer);

    // Firmware upgrade hook and hand-over of the line.
    void setFirmwareUpgradeHandler(std::function<void(ConverterSim&)> handler);
    void handOver(); // the simulator stops reading and writing the pty
    void takeBack(); // ... and serves it again
    bool handedOver() const;

protected:
    // Runs on the simulator's thread. A subclass that overrides it must call
    // stop() in its own destructor.
    virtual void onFirmwareUpgrade();

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        std::string bytes;
        bool thenUpgrade = false;
    };

    void loop();
    void takeIn(const std::string& bytes);
    void sendDue();
    void flood();

    Pty pty_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> handedOver_{false};
    bool parked_ = false; // the loop has seen the hand-over (under mutex_)

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    ConverterDevice device_;
    bool silent_ = false;
    bool garbage_ = false;
    int dropCount_ = 0;
    int replyDelayMs_ = 0;
    bool flooding_ = false;
    int floodIntervalMs_ = 1;
    Clock::time_point nextFlood_{};
    std::deque<Pending> pending_;
    std::vector<std::string> lines_;
    std::vector<std::string> frames_;
    std::string received_;
    bool takingIn_ = false;      // bytes read but not yet dealt with
    bool writing_ = false;       // a reply taken from pending_, not yet written
    bool held_ = false;
    std::size_t answerMark_ = 0; // received_ up to here was answered
    std::size_t lastWriteAt_ = 0; // received_.size() when the line was last written
    int probes_ = 0;
    int upgrades_ = 0;
    std::function<void(const ConverterEvent&)> observer_;
    std::function<void(ConverterSim&)> upgradeHandler_;
};

} // namespace sim
