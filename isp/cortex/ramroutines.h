// Small Thumb routines that the library downloads into the part's RAM and
// starts with "G": vector remapping, start through a vector table, and the
// IAP calls that reach the EEPROM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qz {

enum class VectorMapKind { None = 0, Lpc17xx, Lpc13xx, Lpc11xx };

using RoutineBytes = std::vector<std::uint8_t>;

// Writes the map value (flag 1 hides the boot ROM's vectors, 0 brings them back).
RoutineBytes vector_map_routine(VectorMapKind kind, int flag);

// Loads the stack pointer from `table` and branches to the entry at table + 4.
RoutineBytes vector_table_start_routine(std::uint32_t table);

// Calls the IAP EEPROM write (61) or read (62) command with a 12 MHz clock.
RoutineBytes eeprom_routine(bool write, std::uint32_t eeprom_address, std::uint32_t ram_address,
                            std::uint32_t length);

// Running them: each is written to the RAM buffer and started in Thumb mode.
// 1 or a negative engine code.

// The selected part's vector-map routine; 1 at once when it has none.
int run_vector_map(int flag);

// Starts the program whose vector table lies at `table`.
int run_vector_table_start(std::uint32_t table);

// The EEPROM write or read routine over `length` bytes staged at ram_address.
int run_eeprom_routine(bool write, std::uint32_t eeprom_address, std::uint32_t ram_address,
                       std::uint32_t length);

} // namespace qz
