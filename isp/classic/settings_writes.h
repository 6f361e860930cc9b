// Writes of the part's settings that a programming run and qz_reset make:
// the boot vector and status byte step, and the configuration, security and
// additional-security values lifted out of a HEX file. Each returns the
// library's result on failure and nullptr on success (the result record is
// then left for the caller to finish).
#pragma once

#include "isp/classic/classic_device.h"
#include "isp/classic/op_retry.h"
#include "qz_interface.h"

namespace qz {

// Whether the boot vector already equals `reset_boot_vector` with status
// byte 0; a failed or impossible read counts as not so.
bool boot_vector_in_place(const ClassicDeviceRecord& d);

// Step 10 of a run: boot vector and status byte put back for the user's
// program, each command up to 6 tries.
IspResult* program_bv_sb_step(const ClassicDeviceRecord& d);

// Dialect 2: bit 0 of the additional-security byte (the status byte).
int d2_write_status_bit(const ClassicDeviceRecord& d, int value);

// The configuration word, unless the part already holds it.
IspResult* write_configuration(const ClassicDeviceRecord& d, int value);
// Security flags, one int each, `security_flag_count` of them.
IspResult* write_security_flags(const ClassicDeviceRecord& d, const int* flags);
// Additional security bits 5, 6 and 7 from three flags (dialect 2).
IspResult* write_addl_security(const ClassicDeviceRecord& d, const int flags[3]);

} // namespace qz
