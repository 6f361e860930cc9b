#include "isp/core/hexreader.h"

#include <cstring>

#include "isp/core/hexrecord.h"
#include "isp/cortex/ramimage.h"

namespace qz {

namespace {

struct Placer {
    std::uint8_t* buffer;
    std::uint32_t first;
    std::uint32_t last;
    RamImage* ram;

    void operator()(const HexData& data) const
    {
        const std::uint64_t end = data.last();
        if (buffer != nullptr && first <= last && data.address >= first && data.address <= last) {
            if (end <= last)
                std::memcpy(buffer + (data.address - first), data.bytes, data.count);
            return;
        }
        if (ram != nullptr && ram->holds(data.address, end))
            std::memcpy(ram->at(data.address), data.bytes, data.count);
    }
};

} // namespace

void load_hex_file(std::FILE* file, std::uint8_t* buffer, std::uint32_t first, std::uint32_t last, RamImage* ram)
{
    for_each_hex_data(file, Placer{buffer, first, last, ram});
}

void load_hex_text(const char* text, std::uint8_t* buffer, std::uint32_t first, std::uint32_t last, RamImage* ram)
{
    for_each_hex_data(text, Placer{buffer, first, last, ram});
}

} // namespace qz
