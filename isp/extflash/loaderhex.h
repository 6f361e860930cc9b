// Reading the flash loader's HEX file: its address span, and its data
// records that lie wholly in a range (the descriptor search, the RAM image
// to download). Records are taken as the HEX reader of the core finds them.
#pragma once

#include <cstdint>
#include <cstdio>

namespace qz::ext {

// Reads the open file to its end; a data record whose first and last
// address lie within first..last is stored at buffer[address - first].
// Returns the highest address stored, or `first` when none was; *stored
// (when given) tells whether any record was.
std::uint32_t load_hex_file_range(std::FILE* file, std::uint8_t* buffer, std::uint32_t first, std::uint32_t last,
                                  bool* stored = nullptr);

// The lowest first address and the highest last address of the data
// records. 1 when the file holds data; 0 without data, or when a record
// reaches past 4 GiB.
int hex_file_address_range(std::FILE* file, std::uint32_t* lowest, std::uint32_t* highest);

} // namespace qz::ext
