// The five flash sector layouts of the Cortex parts. A flash bank names one
// of them by its type; the bank's sectors are the entries that start inside
// the bank, so a sector's number is also its place in the table.
#pragma once

#include <cstdint>

namespace qz {

struct Sector {
    std::uint32_t start;
    std::uint32_t end;              // inclusive
    std::uint32_t checksum_address; // the sector's checksum-adjuster byte (its last byte)
    std::uint32_t number;
};

struct SectorTable {
    int type;              // 0..4, -1 for the empty table
    const Sector* sectors; // `size` entries, then one whose end is 0
    int size;
};

constexpr int kSectorTableTypes = 5;

// The table of a bank's type; an unknown type gives an empty table.
const SectorTable& sector_table(std::uint32_t type);

// Number of sectors whose start lies within first..last.
int sectors_starting_within(const SectorTable& table, std::uint32_t first, std::uint32_t last);

// The sector that holds `address`, or nullptr.
const Sector* sector_holding(const SectorTable& table, std::uint32_t address);

// The last sector whose start and end equal the given ones, or nullptr.
const Sector* sector_matching(const SectorTable& table, std::uint32_t start, std::uint32_t end);

} // namespace qz
