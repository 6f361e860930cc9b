// The ISP command handler of an NXP LPC boot ROM, byte in, bytes out, with
// no I/O or threads of its own (LpcSim drives it from a pty).
//
// Handshake
//   - Autobaud: every byte but '?' is ignored. '?' takes the host's current
//     rate as the ROM's rate and is answered "Synchronized\r\n" (no echo).
//   - The ROM then reads one line. "Synchronized" is answered "OK\r\n" as
//     soon as its CR arrives, on every part, so with echo the host sees
//     "Synchronized\rOK\r\n"; a LF right after that CR is swallowed without
//     echo. '?' bytes before the line's first character are ignored (a
//     host's autobaud loop may send one more). Any other line sends the ROM
//     back to autobaud, silently.
//   - The next line is the oscillator frequency in kHz, decimal digits:
//     echoed, then "OK\r\n", and the ROM is in command mode. Anything else
//     (not only digits) goes back to autobaud, silently. An empty line is
//     skipped.
//
// Lines (handshake lines, commands, UU data, checksums, OK/RESEND)
//   - Echo is on after every reset and ISP entry; "A 0" turns it off (the
//     "A 0" line itself is still echoed), "A 1" on again. While on, every
//     byte received is echoed as it arrives, except ESC, a swallowed LF and
//     the repeated '?' above.
//   - CR ends a line. On parts with CR LF line ends (LPC18xx/43xx/8xx) the
//     ROM then waits for the LF: LF is echoed and ends the line; another
//     byte, or 50 ms without a byte, ends it without one. On CR parts the
//     line ends at the CR and a LF right after it is swallowed without echo
//     (the reply has already gone). A LF on its own also ends a line.
//   - Empty lines are ignored. Lines are kept to 128 characters; a longer
//     command is INVALID_COMMAND.
//   - ESC (0x1B) is not echoed; it drops the line being received and ends a
//     running "W" or "R" transfer (back to command mode, no reply). Inside
//     binary "W" data it is just a data byte.
//   - Every line the ROM itself sends ends with CR LF, on every part.
//
// Commands: decimal numbers, blank-separated, one letter first; unknown
// letters INVALID_COMMAND (1); a missing, extra or non-decimal argument
// PARAM_ERROR (12). Arguments are checked first, then the lock (C, E, G),
// then CRP, then alignment, count and mapping; E checks its sectors before
// CRP, and C tests sector 0 under CRP1 once the address is known. The reply
// is the return code as a decimal line.
//   U 23130        unlocks C, E and G (INVALID_CODE 16 for another code).
//   A 0|1          echo off / on.
//   B baud stop    9600 19200 38400 57600 115200 230400 or 1200..4800, stop
//                  1 or 2 (17 / 18 otherwise). "0" goes at the old rate, then
//                  the ROM's rate is the new one.
//   J              "0", then each part id word in decimal on its own line
//                  (two on LPC18xx/43xx).
//   K              "0", then the minor and then the major boot code version.
//   N              "0", then four serial number words.
//   P a b [bank]   prepares sectors a..b (INVALID_SECTOR 7).
//   E a b [bank]   erases prepared sectors a..b to 0xFF (locked: CMD_LOCKED
//                  15; not prepared: 9). Consumes their preparation.
//   I a b [bank]   blank check through the CPU's view: "0", or "8", then the
//                  offset of the first non-blank word from sector a's start
//                  and that word, in decimal, each on its own line. With CRP
//                  the offset and word are sent as 0.
//   W addr count   "0", then the data into RAM. addr word-aligned (ADDR_ERROR
//                  13), count a multiple of 4 (COUNT_ERROR 6), all in RAM
//                  (ADDR_NOT_MAPPED 14).
//                  UU parts: UU lines (each echoed), a decimal checksum line
//                  (the sum of the block's bytes) after every 20 lines and
//                  after the last; answered "OK" or "RESEND" (the block's data
//                  is then expected again, from the block's start).
//                  Binary parts: exactly count raw bytes follow, no checksum,
//                  no reply.
//   R addr count   "0", then the memory as the CPU sees it (flash, RAM or boot
//                  ROM; ADDR_NOT_MAPPED across regions).
//                  UU parts: 45 bytes per UU line, a checksum line after every
//                  20 lines and after the last; the host's "OK" goes on,
//                  "RESEND" sends the block again, other lines are ignored.
//                  Binary parts: count raw bytes, nothing else.
//   C dst src cnt [bank]
//                  programs flash from RAM: flash &= RAM (bits only clear).
//                  dst aligned to the part's copy alignment (DST_ADDR_ERROR 3),
//                  src word-aligned (SRC_ADDR_ERROR 2), cnt one of the part's
//                  copy sizes (COUNT_ERROR 6), dst in one bank
//                  (DST_ADDR_NOT_MAPPED 5), src in RAM (SRC_ADDR_NOT_MAPPED
//                  4), every touched sector prepared (9). Consumes their
//                  preparation. The optional bank is checked but the address
//                  decides.
//   G addr T [bank]
//                  addr word-aligned (ADDR_ERROR 13) and in flash or RAM
//                  (ADDR_NOT_MAPPED 14); mode 'A' is PARAM_ERROR, as a
//                  Cortex-M has no ARM state. "0" is sent first.
//                  In RAM, a routine of the ISP library (ram_routines.h) is
//                  carried out and the ROM stays in command mode; the vector
//                  table start branches to the entry it loads (back into ISP
//                  when that lies in the boot ROM). Any other code, and any
//                  flash address, runs as the user program: state Running and
//                  a ResetEvent. A routine the core cannot execute (Thumb-2
//                  on a Cortex-M0) or a store to a register the part lacks
//                  hangs the part (state Hung, silent until reset).
//   S bank         two-bank parts: selects the boot bank.
//   M              not simulated: INVALID_COMMAND.
// Two-bank parts take the bank as the last argument of P, E and I (required)
// and of C and G (optional); a bank that is not there is INVALID_FLASH_UNIT
// (20). Single-bank parts take no bank argument.
//
// Code read protection: latched from the boot bank's word at 0x2FC when the
// ROM is entered, not when flash changes. CRP1 (0x12345678): R gives 19, W
// below RAM start + the ROM's RAM gives 19, C into sector 0 gives 19, E of
// sector 0 only together with all sectors. CRP2 (0x87654321): R, W, C and G
// give 19, E only of all sectors. CRP3 (0x43218765): as CRP2 once in ISP; a
// hardware reset with the ISP pin low does not enter ISP while the flash
// holds valid user code (its first eight words sum to 0).
//
// Vectors: on parts with an LPC17xx or LPC11xx/13xx vector map the first 64
// or 512 bytes at address 0 show the boot ROM while the ROM runs, for R, I
// and the vector table start; C and E act on the physical flash.
#pragma once

#include "tests/sim/lpc/lpc_memory.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// What a LineFault does to its line.
enum class LineAction {
    Hold,   // the line, and everything sent after it, waits until let go
    Split,  // the line's first `splitAt` bytes go; the rest, and what follows, waits
    Drop,   // the line is never sent
    Garble, // `garbage` goes out in front of it
};

// One line of the answer to one command line, held back, split, dropped or
// garbled. The lines of an answer: 0 the command's echo, 1 the first line
// the ROM sends for it (the return code), 2, 3, ... every line after that
// (data lines, checksum lines, "OK" / "RESEND", the further lines of J, K, N
// and I) until the next command line. A wire keeps its order: what the ROM
// sends after a held line waits behind it. Held output goes once the ROM
// has received `releaseAfterLines` more lines (any line: a command, a data
// line, "OK"; ESC ends none), or `releaseAfterMs` after it became the next
// to go, whichever comes first; with neither, at LpcSim::releaseHeld().
// An echo fault holds back every command echo until the line's end, then
// lets the others go at once.
struct LineFault {
    std::string command;        // the answer to a command line starting with this ("": any)
    int skip = 0;               // ... after this many such command lines went by
    int line = 1;
    LineAction action = LineAction::Hold;
    bool everyLine = false;     // this line and every later line of the answer
    int releaseAfterLines = 1;
    int releaseAfterMs = 0;
    int splitAt = -1;           // Split: -1 cuts between the CR and the LF
    std::string garbage = "\x80\xFE#";
};

// Faults to inject, each counted down as it strikes. A "line" here is a
// line the ROM itself sends: "Synchronized", "OK", "RESEND", return codes,
// the data lines of J, K, N and I, and the UU and checksum lines of R.
struct LpcFaults {
    int resendWriteChecksums = 0;   // the next N "W" checksum lines get "RESEND", right or not
    int corruptReadChecksums = 0;   // the next N "R" checksum lines are off by one
    bool dropLfAfterSynchronized = false; // "?" is answered "Synchronized\r" (stays on)
    int dropLf = 0;                 // the next N lines end with CR alone
    int strayLf = 0;                // the next N lines have a LF in front
    int garbageLines = 0;           // the next N lines have `garbage` in front
    std::string garbage = "\x80\xFE#";
    int ignoreSyncChars = 0;        // the next N '?' in autobaud get no answer
    int silentCommands = 0;         // the next N command lines are echoed, then ignored
    bool mute = false;              // nothing at all is sent while set
    bool oneIdWord = false;         // "J" gives only the first id word (an LPC18xx/43xx errata)
    std::vector<LineFault> lineFaults; // each strikes once (everyLine: through its answer)
};

// A place in the ROM's output where the bytes after it wait (see LineFault).
struct OutputHold {
    std::size_t at = 0;             // offset into the output taken with it
    std::uint64_t untilLine = 0;    // let go once linesReceived() reaches this (0: not by lines)
    int afterMs = 0;                // let go this long after it became the next to go (0: not by time)
};

// The part left the boot ROM (or was reset). What it starts with:
struct ResetEvent {
    enum class Cause {
        Go,          // "G" to flash, or to RAM code that is no library routine
        VectorTable, // the library's vector table start routine
        Reset,       // LpcSim::reset() found user code to run
    };
    Cause cause = Cause::Go;
    std::uint32_t address = 0; // "G" address, the routine's table, or the boot bank
    std::uint32_t sp = 0;      // loaded stack pointer (0 for Go)
    std::uint32_t entry = 0;   // where execution continues
    bool thumb = true;
};

namespace lpc {

enum class RomState {
    Autobaud, SyncLine, OscLine, Command,
    WriteData, WriteChecksum, BinaryWrite, ReadAck,
    Running, // the user program runs: the ROM reads nothing
    Hung,    // the CPU faulted: input is dropped, nothing is sent
};

enum ReturnCode {
    CMD_SUCCESS = 0, INVALID_COMMAND = 1, SRC_ADDR_ERROR = 2, DST_ADDR_ERROR = 3,
    SRC_ADDR_NOT_MAPPED = 4, DST_ADDR_NOT_MAPPED = 5, COUNT_ERROR = 6, INVALID_SECTOR = 7,
    SECTOR_NOT_BLANK = 8, SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION = 9, COMPARE_ERROR = 10,
    BUSY = 11, PARAM_ERROR = 12, ADDR_ERROR = 13, ADDR_NOT_MAPPED = 14, CMD_LOCKED = 15,
    INVALID_CODE = 16, INVALID_BAUD_RATE = 17, INVALID_STOP_BIT = 18,
    CODE_READ_PROTECTION_ENABLED = 19, INVALID_FLASH_UNIT = 20,
};

class BootRom {
public:
    static constexpr std::size_t kMaxLine = 128;
    static constexpr std::uint32_t kUnlockCode = 23130;
    static constexpr int kLinesPerBlock = 20;

    explicit BootRom(Memory& memory);

    // Fresh ISP session: autobaud, echo on, locked, nothing prepared, boot
    // vectors mapped, CRP latched.
    void enterIsp();
    // Hardware reset: ISP when the pin asks for it (unless CRP3 guards valid
    // code) or when there is no valid user code; else the user program runs
    // and a Reset event is queued.
    void hardReset(bool ispPin);

    void setHostBaud(unsigned baud) { hostBaud_ = baud; }
    void feed(std::uint8_t byte);
    bool lfPending() const { return lfPending_; }
    void lfTimeout(); // the LF after a CR did not come

    // The output so far, with the holds inside it when asked for (else they are dropped).
    std::string takeOutput(std::vector<OutputHold>* holds = nullptr);
    std::uint64_t linesReceived() const { return linesIn_; }
    std::vector<ResetEvent> takeEvents();

    RomState state() const { return state_; }
    unsigned baud() const { return baud_; }
    bool echo() const { return echo_; }
    bool unlocked() const { return unlocked_; }
    int crpLevel() const { return crp_; }
    unsigned oscillatorKHz() const { return oscKHz_; }
    int bootBank() const { return bootBank_; }
    const std::vector<std::string>& commands() const { return commands_; }
    void clearCommands() { commands_.clear(); }
    LpcFaults& faults() { return faults_; }
    const LpcFaults& faults() const { return faults_; }

private:
    // Line layer.
    void lineByte(std::uint8_t b);
    void completeLine();
    void escape();
    void echoByte(std::uint8_t b);
    void sendLine(const std::string& text, bool lf = true);
    // Line faults: the answer to `line` begins.
    void startAnswer(const std::string& line);
    bool strikes(int answerLine) const;
    void output(std::string piece, bool struck);
    void flushEcho(bool struck);
    bool echoFaultArmed() const;
    void reply(int code) { sendLine(std::to_string(code)); }

    // Phases.
    void onSyncLine(const std::string& line);
    void onOscLine(const std::string& line);
    void onWriteLine(const std::string& line);
    void onWriteChecksum(const std::string& line);
    void onReadAck(const std::string& line);
    void sendReadBlock();
    void binaryByte(std::uint8_t b);

    // Commands (isp_commands.cpp).
    void command(const std::string& line);
    int parseArgs(const std::vector<std::string>& tok, std::size_t fixed, std::size_t optional,
                  std::vector<std::uint32_t>& out) const;
    int sectorRange(const std::vector<std::uint32_t>& a, int* bank) const;
    // P, E and I: a sector range, and the bank on two-bank parts.
    int parseSectorArgs(const std::vector<std::string>& tok, std::vector<std::uint32_t>& a) const;
    // parseSectorArgs, then sectorRange.
    int sectorArgs(const std::vector<std::string>& tok, std::vector<std::uint32_t>& a, int* bank) const;
    void cmdWrite(const std::vector<std::string>& tok);
    void cmdRead(const std::vector<std::string>& tok);
    int cmdPrepare(const std::vector<std::string>& tok);
    int cmdErase(const std::vector<std::string>& tok);
    void cmdBlankCheck(const std::vector<std::string>& tok);
    int cmdCopy(const std::vector<std::string>& tok);
    void cmdGo(const std::vector<std::string>& tok);
    void cmdBaud(const std::vector<std::string>& tok);
    void runRam(std::uint32_t address, bool thumb);
    void startUser(ResetEvent::Cause cause, std::uint32_t address, std::uint32_t sp,
                   std::uint32_t entry, bool thumb);

    Memory& mem_;
    RomState state_ = RomState::Autobaud;
    LpcFaults faults_;
    std::string out_;
    std::vector<OutputHold> holds_;
    std::string echoBuf_;           // a command's echo, while an echo fault may strike it
    bool hasActive_ = false;        // a line fault strikes the current answer
    LineFault active_;
    int answerLine_ = 0;
    std::uint64_t linesIn_ = 0;
    std::vector<ResetEvent> events_;
    std::vector<std::string> commands_;

    unsigned hostBaud_ = 0;
    unsigned baud_ = 0;
    unsigned oscKHz_ = 0;
    bool echo_ = true;
    bool unlocked_ = false;
    int crp_ = 0;
    int bootBank_ = 0;
    std::vector<std::vector<bool>> prepared_;

    std::string line_;
    bool overflow_ = false;
    bool lfPending_ = false;
    bool swallowLf_ = false;

    // Transfers in progress.
    std::uint32_t xferAddr_ = 0;      // next byte
    std::uint32_t xferLeft_ = 0;      // bytes still to come or go
    std::uint32_t blockStart_ = 0;    // first byte of the current block
    std::uint32_t blockBytes_ = 0;    // bytes of the current block so far / sent
    std::uint32_t blockSum_ = 0;
    int blockLines_ = 0;
};

} // namespace lpc
} // namespace sim
