#include "isp/classic/classic_image.h"

#include "isp/classic/family_blocks.h"

#include <cstring>

namespace qz {

namespace {

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
    const std::uint64_t size = image_.bytes.size();
    if (pseudo_family(d_.family) && last > 0xFFD7 && image_.base + size <= 0xFFD8) {
        lift(address, bytes, count);
        return {};
    }
    if (address < image_.part_first || last > image_.part_last)
        return {Placement::kOutside, address < image_.part_first ? address : image_.part_last + 1};
    if (address >= image_.base && last < image_.base + size)
        std::memcpy(image_.bytes.data() + (address - image_.base), bytes, count);
    // A record that reaches past the image (into the boot loader's area) is
    // left whole.
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
