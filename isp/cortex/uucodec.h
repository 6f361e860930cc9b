// UU encoding as the NXP boot ROM speaks it: one length character, then
// four characters per three bytes, with the value 0 sent as a grave accent.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz {

// Most data bytes one line carries.
constexpr std::size_t kUuBytesPerLine = 45;

// Characters a line of `count` bytes takes, the length character included.
constexpr std::size_t uu_line_length(std::size_t count)
{
    return 1 + 4 * ((count + 2) / 3);
}

// Encodes up to kUuBytesPerLine bytes as one line into `out` (room for
// uu_line_length(count) + 1 characters), NUL-terminated, without a line end.
// Returns the number of characters, or 0 when count is too large.
std::size_t uu_encode_line(const std::uint8_t* data, std::size_t count, char* out);

// Decodes one line of `length` characters into `out`, which has room for
// `capacity` bytes. The line must hold exactly as many characters as its
// length character announces and only characters of the UU alphabet.
// Returns the number of bytes decoded, or -1 for a line that does not fit
// these rules or the buffer.
int uu_decode_line(const char* line, std::size_t length, std::uint8_t* out, std::size_t capacity);

} // namespace qz
