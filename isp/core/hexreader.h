// Loading Intel HEX into the images a programming run writes: data for the
// flash bank goes to the caller's buffer, data for RAM to the RAM image.
// The readers never fail; what they cannot place they skip.
#pragma once

#include <cstdint>
#include <cstdio>

namespace qz {

class RamImage;

// Reads an open file to its end. `buffer` covers the addresses first..last
// and may be null; `ram` receives data addressed to RAM and may be null or
// empty (such data is then skipped).
//
// A data record whose first address lies in the buffer is stored only when
// its last address does too (else it is dropped whole); otherwise it goes to
// the RAM image when both its addresses lie in RAM; else it is dropped.
void load_hex_file(std::FILE* file, std::uint8_t* buffer, std::uint32_t first, std::uint32_t last, RamImage* ram);

// The same over a zero-terminated text (a hex generator's output).
void load_hex_text(const char* text, std::uint8_t* buffer, std::uint32_t first, std::uint32_t last, RamImage* ram);

} // namespace qz
