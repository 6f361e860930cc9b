// qz_erase of the external flash, by the loader's erase commands.
#pragma once

#include "qz_interface.h"

namespace qz::ext {

constexpr int kEraseWholeFlash = -3;
constexpr int kEraseHexBlocks = -2;
// The block mask names blocks 0 to 31.
constexpr int kMaskBlocks = 32;

// mode -3: the whole flash; -2: every erase block a data record of
// `hexFile` covers; any other mode: the blocks of `blockMask`.
IspResult* erase_flash(int mode, unsigned blockMask, ProgressCallback cb, int user, const char* hexFile);

} // namespace qz::ext
