// Where the data of a HEX file or production task may go on the selected
// NXP Cortex part, and the sinks of the operations that read such data:
// programming (flash and RAM images), verify (the expected bank image) and
// erase by file (the sectors the data touches).
#pragma once

#include <cstdint>

#include "isp/core/programsink.h"

namespace qz {

class FlashImage;
class RamImage;

// The selected part's flash banks (each as far as a flash image reaches)
// and its RAM. A part without flash has no banks here.
class CortexPartMap {
public:
    enum Where { kSelectedBank, kOtherBank, kRam, kOutside };
    struct Spot {
        Where where;
        int bank;              // kSelectedBank, kOtherBank
        std::uint64_t outside; // kOutside: the first address without a place
    };

    CortexPartMap();
    // Where first..last lies: wholly in one bank or in RAM, else kOutside.
    Spot locate(std::uint64_t first, std::uint64_t last) const;

private:
    struct Range {
        std::uint64_t first, last;
        Where where;
        int bank;
    };
    Range ranges_[11];
    int count_ = 0;
};

// What the three sinks share: data for another bank is logged once per bank
// and left for that bank's run; data outside the part is refused.
class CortexSink : public ProgramSink {
public:
    Placement place(std::uint64_t address, const std::uint8_t* bytes, std::size_t count) override;

protected:
    ~CortexSink() = default;
    virtual void take_flash(std::uint32_t address, const std::uint8_t* bytes, std::size_t count) = 0;
    virtual void take_ram(std::uint32_t address, const std::uint8_t* bytes, std::size_t count) = 0;

private:
    CortexPartMap map_;
    std::uint32_t logged_banks_ = 0;
};

// Programming: flash data into the image over the selected bank, RAM data
// into the RAM image.
class ProgramImagesSink final : public CortexSink {
public:
    ProgramImagesSink(FlashImage& flash, RamImage& ram) : flash_(flash), ram_(ram) {}

private:
    void take_flash(std::uint32_t address, const std::uint8_t* bytes, std::size_t count) override;
    void take_ram(std::uint32_t address, const std::uint8_t* bytes, std::size_t count) override;
    FlashImage& flash_;
    RamImage& ram_;
};

// Verify: flash data into the expected image, each byte marked; RAM data is
// not compared.
class VerifySink final : public CortexSink {
public:
    VerifySink(FlashImage& expected, std::uint8_t* marks) : expected_(expected), marks_(marks) {}

private:
    void take_flash(std::uint32_t address, const std::uint8_t* bytes, std::size_t count) override;
    void take_ram(std::uint32_t, const std::uint8_t*, std::size_t) override {}
    FlashImage& expected_;
    std::uint8_t* marks_;
};

// Erase by file: the sectors (of the first 32) that hold a record's first or
// last byte are marked, bit n for sector number n.
class EraseSink final : public CortexSink {
public:
    explicit EraseSink(std::uint32_t& marks) : marks_(marks) {}

private:
    void take_flash(std::uint32_t address, const std::uint8_t* bytes, std::size_t count) override;
    void take_ram(std::uint32_t, const std::uint8_t*, std::size_t) override {}
    std::uint32_t& marks_;
};

} // namespace qz
