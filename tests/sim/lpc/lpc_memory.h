// The memory of a simulated LPC part: flash banks with real flash semantics
// (erased bytes read 0xFF, programming can only clear bits), RAM, the boot
// ROM, the optional EEPROM, and the vector remapping that decides what the
// CPU sees at address 0 while the boot ROM runs. Not thread-safe: the
// simulator guards it with its lock.
#pragma once

#include "tests/sim/lpc/lpc_parts.h"

#include <cstdint>
#include <vector>

namespace sim::lpc {

enum class Region { Unmapped, Flash, Ram, BootRom };

class Memory {
public:
    explicit Memory(const PartInfo& part);

    const PartInfo& part() const { return part_; }
    int bankCount() const { return static_cast<int>(part_.banks.size()); }
    const std::vector<Sector>& sectors(int bank) const { return sectors_[bank]; }
    int sectorCount(int bank) const { return static_cast<int>(sectors_[bank].size()); }

    std::vector<std::uint8_t>& flash(int bank) { return flash_[bank]; }
    const std::vector<std::uint8_t>& flash(int bank) const { return flash_[bank]; }
    std::vector<std::uint8_t>& ram() { return ram_; }
    const std::vector<std::uint8_t>& ram() const { return ram_; }
    std::vector<std::uint8_t>& eeprom() { return eeprom_; }
    const std::vector<std::uint8_t>& eeprom() const { return eeprom_; }

    // The region that holds all of address..address+count-1 (count 0 counts
    // as 1), with the flash bank when it is flash.
    Region region(std::uint32_t address, std::uint64_t count, int* bank = nullptr) const;

    // As the CPU reads it: the remapped vectors at address 0 included;
    // unmapped addresses read 0.
    std::uint8_t cpuRead(std::uint32_t address) const;
    std::uint32_t cpuRead32(std::uint32_t address) const; // little-endian
    // Physical contents, no remapping (flash, RAM, boot ROM; else 0).
    std::uint8_t physRead(std::uint32_t address) const;

    void writeRam(std::uint32_t address, std::uint8_t value); // ignored outside RAM

    // Remapping register of the part (MEMMAP or SYSMEMREMAP). Writing an
    // address the part has no register at returns false (the simulated CPU
    // then takes a fault).
    bool writeRegister(std::uint32_t address, std::uint32_t value);
    void resetRemap() { remap_ = 0; }
    std::uint32_t remapRegister() const { return remap_; }

    // Sector number of a flash address in its bank, -1 outside.
    int sectorAt(int bank, std::uint32_t address) const;
    void erase(int bank, int first, int last);
    // AND-programs the bytes into flash at a bank-relative offset.
    void program(int bank, std::uint32_t offset, const std::uint8_t* data, std::size_t count);
    // First non-blank word of the sectors as the CPU sees them; true if blank.
    bool blank(int bank, int first, int last, std::uint32_t* offset, std::uint32_t* word) const;

    // The boot bank's code read protection word and whether its first eight
    // vector words sum to zero (valid user code).
    std::uint32_t crpWord(int bank = 0) const;
    bool validUserCode(int bank = 0) const;

private:
    std::uint32_t remapSize() const;

    PartInfo part_;
    std::vector<std::vector<Sector>> sectors_;
    std::vector<std::vector<std::uint8_t>> flash_;
    std::vector<std::uint8_t> ram_;
    std::vector<std::uint8_t> eeprom_;
    std::uint32_t remap_ = 0;
};

// CRP level of a protection word: 1, 2, 3, or 0 for any other value.
int crpLevelOf(std::uint32_t word);
constexpr std::uint32_t kCrp1 = 0x12345678;
constexpr std::uint32_t kCrp2 = 0x87654321;
constexpr std::uint32_t kCrp3 = 0x43218765;

} // namespace sim::lpc
