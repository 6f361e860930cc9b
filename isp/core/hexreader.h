// Loading Intel HEX into a buffer over a range of addresses, as the range
// readers do: a data record is stored only when it lies wholly within the
// range; the others are skipped. These readers never fail; input that must
// be right before a part is programmed goes through the program-source
// loader instead.
#pragma once

#include <cstdint>
#include <cstdio>

namespace qz {

// Reads an open file to its end. `buffer` covers the addresses first..last
// and may be null (then nothing is stored).
//
// A data record whose first address lies in the buffer is stored only when
// its last address does too (else it is dropped whole).
void load_hex_file(std::FILE* file, std::uint8_t* buffer, std::uint32_t first, std::uint32_t last);

// The same over a zero-terminated text (a hex generator's output).
void load_hex_text(const char* text, std::uint8_t* buffer, std::uint32_t first, std::uint32_t last);

} // namespace qz
