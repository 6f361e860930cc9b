#include "isp/classic/settings_writes.h"

#include "isp/classic/command_templates.h"
#include "isp/classic/dialect_commands.h"
#include "isp/classic/hex_command.h"
#include "isp/classic/transmission.h"
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"

#include <string>

namespace qz {

namespace {

bool dialect2(const ClassicDeviceRecord& d) { return record_dialect(d) == kDialect2; }

int d2_read_addl(const ClassicDeviceRecord& d, std::uint8_t& value)
{
    value = 0;
    if (!d.status_byte_readable)
        return 1;
    return send_value_command(d2_read_addl_security_command(d), value);
}

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
    std::uint8_t addl = 0;
    const int r = d2_read_addl(d, addl);
    if (r != 1)
        return r;
    const std::uint8_t next = static_cast<std::uint8_t>((addl & 0xFE) | (value & 1));
    return send_command(d2_write_addl_security_command(d, next));
}

IspResult* program_bv_sb_step(const ClassicDeviceRecord& d)
{
    const int r = with_tries([&] {
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
    const std::uint8_t low = static_cast<std::uint8_t>(value & 0xFF), high = static_cast<std::uint8_t>(value >> 8);
    if (!dialect2(d)) {
        // Dialect 1 parts read back 255; only the 89V51 loaders take the word.
        if (value == 255)
            return nullptr;
        const int n = d.number;
        if (n != 23 && n != 49 && !(n >= 55 && n <= 58))
            return nullptr;
        const std::string c = low == 1 || low == 2 ? hex_command(0x0C, 0, {low, high}) : hex_command(0x0C, 0, {low});
        const int r = with_tries([&] { return send_command(c); });
        return r == 1 ? nullptr : setting_failure(r, "programming configuration");
    }
    std::uint8_t now_low = 0, now_high = 0;
    int r = send_value_command(d2_read_configuration_command(d, 0x00), now_low);
    if (r == 1 && d.configuration_bytes != 1)
        r = send_value_command(d2_read_configuration_command(d, 0x01), now_high);
    if (r == 1 && now_low == low && (d.configuration_bytes == 1 || now_high == high))
        return nullptr;
    r = with_tries([&] {
        int s = send_command(d2_program_configuration_command(d, 0x00, low));
        if (s == 1 && d.configuration_bytes != 1)
            s = send_command(d2_program_configuration_command(d, 0x01, high));
        return s;
    });
    return r == 1 ? nullptr : setting_failure(r, "programming configuration");
}

IspResult* write_security_flags(const ClassicDeviceRecord& d, const int* flags)
{
    for (int i = 0; i < d.security_flag_count; ++i) {
        if (!flags[i])
            continue;
        const int r = with_tries([&] {
            return dialect2(d) ? d2_program_security_bit(d, i) : send_command(d1_program_security_command(d, i));
        });
        if (r != 1)
            return setting_failure(r, "programming security bit");
    }
    return nullptr;
}

IspResult* write_addl_security(const ClassicDeviceRecord& d, const int flags[3])
{
    if (!d.addl_security_supported)
        return set_result(kErrNotSupported, "(program additional security)");
    if (!dialect2(d))
        return nullptr;
    const int r = with_tries([&] {
        std::uint8_t v = 0;
        const int s = d2_read_addl(d, v);
        if (s != 1)
            return s;
        for (int i = 0; i < 3; ++i)
            if (flags[i])
                v = static_cast<std::uint8_t>(v | 1u << (5 + i));
        return send_command(d2_write_addl_security_command(d, v));
    });
    return r == 1 ? nullptr : setting_failure(r, "programming security bit");
}

} // namespace qz
