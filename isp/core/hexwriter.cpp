#include "isp/core/hexwriter.h"

#include "isp/core/hexutil.h"

namespace qz {

namespace {

void put_byte(char*& p, unsigned value)
{
    *p++ = hex_high_digit(value);
    *p++ = hex_low_digit(value);
}

void put_word(char*& p, unsigned value)
{
    for (int i = 0; i < 4; ++i)
        *p++ = hex_word_digit(value, i);
}

// Appends the checksum of what `out` holds so far and the terminating zero.
std::size_t finish_record(char* out, char* p)
{
    const std::size_t length = std::size_t(p - out);
    put_byte(p, static_cast<unsigned>(hex_record_checksum(out, length)) & 0xFF);
    *p = '\0';
    return length + 2;
}

} // namespace

std::size_t make_data_record(std::uint16_t address, std::size_t count, const std::uint8_t* data, char* out,
                             std::size_t capacity)
{
    if (count > 255 || out == nullptr || capacity < hex_record_length(count) + 1 || (count > 0 && data == nullptr))
        return 0;
    char* p = out;
    *p++ = ':';
    put_byte(p, static_cast<unsigned>(count));
    put_word(p, address);
    put_byte(p, 0x00);
    for (std::size_t i = 0; i < count; ++i)
        put_byte(p, data[i]);
    return finish_record(out, p);
}

std::size_t make_linear_address_record(std::uint16_t upper, char* out, std::size_t capacity)
{
    if (out == nullptr || capacity < hex_record_length(2) + 1)
        return 0;
    char* p = out;
    *p++ = ':';
    put_byte(p, 0x02);
    put_word(p, 0x0000);
    put_byte(p, 0x04);
    put_word(p, upper);
    return finish_record(out, p);
}

} // namespace qz
