// qz_erase on the classic parts: the whole device, the blocks a HEX file
// touches or the blocks of a mask, with the boot loader's area spared when
// the caller asks and the part has a guard.
#pragma once

#include "qz_interface.h"

namespace qz {

IspResult* classic_erase(int mode, unsigned block_mask, int guard, ProgressCallback cb, int user,
                         const char* hex_file);

} // namespace qz
