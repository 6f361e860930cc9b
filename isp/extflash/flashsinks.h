// Where the data of a programming run or of an erase by file goes: the
// external flash from its start to its end, nothing else. Data outside it
// would be lost, so it refuses the source.
#pragma once

#include "isp/core/programsink.h"

#include <cstdint>
#include <set>

namespace qz::ext {

class FlashRangeSink : public ProgramSink {
public:
    FlashRangeSink(std::uint32_t first, std::uint32_t last) : first_(first), last_(last) {}
    Placement place(std::uint64_t address, const std::uint8_t* bytes, std::size_t count) override;

protected:
    ~FlashRangeSink() = default;
    // `count` bytes at `offset` from the flash start, all within the flash.
    virtual void take(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count) = 0;
    std::uint32_t first_;
    std::uint32_t last_;
};

// Programming: into the image of the whole flash.
class FlashImageSink final : public FlashRangeSink {
public:
    FlashImageSink(std::uint8_t* image, std::uint32_t first, std::uint32_t last)
        : FlashRangeSink(first, last), image_(image)
    {
    }

private:
    void take(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count) override;
    std::uint8_t* image_;
};

// Erase by file: every erase block that a record covers.
class EraseBlockSink final : public FlashRangeSink {
public:
    EraseBlockSink(std::uint32_t first, std::uint32_t last, std::uint32_t blockSize, std::set<std::uint64_t>& marked)
        : FlashRangeSink(first, last), blockSize_(blockSize), marked_(marked)
    {
    }

private:
    void take(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count) override;
    std::uint32_t blockSize_;
    std::set<std::uint64_t>& marked_;
};

} // namespace qz::ext
