// Erasing flash and asking whether a sector is blank.
#pragma once

#include "qz_interface.h"

namespace qz {

// Erase modes besides a sector mask.
constexpr int kEraseWholeBank = -3;
constexpr int kEraseHexFileSectors = -2;

IspResult* op_erase(int mode, unsigned block_mask, ProgressCallback cb, int user, const char* hex_file);
IspResult* op_blank_check(unsigned start, unsigned end);

} // namespace qz
