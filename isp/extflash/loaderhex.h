// Reading the flash loader's HEX file: its address span, and its data
// records that lie wholly in a range (the descriptor search, the RAM image
// to download). The file goes through the core's checked reader: a loader
// with a damaged record must not reach the part.
#pragma once

#include <cstdint>
#include <cstdio>

#include "isp/core/stricthex.h"

namespace qz::ext {

// Reads the open file to its end; a data record whose first and last
// address lie within first..last is stored at buffer[address - first].
// Returns the highest address stored, or `first` when none was; *stored
// (when given) tells whether any record was. *fault (when given) tells why
// the file is no sound Intel HEX; what was stored then counts for nothing.
std::uint32_t load_hex_file_range(std::FILE* file, std::uint8_t* buffer, std::uint32_t first, std::uint32_t last,
                                  bool* stored = nullptr, HexFault* fault = nullptr);

// The lowest first address and the highest last address of the data
// records. 1 when the file is sound and holds data; 0 otherwise (a record
// reaching past 4 GiB lies outside what a loader can address), with the
// reason in *fault when given.
int hex_file_address_range(std::FILE* file, std::uint32_t* lowest, std::uint32_t* highest,
                           HexFault* fault = nullptr);

} // namespace qz::ext
