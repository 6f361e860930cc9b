#include "isp/classic/classic_image.h"

#include "isp/classic/family_blocks.h"
#include "isp/core/debuglog.h"

#include <cstring>

namespace qz {

namespace {

// The configuration and security pseudo-addresses of the LPC900 files.
constexpr std::uint64_t kPseudoFirst = 0xFFD8;

bool pseudo_family(int family)
{
    return family == 4 || family == 7 || family == 8 || family == 10 || family == 11;
}

} // namespace

bool ClassicImage::has_data() const
{
    for (std::uint8_t b : bytes)
        if (b != erased)
            return true;
    return false;
}

void ClassicImageSink::lift(std::uint64_t first, const std::uint8_t* bytes, std::size_t count)
{
    const std::uint64_t last = first + count - 1;
    // A value is taken only from an address this record holds.
    auto at = [&](std::uint64_t a, std::uint8_t& v) {
        if (a < first || a > last)
            return false;
        v = bytes[a - first];
        return true;
    };
    auto either = [&](std::uint64_t a, std::uint64_t b, std::uint8_t& v) { return at(a, v) || at(b, v); };
    LiftedValues& l = image_.lifted;
    std::uint8_t v = 0;
    if (either(0xFFF0, 0xFFD8, v)) {
        l.config_low = v;
        l.config_present = true;
    }
    if (d_.configuration_bytes >= 2 && either(0xFFF1, 0xFFD9, v)) {
        l.config_high = v;
        l.config_present = true;
    }
    if (either(0xFFF3, 0xFFDB, v)) {
        l.addl_security = v;
        l.addl_present = true;
    }
    for (int i = 0; i < d_.block_count && i < 32; ++i) {
        if (either(0xFFF8u + static_cast<unsigned>(i), 0xFFE0u + static_cast<unsigned>(i), v)) {
            l.security[i] = v & 0x07;
            l.security_present = true;
        }
    }
}

Placement ClassicImageSink::place(std::uint64_t address, const std::uint8_t* bytes, std::size_t count)
{
    const std::uint64_t last = address + count - 1;
    const std::uint64_t end = image_.base + image_.bytes.size(); // one past the image
    if (pseudo_family(d_.family) && last >= kPseudoFirst && end <= kPseudoFirst) {
        // Bytes of the record below the pseudo-addresses are data like any
        // other: in the part they are programmed, past it they fail the run.
        if (address < kPseudoFirst) {
            const Placement below = place(address, bytes, static_cast<std::size_t>(kPseudoFirst - address));
            if (below.kind == Placement::kOutside)
                return below;
        }
        lift(address, bytes, count);
        return {};
    }
    // The first address without a place: the record's own when it starts
    // outside the part, else the first past the part's end.
    if (address < image_.part_first || address > image_.part_last)
        return {Placement::kOutside, address};
    if (last > image_.part_last)
        return {Placement::kOutside, image_.part_last + 1};
    const std::uint64_t from = address > image_.base ? address : image_.base;
    const std::uint64_t to = last < end ? last : end - 1;
    if (from <= to && to < end)
        std::memcpy(image_.bytes.data() + (from - image_.base), bytes + (from - address), to - from + 1);
    // Bytes past the image lie in the part's boot loader area: they are
    // left, and only they.
    if (last >= end) {
        const std::uint64_t spared = address > end ? address : end;
        debug_logf("Data from 0x%04llX to 0x%04llX lies in the boot loader's area: left out\n",
                   static_cast<unsigned long long>(spared), static_cast<unsigned long long>(last));
    }
    return {};
}

void add_checksum_adjusters(const ClassicDeviceRecord& device, ClassicImage& image)
{
    if (image.base != 0)
        return; // the blocks are flash blocks
    FamilyBlockTable table = family_blocks(device.family);
    if (table.count == 0)
        table = family_blocks(0);
    const std::size_t size = image.bytes.size();
    for (int i = 0; i < device.block_count && i < table.count; ++i) {
        const FlashBlock& b = table.blocks[i];
        if (b.checksum_address >= size)
            continue;
        const std::uint32_t end = b.end < size ? b.end : static_cast<std::uint32_t>(size - 1);
        bool used = false;
        unsigned sum = 0;
        for (std::uint32_t a = b.start; a <= end; ++a) {
            if (a == b.checksum_address)
                continue;
            used = used || image.bytes[a] != image.erased;
            sum += image.bytes[a];
        }
        if (used)
            image.bytes[b.checksum_address] = static_cast<std::uint8_t>(0xAB - sum);
    }
}

} // namespace qz
