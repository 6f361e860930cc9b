#include "isp/classic/settings_writes.h"

#include "isp/classic/command_templates.h"
#include "isp/classic/dialect_commands.h"
#include "isp/classic/settings_commands.h"
#include "isp/classic/transmission.h"
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"

#include <string>

namespace qz {

namespace {

bool dialect2(const ClassicDeviceRecord& d) { return record_dialect(d) == kDialect2; }

IspResult* bv_sb_failure(int r)
{
    if (r == kErrCommunicate)
        return set_result(kErrCommunicate);
    return report_step_failure(r, "programming BV and SB", "(Programming boot vector and status byte)");
}

// -18 with the words, for the settings that name no reason of their own.
IspResult* setting_failure(int r, const char* words)
{
    return report_engine_failure(r == 1 ? kErrOperationFailed : r, words);
}

} // namespace

bool boot_vector_in_place(const ClassicDeviceRecord& d)
{
    if (!dialect2(d)) {
        unsigned vector = 0;
        std::uint8_t status = 0xFF;
        if (d1_read_boot_vector(d, vector) != 1 || d1_read_status_byte(d, status) != 1)
            return false;
        return vector == d.reset_boot_vector && status == 0;
    }
    if (!d.boot_vector_readable || !d.status_byte_readable)
        return false;
    std::uint8_t vector = 0, addl = 0;
    if (send_value_command(d2_read_configuration_command(d, 0x02), vector) != 1 ||
        send_value_command(d2_read_addl_security_command(d), addl) != 1)
        return false;
    return vector == d.reset_boot_vector && (addl & 0x01) == 0;
}

int d2_write_status_bit(const ClassicDeviceRecord& d, int value)
{
    if (!d.status_byte_programmable)
        return 1;
    return d2_program_status_bit(d, value);
}

IspResult* program_bv_sb_step(const ClassicDeviceRecord& d)
{
    const int r = tried_until_done([&] {
        if (boot_vector_in_place(d))
            return 1;
        if (dialect2(d))
            return d2_write_status_bit(d, 0);
        std::uint8_t i2c = 0;
        int s = 1;
        if (d.use_i2c_address)
            s = send_value_command(d1_read_byte_command(d, 0x04), i2c);
        if (s == 1)
            s = d1_erase_bv_sb(d);
        if (s == 1)
            s = d1_program_boot_vector(d, d.reset_boot_vector);
        if (s == 1 && d.use_i2c_address)
            s = send_command(d1_program_i2c_address_command(d, i2c));
        return s;
    });
    return r == 1 ? nullptr : bv_sb_failure(r);
}

IspResult* write_configuration(const ClassicDeviceRecord& d, int value)
{
    if (!d.configuration_supported)
        return set_result(kErrNotSupported, "(programming configuration)");
    if (!dialect2(d)) {
        // Dialect 1 parts read back 255; only the 89V51 loaders take the word.
        if (value == 255 || !d1_configuration_record_part(d))
            return nullptr;
    } else {
        // A word the part holds already is left; a failed read writes it.
        const unsigned mask = d.configuration_bytes == 1 ? 0xFFu : 0xFFFFu;
        unsigned now = 0;
        if (read_configuration(d, now) == 1 && (now & mask) == (static_cast<unsigned>(value) & mask))
            return nullptr;
    }
    const int r = tried_until_done([&] { return program_configuration(d, static_cast<unsigned>(value)); });
    return r == 1 ? nullptr : setting_failure(r, "programming configuration");
}

IspResult* write_security_flags(const ClassicDeviceRecord& d, const int* flags)
{
    const int r = program_security_flags(d, flags);
    return r == 1 ? nullptr : setting_failure(r, "programming security bit");
}

IspResult* write_addl_security(const ClassicDeviceRecord& d, const int flags[3])
{
    if (!d.addl_security_supported)
        return set_result(kErrNotSupported, "(program additional security)");
    if (!dialect2(d))
        return nullptr;
    const int r = tried_until_done([&] { return d2_program_addl_security(d, flags); });
    return r == 1 ? nullptr : setting_failure(r, "programming security bit");
}

} // namespace qz
