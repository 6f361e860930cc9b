#include "isp/extflash/loaderhex.h"

#include <cstring>

#include "isp/core/hexrecord.h"

namespace qz::ext {

namespace {

struct RangePlacer {
    std::uint8_t* buffer;
    std::uint32_t first;
    std::uint32_t last;
    std::uint32_t* highest;
    bool* stored;

    void operator()(const HexData& d) const
    {
        if (buffer == nullptr || first > last || d.address < first || d.last() > last)
            return;
        std::memcpy(buffer + (d.address - first), d.bytes, d.count);
        *stored = true;
        if (d.last() > *highest)
            *highest = static_cast<std::uint32_t>(d.last());
    }
};

} // namespace

std::uint32_t load_hex_file_range(std::FILE* file, std::uint8_t* buffer, std::uint32_t first, std::uint32_t last,
                                  bool* stored)
{
    std::uint32_t highest = first;
    bool any = false;
    for_each_hex_data(file, RangePlacer{buffer, first, last, &highest, &any});
    if (stored != nullptr)
        *stored = any;
    return highest;
}

int hex_file_address_range(std::FILE* file, std::uint32_t* lowest, std::uint32_t* highest)
{
    bool any = false;
    bool wraps = false;
    std::uint32_t lo = 0;
    std::uint64_t hi = 0;
    for_each_hex_data(file, [&](const HexData& d) {
        if (d.last() > 0xFFFFFFFFull) {
            wraps = true;
            return;
        }
        if (!any || d.address < lo)
            lo = d.address;
        if (!any || d.last() > hi)
            hi = d.last();
        any = true;
    });
    if (!any || wraps)
        return 0;
    *lowest = lo;
    *highest = static_cast<std::uint32_t>(hi);
    return 1;
}

} // namespace qz::ext
