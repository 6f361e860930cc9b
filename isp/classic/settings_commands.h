// The settings commands of both dialects that go beyond one record and its
// status: security flags, the clocks bit, the EEPROM security, EEPROM
// access, the additional-security byte, the configuration and the dialect 2
// boot vector. Each returns 1 or a negative code.
#pragma once

#include "isp/classic/classic_device.h"
#include "isp/classic/op_retry.h"

#include <cstdint>

namespace qz {

// Three flags per block (dialect 2, one command a block) or of the security
// byte (dialect 1), taken in `security_flag_order`; `flags` holds room for
// 3 x 32 entries.
constexpr int kMaxSecurityFlags = 96;
int read_security_flags(const ClassicDeviceRecord& d, std::uint8_t* flags);
// The security bit `bit` (dialect 1 ":020000xx05sscc", dialect 2 by its group).
int program_security_flag(const ClassicDeviceRecord& d, int bit);
// Every flagged one of the part's `security_flag_count` bits, each tried
// until done; 1 or the code of the bit that failed.
template <typename Flag>
int program_security_flags(const ClassicDeviceRecord& d, const Flag* flags)
{
    for (int i = 0; i < d.security_flag_count; ++i) {
        if (!flags[i])
            continue;
        const int r = tried_until_done([&] { return program_security_flag(d, i); });
        if (r != 1)
            return r;
    }
    return 1;
}

// Dialect 1: bit 0 of the answer when the read word is 0x0700, else bit 7,
// inverted on parts that read it so.
int d1_read_clocks_bit(const ClassicDeviceRecord& d, int& bit);
int d1_program_clocks_bit(const ClassicDeviceRecord& d);

// Dialect 2: EEPROM access on (before EEPROM work) and off.
int d2_eeprom_access(bool on);
// Three flags a page for every EEPROM page; room for 3 x 128 entries.
constexpr int kMaxEepromSecurityFlags = 384;
int d2_read_eeprom_security(const ClassicDeviceRecord& d, std::uint8_t* flags);
int d2_program_eeprom_security_bit(const ClassicDeviceRecord& d, int bit);

// Dialect 2: the additional-security byte (bit 0 the status byte, bits 5 to
// 7 the additional security); 0 without a read on parts that cannot read it.
int d2_read_addl_security(const ClassicDeviceRecord& d, std::uint8_t& value);
int d2_write_addl_security(const ClassicDeviceRecord& d, std::uint8_t value);
// Sets bits 5, 6 and 7 of the byte where `flags` says so; programming never
// clears one (the erase does).
int d2_program_addl_security(const ClassicDeviceRecord& d, const int flags[3]);
// Bit 0 of the byte (the status byte) to `value`, the other bits kept.
int d2_program_status_bit(const ClassicDeviceRecord& d, int value);

// Dialect 2: the boot vector (sub-function 02); `reset_boot_vector` without
// a read on parts that cannot read it.
int d2_read_boot_vector(const ClassicDeviceRecord& d, unsigned& vector);
int d2_program_boot_vector(const ClassicDeviceRecord& d, unsigned vector);

// The configuration: dialect 2 its low and high bytes (the high byte only
// on parts with two); dialect 1 parts read as 255 without sending.
int read_configuration(const ClassicDeviceRecord& d, unsigned& value);
// Dialect 2 low then high byte; dialect 1 the type 0C record of the 89V51
// boot loaders. -16 on a dialect 1 part that has no such record.
int program_configuration(const ClassicDeviceRecord& d, unsigned value);
// The 89V51 and 89LV51 parts (numbers 23, 49, 55 to 58).
bool d1_configuration_record_part(const ClassicDeviceRecord& d);

} // namespace qz
