// An external NOR flash as a flash loader sees it: erase sets whole blocks
// to the erased value, programming can only move bits away from it (an AND
// for erased 0xFF), so data written over an unerased cell shows as wrong.
#pragma once

#include <cstdint>
#include <vector>

namespace sim::loader {

class NorFlash {
public:
    NorFlash(std::uint32_t start, std::uint32_t size, std::uint32_t blockSize, std::uint8_t erased);

    std::uint32_t start() const { return start_; }
    std::uint32_t size() const { return static_cast<std::uint32_t>(bytes_.size()); }
    std::uint32_t blockSize() const { return blockSize_; }
    std::uint8_t erased() const { return erased_; }

    // The block must start at a block boundary inside the flash.
    bool eraseBlock(std::uint32_t address);
    void eraseAll();
    // False when the range leaves the flash; nothing is written then.
    bool program(std::uint32_t address, const std::uint8_t* data, std::size_t count);

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    void fill(const std::vector<std::uint8_t>& image); // plain overwrite from start
    // Cells that a program asked to move towards the erased value.
    std::uint64_t conflicts() const { return conflicts_; }

private:
    std::uint32_t start_;
    std::uint32_t blockSize_;
    std::uint8_t erased_;
    std::vector<std::uint8_t> bytes_;
    std::uint64_t conflicts_ = 0;
};

} // namespace sim::loader
