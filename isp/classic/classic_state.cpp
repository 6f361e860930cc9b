#include "isp/classic/classic_state.h"

namespace qz {

namespace {
ClassicState g_state;
}

ClassicState& classic_state()
{
    return g_state;
}

const ClassicDeviceRecord* selected_classic_device()
{
    return classic_device_at(g_state.deviceIndex.load());
}

void reset_classic_state()
{
    g_state.deviceIndex = -1;
    g_state.useIcp = 0;
    g_state.icpInterface = 0;
    g_state.icpMajor = 1;
    g_state.icpMinor = 0;
    g_state.lineOutOfStep = false;
}

} // namespace qz
