#include "isp/core/hexreader.h"

#include <cstring>

#include "isp/core/hexrecord.h"

namespace qz {

namespace {

struct Placer {
    std::uint8_t* buffer;
    std::uint32_t first;
    std::uint32_t last;

    void operator()(const HexData& data) const
    {
        if (buffer != nullptr && first <= last && data.address >= first && data.address <= last &&
            data.last() <= last)
            std::memcpy(buffer + (data.address - first), data.bytes, data.count);
    }
};

} // namespace

void load_hex_file(std::FILE* file, std::uint8_t* buffer, std::uint32_t first, std::uint32_t last)
{
    for_each_hex_data(file, Placer{buffer, first, last});
}

void load_hex_text(const char* text, std::uint8_t* buffer, std::uint32_t first, std::uint32_t last)
{
    for_each_hex_data(text, Placer{buffer, first, last});
}

} // namespace qz
