// Queries over the device and flash bank that the driver state selects.
#pragma once

#include <cstdint>

namespace qz {

struct CortexDeviceRecord;
struct FlashBank;
struct SectorTable;

// The selected record (the all-zero end record for an index outside the table).
const CortexDeviceRecord& selected_device();

// The selected bank of the selected record; an all-zero bank when the
// selection names no bank of the record (a part without flash).
const FlashBank& selected_bank();

// Makes the sector table of the selected bank's type the current one and
// forgets the RAM image, which the next programming run builds anew.
void select_sector_table();

// The current sector table; an empty one before any selection.
const SectorTable& current_sector_table();

// Sectors of the current table that lie in the selected bank; 0 means the
// part has no flash.
int sector_count();

// Flash banks of the selected record.
int bank_count();

} // namespace qz
