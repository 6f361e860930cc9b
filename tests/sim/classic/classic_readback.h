// What the simulated classic boot loader adds for read-back and the device
// settings: the dialect 1 read memory and blank check replies, the MISR,
// the EEPROM with its pages and page security, and EEPROM access.
//
// Wire forms it produces:
// - Read memory: after the echo of the command and its line end, one line
//   per 16 bytes: LF, the address (4 hex digits, 6 above 64 KB), "=", two
//   digits a byte and CR; then ".".
// - Blank check: "." and the line end (CR LF or LF) when the range holds
//   only erased bytes, else the first address that does not and the line end.
// - MISR: 32 hex digits of a fixed mix of the range's bytes, then ".\r\n".
// - EEPROM CRC: the byte sum of the page, as the flash CRC.
// - EEPROM security: a byte per page; bit 0 set refuses the page's erase
//   and writes with "S".
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sim {

using ByteAt = std::function<std::uint8_t(std::uint32_t)>;

std::string readMemoryReply(const ByteAt& byte, std::uint32_t start, std::uint32_t end, bool wide);
// Blank: ".", CR and the line end; else the address and the line end.
std::string blankCheckReply(const ByteAt& byte, std::uint8_t erased, std::uint32_t start, std::uint32_t end,
                            bool wide, const std::string& lineEnd);
// 16 bytes as 32 digits.
std::string misrDigits(const ByteAt& byte, std::uint32_t start, std::uint32_t end);

struct ClassicEeprom {
    std::uint32_t base = 0xFF00;
    std::uint32_t pageSize = 64;
    std::uint32_t pages = 3;
    std::uint8_t securityBase = 0x15;
    std::uint8_t erased = 0xFF;
    bool access = false;
    std::map<std::uint32_t, std::uint8_t> bytes;
    std::vector<std::uint8_t> security = std::vector<std::uint8_t>(3, 0);

    std::uint8_t at(std::uint32_t address) const;
    // The page of an EEPROM address, or -1.
    int pageOf(std::uint32_t address) const;
    // "." or "S".
    char erasePage(std::uint32_t address);
    char write(std::uint32_t address, const std::vector<std::uint8_t>& data);
    std::string crcDigits(std::uint32_t address) const;
};

// The dialect 2 EEPROM a loader keeps besides its flash. handle() answers the records that are
// theirs and leaves all others to the loader.
class ClassicReadback {
public:
    ClassicEeprom eeprom;
    // Dialect 1 read memory and blank check.
    std::uint8_t readType = 0x04;
    // 0 when the part answers MISR reads, else the refusal character.
    char misrRefusal = 0;
    // Every EEPROM command seen while access was off.
    int accessViolations = 0;
    // Dialect 1 clocks bit: read with the read word (0x0700 reads it as bit
    // 0 of the security byte, any other word as bit 7 of its own answer),
    // set with the program word.
    std::uint16_t clocksReadWord = 0x0700;
    std::uint16_t clocksProgramWord = 0x0505;
    bool clocks = false;
    // After a reset command the sync character is answered with its echo
    // and "*", as an updated boot loader does.
    bool starAfterReset = false;

    // A finished record; true when `reply` holds the answer.
    bool handle(std::uint8_t type, const std::vector<std::uint8_t>& data, std::uint8_t queryType,
                std::uint8_t writeType, std::string& reply);
    // The CR LF reading commands of EEPROM CRC: true with the value's digits.
    bool crc(std::uint8_t type, const std::vector<std::uint8_t>& data, std::string& digits) const;
};

} // namespace sim
