// The programming engine's byte image of one flash bank. Every data source
// is loaded into it before anything is written to the part; the HEX reader
// sees it as a buffer with its first and last address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qz {

struct FlashBank;

// Last address an image over `bank` covers: the bank's end, or the boot ROM
// base when that lies inside the bank.
std::uint32_t flash_image_last(const FlashBank& bank, std::uint32_t boot_rom_base);

class FlashImage {
public:
    // Makes an image over first..last filled with `fill`. False when last
    // lies below first or memory ran out (then there is no image).
    bool allocate(std::uint32_t first, std::uint32_t last, std::uint8_t fill);

    // The image over a bank (capped at the boot ROM base).
    bool allocate_for_bank(const FlashBank& bank, std::uint32_t boot_rom_base, std::uint8_t fill);

    void release();

    bool exists() const { return bytes_ != nullptr; }
    std::uint8_t* data() { return bytes_.get(); }
    const std::uint8_t* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    std::uint32_t first() const { return first_; }
    std::uint32_t last() const { return last_; }

    // Whether first and last both lie within the image.
    bool holds(std::uint64_t first, std::uint64_t last) const;

    // Place of `address` in the image, or nullptr outside it.
    std::uint8_t* at(std::uint32_t address);

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_ = 0;
    std::uint32_t first_ = 0;
    std::uint32_t last_ = 0;
};

} // namespace qz
