// The LPC parts the simulated boot ROM can be: flash banks and sectors, RAM,
// line ends, transfer mode, and what the ROM reports about itself.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sim::lpc {

// How the part moves its interrupt vectors while the boot ROM runs, which
// decides what the CPU sees at address 0 during ISP.
enum class VectorMap {
    None,    // no remapping: address 0 always shows the flash
    Lpc17xx, // MEMMAP at 0x400FC040: bit 0 clear shows the boot ROM's first 64 bytes
    Lpc1xxx, // SYSMEMREMAP at 0x40048000 (LPC11xx/13xx): 0 boot ROM, 1 RAM, 2 or 3 flash, first 512 bytes
};

enum class Core { M0, M3, M4 };

struct Bank {
    std::uint32_t start = 0;
    std::uint32_t end = 0; // inclusive
    int sectorTable = 0;   // 0..4, see sectorTable()
};

struct Sector {
    std::uint32_t start = 0;
    std::uint32_t size = 0;
};

struct PartInfo {
    std::string name;
    int deviceNumber = 0;              // the ISP library's number for the part
    std::vector<std::uint32_t> partId; // the words "J" answers (two on LPC18xx/43xx)
    std::vector<Bank> banks;
    std::uint32_t ramStart = 0x10000000;
    std::uint32_t ramEnd = 0;          // inclusive
    std::uint32_t romRamSize = 0x300;  // RAM the ROM keeps for itself; CRP1 forbids "W" below it
    bool crlf = false;                 // host lines end with CR LF (the ROM then waits for the LF)
    bool binary = false;               // "W" and "R" move raw bytes instead of UU lines
    VectorMap vectorMap = VectorMap::None;
    Core core = Core::M3;
    std::vector<std::uint32_t> copySizes; // byte counts "C" accepts
    std::uint32_t copyAlign = 256;        // flash address alignment of "C"
    unsigned bootMajor = 0;
    unsigned bootMinor = 0;
    std::array<std::uint32_t, 4> serial{};
    std::uint32_t eepromSize = 0;         // reached only through the ROM's IAP calls
};

constexpr std::uint32_t kBootRomBase = 0x1FFF0000;
constexpr std::uint32_t kBootRomSize = 0x4000;
constexpr std::uint32_t kCrpOffset = 0x2FC;

// The five sector layouts; a bank's sectors are the entries whose start lies
// inside the bank.
std::vector<Sector> sectorTable(int type);
std::vector<Sector> bankSectors(const Bank& bank);

const std::vector<PartInfo>& knownParts();
// By name ("LPC11C24/301", also without the "/301" suffix, any case) or by
// the library's device number ("4022"); null when unknown.
const PartInfo* findPart(const std::string& nameOrNumber);

// The parts tests use most.
const PartInfo& lpc11c24();   // the converter's MCU: 32 KiB flash, 8 KiB RAM, 4 KiB sectors
const PartInfo& lpc1768();    // LPC17xx vector map, 512 KiB in 4 and 32 KiB sectors
const PartInfo& lpc4357();    // two banks, CR LF, two id words
const PartInfo& lpc810();     // binary transfer, CR LF, 1 KiB sectors

} // namespace sim::lpc
