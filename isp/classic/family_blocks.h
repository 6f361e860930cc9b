// The flash blocks of each part family: what the block erase, the checksum
// adjuster bytes and the CRC and MISR reads address. A part uses the first
// `block_count` entries of its family's table.
#pragma once

#include <cstdint>

namespace qz {

struct FlashBlock {
    std::uint32_t start;
    std::uint32_t end;               // inclusive
    std::uint32_t checksum_address;  // always the block's end
    std::uint32_t erase_code;        // start >> 8, as the erase commands carry it
};

struct FamilyBlockTable {
    const FlashBlock* blocks;
    int count;
};

// The family's table; families 0 to 11 each have one, any other number an
// empty table.
FamilyBlockTable family_blocks(int family);

// The block `index` of a family, or nullptr past its table.
const FlashBlock* family_block(int family, int index);

// Blocks of the family's table that start below `flash_size`.
int blocks_below(int family, std::uint32_t flash_size);

} // namespace qz
