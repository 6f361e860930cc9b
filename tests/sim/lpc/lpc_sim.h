// A simulated NXP LPC boot ROM on one end of a pty: the program under test
// opens slavePath() as its serial port and talks NXP's ISP protocol to it.
// What the ROM answers, byte for byte, is described in boot_rom.h; the parts
// it can be are in lpc_parts.h.
//
// Life: construct on a pty of its own or on an existing one (the converter
// simulator hands its pty over after "FU"), load flash if wanted, start().
// start() enters ISP (autobaud, fresh session) the way a reset with the ISP
// pin low or a firmware's reinvoke-ISP call does; stop() ends the thread and
// keeps flash, RAM and state; start() may follow again. The flash persists
// for the object's life.
//
// Leaving the ROM: a "G" into user code (or the library's vector table start
// routine) puts the part into state Running. From then on the simulator
// reads nothing from the pty, so another responder can serve it; bytes it had
// already read but not handled are kept for takeUnread(). Each such start is
// recorded (resets()) and passed to the onReset hook once the ROM's last
// reply has gone out. reset() models a hardware reset (the DTR line a pty
// cannot carry): ISP entry when the pin asks for it, else the user program
// runs if the flash holds valid code (a Reset event), else the ROM enters ISP.
//
// Hooks run on the simulator's thread for "G" and on the caller's thread for
// reset(); they may call every accessor and stop() (which then only asks the
// thread to end), but must not destroy the simulator.
//
// Wire: with checkBaud on, bytes that arrive while the host's rate (read
// from the pty with tcgetattr) differs from the ROM's rate are lost, as
// noise would be; the ROM's rate is the host's at the last '?' and changes
// with "B" after its "0" has been queued. With paceWire on, bytes are handled
// and sent no faster than the wire would carry them: 10 bits per byte at the
// ROM's rate as it stands when the byte is handled or leaves (the host's
// rate before autobaud), each direction on its own.
// Byte counts each way are kept in both modes.
//
// All public members are thread-safe.
#pragma once

#include "tests/sim/lpc/boot_rom.h"
#include "tests/sim/lpc/lpc_memory.h"
#include "tests/sim/lpc/lpc_parts.h"
#include "tests/sim/pty.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

struct LpcSimOptions {
    bool checkBaud = false;
    bool paceWire = false;
};

class LpcSim {
public:
    using Options = LpcSimOptions;
    using ResetHook = std::function<void(const ResetEvent&)>;
    static constexpr int kDefaultWaitMs = 10000;

    explicit LpcSim(const lpc::PartInfo& part, Options options = {});
    LpcSim(Pty& pty, const lpc::PartInfo& part, Options options = {});
    ~LpcSim();
    LpcSim(const LpcSim&) = delete;
    LpcSim& operator=(const LpcSim&) = delete;

    bool start(); // false when the pty is unusable
    void stop();
    bool isRunning() const;

    Pty& pty() { return *pty_; }
    const std::string& slavePath() const { return pty_->slavePath(); }
    const lpc::PartInfo& part() const { return part_; }

    // The part.
    void reset(bool ispPin = true);
    void enterIsp();
    lpc::RomState state() const;
    bool waitForState(lpc::RomState state, int timeoutMs = kDefaultWaitMs) const;
    unsigned baud() const;
    bool echo() const;
    bool unlocked() const;
    int crpLevel() const;
    unsigned oscillatorKHz() const;
    std::uint32_t remapRegister() const;

    // Memory. flash() is the bank from its start, physical contents.
    std::vector<std::uint8_t> flash(int bank = 0) const;
    void setFlash(const std::vector<std::uint8_t>& image, int bank = 0); // the rest erased
    void writeFlash(std::uint32_t address, const std::vector<std::uint8_t>& bytes); // plain overwrite
    std::vector<std::uint8_t> ram() const;
    void writeRam(std::uint32_t address, const std::vector<std::uint8_t>& bytes);
    std::vector<std::uint8_t> readMemory(std::uint32_t address, std::size_t count) const; // physical
    std::vector<std::uint8_t> eeprom() const;

    // Faults (see LpcFaults); counters count down as they strike.
    void setFaults(const LpcFaults& faults);
    LpcFaults faults() const;
    void inject(const std::string& bytes); // raw bytes to the host, now
    // Lets all output held back by line faults go now.
    void releaseHeld();
    // Bytes of output waiting behind a held line.
    std::size_t heldBytes() const;

    void setOnReset(ResetHook hook);
    std::vector<ResetEvent> resets() const;

    // Records.
    std::vector<std::string> commands() const; // command lines, without terminator
    void clearRecords();                       // commands and resets
    std::uint64_t bytesReceived() const { return bytesIn_.load(); }
    std::uint64_t bytesSent() const { return bytesOut_.load(); }
    std::string takeUnread();

private:
    using Clock = std::chrono::steady_clock;
    struct InByte {
        Clock::time_point due;
        std::uint8_t byte;
    };

    void init();
    void run();
    void wake();
    // Under the lock: feeds due input, runs the LF timer, moves output and
    // events; returns the next time something falls due.
    Clock::time_point step(Clock::time_point now, std::vector<ResetEvent>& fire);
    void writeDue(Clock::time_point now, Clock::time_point& next);
    void receive();
    std::chrono::nanoseconds byteTime() const;
    void noteState();

    std::unique_ptr<Pty> ownedPty_;
    Pty* pty_ = nullptr;
    const lpc::PartInfo part_;
    const Options options_;

    mutable std::mutex mu_;
    mutable std::condition_variable stateCv_;
    lpc::Memory memory_;
    lpc::BootRom rom_;
    std::deque<InByte> inq_;
    std::string outq_;
    struct Held {
        OutputHold hold;
        bool armed = false;
        Clock::time_point due{};
    };
    std::deque<Held> holds_; // ascending offsets into outq_
    std::string unread_;
    Clock::time_point inClock_{};
    Clock::time_point outClock_{};
    bool outIdle_ = true; // the output queue was empty when last looked at
    bool lfArmed_ = false;
    Clock::time_point lfDeadline_{};
    bool writeBlocked_ = false;
    lpc::RomState lastState_ = lpc::RomState::Autobaud;
    std::vector<ResetEvent> resets_;
    ResetHook onReset_;

    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    int wakeFd_ = -1;
    std::atomic<std::uint64_t> bytesIn_{0};
    std::atomic<std::uint64_t> bytesOut_{0};
};

} // namespace sim
