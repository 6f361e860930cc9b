// What a simulated serial-to-CAN converter makes of the bytes it receives,
// without any I/O or threads: it splits them into lines, keeps the stored
// configuration and decides each answer. ConverterSim puts it on a pty.
//
// Lines end with a carriage return; line feeds before a line are skipped and
// empty lines ignored. Two inputs are taken without a carriage return: four
// question marks (the end of the program's probe "\r\n\r\n\r????") and a
// lone "@" or "#" (the program's hidden test steps).
//
// Answers, by mode:
//   probe "????"                 -> "TELQO_setup\r" or "TELQO_active\r" (either mode)
//   "@", "#"                     -> nothing (logged only)
// setup mode:
//   "RS"  -> flow, 8, parity, stop letters, baud in decimal, CR: "N8N1115200\r"
//   "RC"  -> letter, rate, id, mask, flags: "A,500,000,000,0\r" / "B,125,00000000,1FFFFFFF,3\r"
//            (id and mask as 3 or 8 upper-case hex digits, flags bit 0 DAR, bit 1 ABOR)
//   "RH"  -> the four header characters and CR: "tTeE\r"
//   "FV"  -> the firmware version line, "V2.01\r" unless set otherwise
//   "WS<flow>8<parity><stop><baud>"            -> "OK\r", stored
//   "WC<A|B>,<rate>,<id>,<mask>,<flags>"       -> "OK\r", stored
//   "WH<4 characters>" (any bytes, zero too)   -> "OK\r", stored
//   "SV"  -> "OK\r": the written configuration becomes the saved one
//   "FU"  -> "OK\r", then the converter enters its boot loader (see ConverterSim)
//   a malformed write or any other line, frame lines too -> "ERROR\r"
// active mode:
//   a frame line (header character of its type, 3 or 8 hex digits, length
//   0 to 8, two hex digits per data byte for data frames) -> accepted and
//   counted, no answer; a malformed frame line or a setup command -> ignored.
//
// Setup mode always talks 115200 8N1, whatever the serial settings say: they
// are those of active mode. Written settings are answered by the next read at
// once, but the active-mode line keeps its rate until the saved configuration
// takes effect at the next power-up (powerCycle()); unsaved writes are lost
// then.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

enum class ConverterMode { Setup, Active };

struct ConverterSerialSettings {
    unsigned baud = 115200;
    char flow = 'N';     // N none, H hardware
    char parity = 'N';   // N, E, O, S, M
    char stopBits = '1'; // 1 or 2
};

struct ConverterCanSettings {
    unsigned rate = 500;   // kbit/s
    char idType = 'A';     // A: 11-bit identifiers, B: 29-bit
    uint32_t id = 0;
    uint32_t mask = 0;
    unsigned flags = 0;    // bit 0 DAR, bit 1 ABOR
};

struct ConverterConfig {
    ConverterSerialSettings serial;
    ConverterCanSettings can;
    std::array<char, 4> headers{{'t', 'T', 'e', 'E'}};
    std::string firmwareVersion = "V2.01\r";
};

// What one input meant.
struct ConverterEvent {
    enum class Kind {
        Probe,           // "????"
        TestStep,        // "@" or "#"
        Command,         // a setup command that was carried out
        Rejected,        // a setup-mode line answered with "ERROR\r"
        Frame,           // an accepted frame line (active mode)
        Ignored,         // a line the mode does not take
        FirmwareUpgrade, // "FU": answered, then the boot loader starts
    };
    Kind kind = Kind::Ignored;
    std::string line;  // the input without its carriage return
    std::string reply; // what the converter sends back (maybe empty)
};

class ConverterDevice {
public:
    explicit ConverterDevice(ConverterConfig config = {}, ConverterMode mode = ConverterMode::Setup);

    // Takes received bytes; returns what each completed input meant. Bytes
    // that are not `understood` (the line runs at another rate) are split
    // and reported as Ignored, without answer and without effect.
    std::vector<ConverterEvent> feed(const std::string& bytes, bool understood = true);

    ConverterMode mode() const { return mode_; }
    void setMode(ConverterMode mode) { mode_ = mode; }

    // The configuration as the read commands report it.
    const ConverterConfig& config() const { return working_; }
    // The configuration last saved with "SV".
    const ConverterConfig& saved() const { return saved_; }
    // The serial settings the line runs at now in active mode.
    const ConverterSerialSettings& line() const { return line_; }
    // The rate the converter listens at now: fixed in setup mode, the line's
    // in active mode.
    static constexpr unsigned kSetupBaud = 115200;
    unsigned listeningBaud() const { return mode_ == ConverterMode::Setup ? kSetupBaud : line_.baud; }
    // Sets the working, saved and line configuration at once.
    void setConfig(const ConverterConfig& config);
    // Power-up: the saved configuration becomes the working one and the line's.
    void powerCycle();

    // Reply texts, also used by tests to know what to expect.
    static std::string serialReply(const ConverterSerialSettings& s);
    static std::string canReply(const ConverterCanSettings& c);
    static std::string modeReply(ConverterMode mode);

private:
    ConverterEvent handleLine(const std::string& line);
    ConverterEvent handleSetup(const std::string& line);
    ConverterEvent handleActive(const std::string& line);

    ConverterConfig working_;
    ConverterConfig saved_;
    ConverterSerialSettings line_;
    ConverterMode mode_;
    std::string partial_;
};

} // namespace sim
