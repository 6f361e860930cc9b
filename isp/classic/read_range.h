// The address range of a read-back or blank check, checked before anything
// is sent: it must lie within the part's flash.
#pragma once

#include "isp/classic/classic_device.h"

#include "qz_interface.h"

namespace qz {

// nullptr when start..end lies within the flash; else -5 with a detail that
// names what is wrong (an end below the start, or an end past the flash).
IspResult* check_read_range(const ClassicDeviceRecord& d, unsigned start, unsigned end);

} // namespace qz
