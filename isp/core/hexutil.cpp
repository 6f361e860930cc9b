#include "isp/core/hexutil.h"

#include <cstring>

namespace qz {

namespace {

const char kDigits[] = "0123456789ABCDEF";

bool is_control(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

} // namespace

char hex_high_digit(unsigned value)
{
    return kDigits[(value >> 4) & 0xF];
}

char hex_low_digit(unsigned value)
{
    return kDigits[value & 0xF];
}

char hex_word_digit(unsigned value, int position)
{
    if (position < 0 || position > 3)
        return '0';
    return kDigits[(value >> (4 * (3 - position))) & 0xF];
}

int hex_digit_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

static unsigned digit_or_zero(char c)
{
    const int v = hex_digit_value(c);
    return v < 0 ? 0u : static_cast<unsigned>(v);
}

std::uint8_t parse_hex_byte(char c1, char c2)
{
    return static_cast<std::uint8_t>((digit_or_zero(c1) << 4) | digit_or_zero(c2));
}

std::uint16_t parse_hex_word(char c1, char c2, char c3, char c4)
{
    return static_cast<std::uint16_t>((parse_hex_byte(c1, c2) << 8) | parse_hex_byte(c3, c4));
}

int hex_record_checksum(const char* record, std::size_t length)
{
    int sum = 0;
    for (std::size_t i = 1; i + 1 < length; i += 2)
        sum += parse_hex_byte(record[i], record[i + 1]);
    return 256 - sum;
}

std::uint8_t byte_sum(const std::uint8_t* first, const std::uint8_t* last, const std::uint8_t* skip)
{
    unsigned sum = 0;
    for (const std::uint8_t* p = first; p <= last; ++p) {
        if (p != skip)
            sum += *p;
    }
    return static_cast<std::uint8_t>(0xAB - sum);
}

std::size_t trim_control_tail(char* line, std::size_t length)
{
    const std::size_t original = length;
    while (length > 0 && is_control(line[length - 1]))
        --length;
    if (length < original)
        line[length] = '\0';
    return length;
}

bool validate_hex_text(char* line, std::size_t& length)
{
    length = trim_control_tail(line, length);
    if (length <= 10 || length % 2 == 0 || line[0] != ':')
        return false;
    for (std::size_t i = 1; i < length; ++i) {
        if (hex_digit_value(line[i]) < 0)
            return false;
    }
    return true;
}

bool validate_hex_line(char* line)
{
    std::size_t length = std::strlen(line);
    return validate_hex_text(line, length);
}

} // namespace qz
