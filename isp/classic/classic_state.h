// The classic driver's own part of the driver state: the selected part
// (none until qz_select_device or qz_connect chose one) and the ICP settings
// of the connection. The line settings (half duplex, hardware configuration,
// t1, t2) live in the shared driver state.
#pragma once

#include "isp/classic/classic_device.h"

#include <atomic>

namespace qz {

struct ClassicState {
    // Read by a cancel from another thread.
    std::atomic<int> deviceIndex{-1};
    int useIcp = 0;
    int icpInterface = 0;
    int icpMajor = 1;
    int icpMinor = 0;
    // A command broke off or was answered out of step: what the part still
    // sends for it is let go before the next command goes out.
    bool lineOutOfStep = false;
};

ClassicState& classic_state();

// The selected record, or nullptr while none is selected.
const ClassicDeviceRecord* selected_classic_device();

// Back to the state of a freshly loaded library (tests).
void reset_classic_state();

} // namespace qz
