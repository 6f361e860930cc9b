// UU lines as the LPC boot ROM writes and reads them: a length character
// (count + 32), then 4 characters per 3 bytes, 6 bits each plus 32, where
// the value 0 is written as the grave accent (0x60). Blank and grave accent
// both read as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sim::lpc::uu {

constexpr std::size_t kBytesPerLine = 45;
constexpr std::size_t kMaxDecoded = 63; // the most a length character can claim

// count <= kBytesPerLine; the line has no terminator.
std::string encodeLine(const std::uint8_t* data, std::size_t count);

// Decodes up to kMaxDecoded bytes into out (room for kMaxDecoded) and returns
// how many the length character claims; characters missing from a short
// line read as 0.
std::size_t decodeLine(const std::string& line, std::uint8_t* out);

} // namespace sim::lpc::uu
