#include "isp/cortex/uucodec.h"

namespace qz {

namespace {

char uu_char(unsigned value)
{
    value &= 0x3F;
    return value == 0 ? '`' : static_cast<char>(value + 0x20);
}

// -1 for a character outside the alphabet (blank to grave accent).
int uu_value(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x60)
        return -1;
    return (u - 0x20) & 0x3F;
}

} // namespace

std::size_t uu_encode_line(const std::uint8_t* data, std::size_t count, char* out)
{
    if (count > kUuBytesPerLine)
        return 0;
    std::size_t n = 0;
    out[n++] = uu_char(static_cast<unsigned>(count));
    for (std::size_t i = 0; i < count; i += 3) {
        const unsigned b0 = data[i];
        const unsigned b1 = i + 1 < count ? data[i + 1] : 0;
        const unsigned b2 = i + 2 < count ? data[i + 2] : 0;
        out[n++] = uu_char(b0 >> 2);
        out[n++] = uu_char((b0 << 4) | (b1 >> 4));
        out[n++] = uu_char((b1 << 2) | (b2 >> 6));
        out[n++] = uu_char(b2);
    }
    out[n] = '\0';
    return n;
}

int uu_decode_line(const char* line, std::size_t length, std::uint8_t* out, std::size_t capacity)
{
    if (length == 0)
        return -1;
    const int announced = uu_value(line[0]);
    if (announced < 0)
        return -1;
    const std::size_t count = static_cast<std::size_t>(announced);
    if (count > kUuBytesPerLine || count > capacity || length != uu_line_length(count))
        return -1;
    std::size_t produced = 0;
    for (std::size_t pos = 1; pos + 4 <= length; pos += 4) {
        int v[4];
        for (int k = 0; k < 4; ++k) {
            v[k] = uu_value(line[pos + k]);
            if (v[k] < 0)
                return -1;
        }
        const std::uint8_t bytes[3] = {
            static_cast<std::uint8_t>((v[0] << 2) | (v[1] >> 4)),
            static_cast<std::uint8_t>((v[1] << 4) | (v[2] >> 2)),
            static_cast<std::uint8_t>((v[2] << 6) | v[3]),
        };
        for (int k = 0; k < 3 && produced < count; ++k)
            out[produced++] = bytes[k];
    }
    return static_cast<int>(produced);
}

} // namespace qz
