// The boot loader of a simulated 80C51, XA or LPC900 part: takes the
// host's bytes one at a time and produces the bytes it answers, with no I/O
// of its own (ClassicSim puts it on a pty).
//
// Wire behaviour:
// - Held: everything is ignored until reset() (a part whose loader starts
//   only after the host pulsed its reset line).
// - Autobaud: the sync character sets the loader's rate to the host's and
//   is echoed; other bytes are ignored.
// - Synced: every byte is echoed. The sync character is only echoed; "?"
//   is answered with "?". A ':' starts a record; once its count digits are
//   in, the record is complete at 11 + 2 x count characters. A record with a
//   bad checksum or non-hex digits is answered "X". "$" is answered "$". Reading commands that
//   end with CR LF (dialect 2 blank check, CRC, EEPROM CRC, MISR) are
//   answered in the place of the CR's echo; the LF is ignored.
// - Memory commands (flash, boot vector, status byte, security,
//   configuration, passwords, resets) act on the part's memory as
//   classic_commands.cpp describes; after a reset command the part may run
//   its program and ignore the line until reset() (runAfterReset).
// - Replies: status character then CR LF; value replies two hex digits, '.'
//   and CR LF; the ICP version as four hex digits, '.' and CR LF.
// - Baud reload record: answered, then the loader's rate becomes what its
//   own oscillator makes of the reload value (timer reload for dialect 1:
//   f / ((65536 - r) x D), D 16 at 6 clocks, else 32; dialect 2's baud-rate
//   generator: f / (r + 16)).
#pragma once

#include "tests/sim/classic/classic_memory.h"
#include "tests/sim/classic/classic_readback.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

struct ClassicPersona {
    int dialect = 1;
    char sync = 'U';
    double oscillatorMHz = 11.0592;
    int clocks = 12;
    std::uint8_t queryType = 0x05;
    std::uint8_t writeType = 0x03;
    std::uint8_t baudType = 0x06;
    std::uint8_t oscType = 0x02;
    std::vector<std::uint8_t> signature = {0x15, 0xC2, 0x99};
    bool heldUntilReset = false;
    // The ICP version: "R" answers unknown, "." none, else these two bytes.
    char icpAnswer = '.';
    std::uint8_t icpMajor = 1, icpMinor = 0;
    // Dialect 2: the ISP and IAP versions that answer ":00000001FF".
    std::uint8_t ispVersion = 0x1A, iapVersion = 0x0B;
    // The memory and the settings the part starts with.
    ClassicLayout layout;
    ClassicSettings settings;
    // Dialect 1: the data byte of the erase-all record, or its record type
    // when eraseAllAsType (the 89V51 loaders); dialect 2: its record type.
    std::uint8_t eraseAllCode = 0x07;
    bool eraseAllAsType = false;
    // After a reset command the part runs its program and ignores the line
    // until reset(); false keeps the loader answering (resets still count).
    bool runAfterReset = false;
    // Dialect 2: the first sector-security sub-function.
    std::uint8_t securityBase = 0x08;
};

enum class ClassicFaultKind {
    Status,   // the given status character instead of the reply, with its
              // line end (CR LF; for reading commands with CR LF, ".\r\n";
              // a dialect 2 "R" has CR LF twice)
    Bare,     // the status character alone
    Garbage,  // "#" and CR LF
    Short,    // only the first reply character
    Silence,  // nothing after the echo
    Late,     // the usual reply, held back until the host writes its next
              // byte or releaseLate() (a reply that missed the host's wait)
};

// Strikes the next `times` records whose text starts with `match` (an empty
// match strikes every record).
struct ClassicFault {
    std::string match;
    ClassicFaultKind kind = ClassicFaultKind::Status;
    char status = 'R';
    int times = 1;
};

class ClassicLoader {
public:
    enum class State { Held, Autobaud, Synced, Running };

    explicit ClassicLoader(const ClassicPersona& persona);

    // One byte from the host at the host's rate; replies go to output().
    void feed(std::uint8_t byte, unsigned hostBaud);
    void reset();

    std::string takeOutput();
    State state() const { return state_; }
    // The rate the loader listens at; 0 before autobaud.
    double baud() const { return baud_; }

    void addFault(const ClassicFault& fault) { faults_.push_back(fault); }
    // A held-back reply, now let go (empty when none is held).
    std::string releaseLate();
    std::vector<std::string> records() const { return records_; }
    std::size_t recordCount() const { return records_.size(); }
    // Every flash address written since its last erase.
    std::map<std::uint32_t, std::uint8_t> memory() const { return flash_.written(); }
    const ClassicFlash& flash() const { return flash_; }
    const ClassicSettings& settings() const { return settings_; }
    void setSettings(const ClassicSettings& s);
    bool unlocked() const { return unlocked_; }
    // Reset commands obeyed, and the method of the last (-1 before any).
    int resets() const { return resets_; }
    int lastResetMethod() const { return lastResetMethod_; }
    int oscillatorSent() const { return oscillatorSent_; }
    // Read-back, EEPROM and additional security (classic_readback.h).
    ClassicReadback& readback() { return readback_; }

private:
    void handleRecord();
    void answerRecord();
    bool applyFault();
    void reply(const std::string& text) { out_ += text; }
    void status(char c) { out_ += c; out_ += "\r\n"; }
    void value(std::uint8_t v);
    void dialect1(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data);
    void dialect2(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data);
    void switchBaud(std::uint16_t reload);
    bool crlfCommand(std::uint8_t type, std::size_t count) const;
    std::string crcValue(std::uint8_t type, const std::vector<std::uint8_t>& data) const;
    // Memory commands; false when the record is not one of them.
    bool d1Memory(std::uint8_t type, const std::vector<std::uint8_t>& data);
    bool d2Memory(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data);
    void programData(std::uint32_t address, const std::vector<std::uint8_t>& data);
    void refuse();
    void resetBy(int method, const std::string& answer);
    void eraseAll();
    int sectorSecurityBlock(std::uint8_t sub, bool program) const;

    ClassicPersona p_;
    State state_;
    double baud_ = 0;
    double pendingBaud_ = 0;
    std::string out_;
    std::string record_;
    bool inRecord_ = false;
    bool awaitCr_ = false;
    bool awaitingCrlfReply_ = false;
    std::string crReply_;
    std::vector<ClassicFault> faults_;
    bool lateNext_ = false;
    std::string late_;
    std::vector<std::string> records_;
    ClassicFlash flash_;
    ClassicSettings settings_;
    bool unlocked_ = true;
    int resets_ = 0;
    int lastResetMethod_ = -1;
    std::uint32_t upper_ = 0;
    int oscillatorSent_ = -1;

    // classic_readback_hooks.cpp
    bool readbackRecord(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data);
    void readbackLineEnd(char c);
    std::uint8_t flashByte(std::uint32_t address) const;
    struct PendingRead {
        bool active = false;
        bool blank = false;
        bool wide = false;
        bool sawCr = false;
        std::uint32_t start = 0, end = 0;
        std::string record;
    };
    ClassicReadback readback_;
    PendingRead pendingRead_;
};

} // namespace sim
