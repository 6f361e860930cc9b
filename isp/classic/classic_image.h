// The flash image of a classic programming run and the sink that fills it
// from the program sources: bytes that lie in the image range are copied
// in, bytes inside the part but past the range (the boot loader's area) are
// left and logged, data outside the part fails the run. On dialect 2 parts
// the configuration, additional-security and sector-security values that a
// HEX file carries at the pseudo-addresses from 0xFFD8 are lifted out
// instead.
#pragma once

#include "isp/classic/classic_device.h"
#include "isp/core/programsink.h"

#include <cstdint>
#include <vector>

namespace qz {

struct LiftedValues {
    bool config_present = false;
    std::uint8_t config_low = 0, config_high = 0;
    bool addl_present = false;
    std::uint8_t addl_security = 0;
    bool security_present = false;
    // Per block, bits 0 to 2: its three sector-security flags.
    std::uint8_t security[32] = {};
    bool any() const { return config_present || addl_present || security_present; }
};

struct ClassicImage {
    std::vector<std::uint8_t> bytes; // addresses base .. base + size - 1
    std::uint32_t base = 0;
    // The part's memory this run may place data in (flash, or the EEPROM);
    // data beyond it fails the run.
    std::uint64_t part_first = 0, part_last = 0;
    std::uint8_t erased = 0xFF;
    LiftedValues lifted;
    bool has_data() const;
};

class ClassicImageSink final : public ProgramSink {
public:
    ClassicImageSink(const ClassicDeviceRecord& device, ClassicImage& image) : d_(device), image_(image) {}
    Placement place(std::uint64_t address, const std::uint8_t* bytes, std::size_t count) override;

private:
    void lift(std::uint64_t first, const std::uint8_t* bytes, std::size_t count);
    const ClassicDeviceRecord& d_;
    ClassicImage& image_;
};

// Step 5 of a run: each block's checksum adjuster byte (0xAB minus the sum of
// the block's other bytes), only in blocks that hold data.
void add_checksum_adjusters(const ClassicDeviceRecord& device, ClassicImage& image);

} // namespace qz
