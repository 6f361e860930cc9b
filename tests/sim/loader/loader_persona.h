// The part seen through its serial line while a RAM flash loader is being
// started and run, byte in, bytes out, with no I/O or threads of its own
// (LoaderSim drives it from a pty).
//
// Boot persona (the LPC18xx UART boot download):
//   - '?' is answered "OK\r\n"; other bytes are ignored.
//   - Then a 16-byte image header: 0xDA 0x3F, the block count (16 bits,
//     little-endian), eight 0x00, four 0xFF. A header that does not match
//     sends the part back to waiting for '?', silently.
//   - Then block count x 512 bytes, stored into RAM from its start. When the
//     last one is in, the downloaded loader starts: it sends "KELDMARVOS\r\n"
//     and the loader persona takes over. A header with 0 blocks starts
//     nothing.
//
// Loader persona (the flash loader itself):
//   - '?' outside a command is answered "KELDMARVOS\r\n".
//   - A byte 0x00, 0x01 or 0x02 starts a 16-byte command block; other bytes
//     outside a block are ignored.
//     0x01 erase all: "OK\r\n" (both erases take LoaderConfig::eraseMs).
//     0x02 erase block (address at bytes 1-4): "OK\r\n", or "ERROR\r\n" when
//          the address is no block start inside the flash.
//     0x00 program: pieces (bytes 1-2) of the loader's chunk size follow,
//          each answered "PROGOK\r\n"; after the last piece "OK\r\n" when the
//          data's sum plus the checksum field (bytes 3-6) is 0 and the range
//          (address at bytes 7-10) lies in the flash, else "ERROR\r\n"
//          (nothing is programmed then). A count of 0 is "ERROR\r\n" at once.
//     Every other first byte is no command; a block that starts with an
//     unknown byte is never collected.
//   - Every line ends with CR LF unless a fault says otherwise.
//   - Faults (LoaderFaults) shape replies, hold one back past the next
//     line or lose it, or lose a byte of a query or a name on the line.
#pragma once

#include "tests/sim/loader/nor_flash.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim::loader {

struct LoaderConfig {
    std::uint32_t ramStart = 0x10000000;
    std::uint32_t ramSize = 0x18000;
    std::uint32_t flashStart = 0x80000000;
    std::uint32_t flashSize = 0x10000;
    std::uint32_t eraseBlockSize = 0x1000;
    std::uint8_t erasedByte = 0xFF;
    std::uint32_t chunkSize = 256;
    // An erase keeps the loader busy this long: its reply, and the handling
    // of whatever comes meanwhile, wait until it is done.
    std::uint32_t eraseMs = 0;
};

// Faults, each counted down as it strikes.
struct LoaderFaults {
    int errorReplies = 0;    // the next N command replies ("OK", "PROGOK") are "ERROR"
    int dropLf = 0;          // the next N lines end with CR alone
    int endlessLines = 0;    // the next N lines are replaced by a line that never ends
    bool mute = false;       // nothing at all is sent while set
    int lateReplies = 0;     // the next N command replies ("OK", "ERROR" that end a
                             // command) leave only after the line the loader sends next
    int lostQueries = 0;     // the next N queries are lost on their way in
    int spoiledNames = 0;    // the next N names lose one byte on their way out
    int noisyReplies = 0;    // the next N command replies come after a line of noise
    int lostReplies = 0;     // the next N command replies ("OK", "ERROR" that end a
                             // command) are lost on their way out
};

struct LoaderCommand {
    std::uint8_t op = 0;       // 0 program, 1 erase all, 2 erase block
    std::uint32_t address = 0;
    std::uint32_t pieces = 0;  // program only
    bool accepted = false;
};

enum class Persona { BootRom, Loader };

class LoaderPersona {
public:
    static constexpr std::size_t kBlock = 512;
    static constexpr std::size_t kEndlessLength = 64 * 1024;

    explicit LoaderPersona(const LoaderConfig& config);

    void begin(Persona persona); // fresh state in the given persona
    void feed(std::uint8_t byte);
    std::string takeOutput();
    // The work the last byte started, in ms (0 when none); once taken, 0.
    std::uint32_t takeBusyMs();
    void setEraseMs(std::uint32_t ms) { config_.eraseMs = ms; }

    Persona persona() const { return persona_; }
    const LoaderConfig& config() const { return config_; }
    NorFlash& flash() { return flash_; }
    const NorFlash& flash() const { return flash_; }
    const std::vector<std::uint8_t>& ram() const { return ram_; }
    LoaderFaults& faults() { return faults_; }

    // Records.
    int downloads() const { return downloads_; }                 // images taken by the boot persona
    std::uint32_t lastBlockCount() const { return lastBlocks_; } // from the last header
    std::uint64_t downloadedBytes() const { return downloadedBytes_; }
    int queries() const { return queries_; }
    const std::vector<LoaderCommand>& commands() const { return commands_; }
    void clearRecords();

private:
    enum class Phase { Query, Header, Blocks, Idle, Block, Data };

    void sendLine(const std::string& text);
    void sendReply(const std::string& text); // the reply that ends a command
    void emitLine(const std::string& text);
    void bootByte(std::uint8_t b);
    void loaderByte(std::uint8_t b);
    void runBlock();
    void finishProgram();
    bool replyError(); // a fault turns the next command reply into ERROR

    LoaderConfig config_;
    NorFlash flash_;
    std::vector<std::uint8_t> ram_;
    LoaderFaults faults_;
    Persona persona_ = Persona::BootRom;
    Phase phase_ = Phase::Query;
    std::string out_;
    std::uint32_t busyMs_ = 0;
    std::string held_; // a late reply, sent after the next line

    std::vector<std::uint8_t> block_;
    std::uint32_t blocksLeft_ = 0;
    std::uint32_t ramPos_ = 0;

    LoaderCommand program_;
    std::vector<std::uint8_t> data_;
    std::uint32_t piecesLeft_ = 0;
    std::uint32_t checksum_ = 0;

    int downloads_ = 0;
    std::uint32_t lastBlocks_ = 0;
    std::uint64_t downloadedBytes_ = 0;
    int queries_ = 0;
    std::vector<LoaderCommand> commands_;
};

} // namespace sim::loader
