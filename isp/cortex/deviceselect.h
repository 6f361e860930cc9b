// Choosing the device and flash bank the driver works on, for
// qz_select_device and for qz_connect, which selects before it opens the port.
#pragma once

#include "qz_interface.h"

namespace qz {

// The last table entry with `device_id` becomes the selection and `bank`
// its bank (lowered to the record's last bank); the sector table follows
// and the RAM image is forgotten. An unknown id keeps the previous
// selection and gives -5 "(device not found)".
IspResult* select_device(int device_id, unsigned bank);

} // namespace qz
