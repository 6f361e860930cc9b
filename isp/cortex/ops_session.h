// Device operations that open, end and query the connection: connect with
// its handshake, disconnect, reset and start, part id, boot code version,
// serial number and flash bank activation.
#pragma once

#include "qz_interface.h"

namespace qz {

IspResult* op_connect(const ConnectOptions* options, int size);
IspResult* op_disconnect();
IspResult* op_reset(int skip_line_reset, unsigned address, unsigned flags);
IspResult* op_read_signature();
IspResult* op_bootloader_version();
IspResult* op_serial_number();
IspResult* op_activate_flash_bank(int bank);

} // namespace qz
