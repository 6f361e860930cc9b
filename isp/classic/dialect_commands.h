// Commands of both dialects whose sending goes beyond one record and its
// status: reset, boot loader version, signature, the flag-guarded reads and
// writes of boot vector and status byte, and the erases that run under the
// long time-outs. Each returns 1 or a negative code; a command its record's
// flag switches off returns 1 without sending.
#pragma once

#include "isp/classic/classic_device.h"

#include <cstdint>
#include <string>

namespace qz {

// Method 0 waits 50 ms and empties the receive queue after the record and
// takes the third reply character; method 1 reads one; method 2 sends "$"
// and wants "$" back; other methods send nothing.
int send_reset(int method);

// Method 1: "ISP:%2.2X IAP:%2.2X"; methods 2 and 3: "%2.2X"; others send
// nothing and give 1 with an empty text.
int read_bootloader_version(int method, std::string& text);

// `signature_bytes` bytes, one command each.
int read_signature(const ClassicDeviceRecord& d, std::uint8_t* bytes);

// Dialect 1.
int d1_read_status_byte(const ClassicDeviceRecord& d, std::uint8_t& value);
int d1_read_boot_vector(const ClassicDeviceRecord& d, unsigned& vector);
int d1_program_status_byte(const ClassicDeviceRecord& d, std::uint8_t value);
int d1_program_boot_vector(const ClassicDeviceRecord& d, unsigned vector);
int d1_erase_bv_sb(const ClassicDeviceRecord& d);
int d1_erase_block(const ClassicDeviceRecord& d, int block);
int d1_erase_page(const ClassicDeviceRecord& d, int page);

// Dialect 2. Like the dialect 1 erases, block 0 and page 0 first set the
// status byte.
int d2_erase_sector(const ClassicDeviceRecord& d, int block);
int d2_erase_page(const ClassicDeviceRecord& d, int page);
int d2_erase_all(const ClassicDeviceRecord& d);
// "." 1, any other character -18.
int d2_program_security_bit(const ClassicDeviceRecord& d, int bit);

} // namespace qz
