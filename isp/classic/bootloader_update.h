// After a new boot loader is programmed and the part reset: does the new
// loader answer? It must echo the sync character and then send "*".
#pragma once

#include "isp/classic/classic_device.h"

#include "qz_interface.h"

namespace qz {

// nullptr when the loader answered; else the failure's result (-2 when the
// receive queue cannot be emptied, -3 without the echo, -10 without "*").
IspResult* check_new_bootloader(const ClassicDeviceRecord& d);

} // namespace qz
