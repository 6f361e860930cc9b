// The memory of a simulated classic part: its flash, laid out in the blocks
// and pages of the part's family, and the setting bytes beside it (boot
// vector, status byte, security, configuration, password).
//
// Flash rules:
// - Erasing sets bytes to the part's erased value (0xFF or 0x00).
// - Programming only moves bits away from the erased value: over 0xFF a
//   byte can only lose bits (AND), over 0x00 only gain them (OR). A byte
//   written twice without an erase between holds the mix, as real flash
//   does, so a missing erase shows.
// - The boot loader's own area (guard range) is counted whenever an erase
//   or a write touches it; the operation still happens, as it would on a
//   part that was told to destroy its loader.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

struct ClassicBlock {
    std::uint32_t start;
    std::uint32_t end; // inclusive
};

// The flash blocks of a classic family (0 to 11), the first `count` of
// them (all when count < 0); an empty list for an unknown family.
std::vector<ClassicBlock> classic_family_blocks(int family, int count = -1);

struct ClassicLayout {
    std::uint32_t flashSize = 0x20000;
    std::uint8_t erased = 0xFF;
    // Family 0's blocks unless told; an empty list is one block over the
    // whole flash.
    std::vector<ClassicBlock> blocks = classic_family_blocks(0);
    // 0: the part has no page erase.
    std::uint32_t pageSize = 0;
    // The boot loader's area [guardStart, guardEnd); none when equal.
    std::uint32_t guardStart = 0, guardEnd = 0;
};

class ClassicFlash {
public:
    explicit ClassicFlash(const ClassicLayout& layout);

    const ClassicLayout& layout() const { return layout_; }
    bool inside(std::uint32_t address) const { return address < layout_.flashSize; }
    // False outside the flash (nothing written).
    bool program(std::uint32_t address, std::uint8_t value);
    std::uint8_t at(std::uint32_t address) const;
    bool blank(std::uint32_t address) const { return at(address) == layout_.erased; }

    void eraseAll();
    // The block that holds `address`, or -1.
    int blockOf(std::uint32_t address) const;
    // The block that starts at `start`, or -1.
    int blockStartingAt(std::uint32_t start) const;
    bool eraseBlock(int index);
    // The page that holds `address`; false without page erase or outside.
    bool erasePage(std::uint32_t address);
    int blockCount() const { return static_cast<int>(blocks_.size()); }
    const ClassicBlock& block(int index) const { return blocks_[static_cast<std::size_t>(index)]; }

    // Every address written since its last erase, with its value now.
    std::map<std::uint32_t, std::uint8_t> written() const { return written_; }
    // Erases in order: "all", "block N", "page N".
    const std::vector<std::string>& erasures() const { return erasures_; }
    int guardHits() const { return guardHits_; }

private:
    void eraseRange(std::uint32_t from, std::uint32_t to); // inclusive
    void touch(std::uint32_t from, std::uint32_t to);

    ClassicLayout layout_;
    std::vector<ClassicBlock> blocks_;
    std::vector<std::uint8_t> bytes_;
    std::map<std::uint32_t, std::uint8_t> written_;
    std::vector<std::string> erasures_;
    int guardHits_ = 0;
};

// The setting bytes of a part.
struct ClassicSettings {
    std::uint16_t bootVector = 0x00FC;
    std::uint8_t statusByte = 0x00;
    // Dialect 1: the security byte; `05 ss` sets bit ss.
    std::uint8_t security = 0x00;
    // Dialect 2: three flags a block (bit 0 MOVC disable, bit 1 program
    // disable, bit 2 erase disable).
    std::vector<std::uint8_t> sectorSecurity;
    // Dialect 2: bit 0 the status byte, bits 5 to 7 the additional flags.
    std::uint8_t addlSecurity = 0x00;
    std::uint8_t config[2] = {0x00, 0x00};
    bool configProtected = false;
    std::uint8_t i2cAddress = 0x00;
    // Dialect 1: an empty password leaves the part unlocked; a set one locks
    // it after every reset until it is verified.
    std::vector<std::uint8_t> password;
};

} // namespace sim
