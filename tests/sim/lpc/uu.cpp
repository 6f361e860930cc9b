#include "tests/sim/lpc/uu.h"

namespace sim::lpc::uu {

namespace {

char enc(unsigned v)
{
    v &= 0x3F;
    return v == 0 ? '`' : static_cast<char>(v + 0x20);
}

unsigned dec(const std::string& line, std::size_t i)
{
    if (i >= line.size())
        return 0;
    return (static_cast<unsigned char>(line[i]) - 0x20u) & 0x3Fu;
}

} // namespace

std::string encodeLine(const std::uint8_t* data, std::size_t count)
{
    if (count > kBytesPerLine)
        count = kBytesPerLine;
    std::string out;
    out += enc(static_cast<unsigned>(count));
    for (std::size_t i = 0; i < count; i += 3) {
        unsigned b0 = data[i];
        unsigned b1 = i + 1 < count ? data[i + 1] : 0;
        unsigned b2 = i + 2 < count ? data[i + 2] : 0;
        out += enc(b0 >> 2);
        out += enc((b0 << 4) | (b1 >> 4));
        out += enc((b1 << 2) | (b2 >> 6));
        out += enc(b2);
    }
    return out;
}

std::size_t decodeLine(const std::string& line, std::uint8_t* out)
{
    if (line.empty())
        return 0;
    std::size_t count = dec(line, 0);
    std::size_t pos = 1;
    for (std::size_t i = 0; i < count; i += 3, pos += 4) {
        unsigned c0 = dec(line, pos), c1 = dec(line, pos + 1);
        unsigned c2 = dec(line, pos + 2), c3 = dec(line, pos + 3);
        std::uint8_t b[3] = {static_cast<std::uint8_t>((c0 << 2) | (c1 >> 4)),
                             static_cast<std::uint8_t>((c1 << 4) | (c2 >> 2)),
                             static_cast<std::uint8_t>((c2 << 6) | c3)};
        for (std::size_t k = 0; k < 3 && i + k < count; ++k)
            out[i + k] = b[k];
    }
    return count;
}

} // namespace sim::lpc::uu
