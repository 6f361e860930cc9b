// The byte image of a part's RAM that a programming run collects data for:
// it spans the record's RAM start..RAM end and starts out as the fill byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qz {

struct CortexDeviceRecord;

class RamImage {
public:
    // Makes the image over the device's RAM, filled with its fill byte.
    // Returns 1 when an image exists afterwards (a second call changes
    // nothing), 0 when memory ran out (then there is none).
    int alloc(const CortexDeviceRecord& device);

    // Releases the image; there is then none.
    void free();

    bool exists() const { return bytes_ != nullptr; }

    // Place of `address` in the image, or nullptr outside RAM or without image.
    std::uint8_t* at(std::uint32_t address);
    const std::uint8_t* at(std::uint32_t address) const;

    // Whether the byte at `address` still holds the fill byte; an address
    // the image does not hold counts as fill (nothing to write there).
    bool is_fill(std::uint32_t address) const;

    // Whether first and last both lie within the image's RAM start..RAM end.
    // Wide arguments so a range that runs past 4 GiB is refused, not wrapped.
    bool holds(std::uint64_t first, std::uint64_t last) const;

    std::uint32_t start() const { return start_; }
    std::uint32_t end() const { return end_; }
    std::uint8_t fill_byte() const { return fill_; }
    std::size_t size() const { return exists() ? std::size_t(end_ - start_) + 1 : 0; }

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::uint32_t start_ = 0;
    std::uint32_t end_ = 0;
    std::uint8_t fill_ = 0xFF;
};

// The driver state's RAM image over the selected device's RAM.

// Makes it when there is none: 1 when it exists afterwards, 0 when memory
// ran out (then there is none).
int ram_image_alloc();

// Releases it; there is then none.
void ram_image_free();

// The image, or nullptr when there is none (what the HEX readers are lent).
RamImage* ram_image();

// Place of an address in the image, or nullptr outside RAM or without image.
std::uint8_t* ram_image_at(std::uint32_t address);

// Whether the image byte at an address equals the fill byte (an address
// without a byte counts as fill).
bool ram_image_is_fill(std::uint32_t address);

// Whether both addresses lie within the selected device's RAM start..RAM end.
bool ram_image_holds(std::uint64_t first, std::uint64_t last);

} // namespace qz
