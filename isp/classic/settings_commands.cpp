#include "isp/classic/settings_commands.h"

#include "isp/classic/command_templates.h"
#include "isp/classic/hex_command.h"
#include "isp/classic/transmission.h"
#include "isp/core/errorcodes.h"

namespace qz {

namespace {

// Bits 0, 1, 2 of a security byte as three flags, in the part's order.
void three_flags(const ClassicDeviceRecord& d, std::uint8_t value, std::uint8_t* out)
{
    for (int k = 0; k < 3; ++k) {
        const int bit = d.security_flag_order ? 2 - k : k;
        out[k] = static_cast<std::uint8_t>((value >> bit) & 1);
    }
}

} // namespace

int read_security_flags(const ClassicDeviceRecord& d, std::uint8_t* flags)
{
    if (record_dialect(d) == kDialect1) {
        std::uint8_t v = 0;
        const int r = send_value_command(d1_read_security_command(d), v);
        if (r == 1)
            three_flags(d, v, flags);
        return r;
    }
    const int blocks = d.block_count > 32 ? 32 : d.block_count;
    for (int b = 0; b < blocks; ++b) {
        std::uint8_t v = 0;
        const int r = send_value_command(d2_read_sector_security_command(d, b), v);
        if (r != 1)
            return r;
        three_flags(d, v, flags + 3 * b);
    }
    return 1;
}

int program_security_flag(const ClassicDeviceRecord& d, int bit)
{
    if (record_dialect(d) == kDialect1)
        return send_command(d1_program_security_command(d, bit));
    const int r = send_command(d2_program_security_bit_command(d, bit));
    return r == 1 || r == kErrCommunicate ? r : kErrOperationFailed;
}

int d1_read_clocks_bit(const ClassicDeviceRecord& d, int& bit)
{
    std::uint8_t v = 0;
    const int r = send_value_command(d1_read_clocks_command(d), v);
    if (r != 1)
        return r;
    bit = d.clocks_read_word == 0x0700 ? (v & 1) : (v >> 7 & 1);
    if (d.clocks_bit_inverted)
        bit ^= 1;
    return 1;
}

int d1_program_clocks_bit(const ClassicDeviceRecord& d)
{
    return send_command(d1_program_clocks_command(d));
}

int d2_eeprom_access(bool on)
{
    return send_command(d2_eeprom_access_command(on));
}

int d2_read_eeprom_security(const ClassicDeviceRecord& d, std::uint8_t* flags)
{
    const std::uint32_t pages = d.eeprom_page_count > 128 ? 128 : d.eeprom_page_count;
    for (std::uint32_t j = 0; j < pages; ++j) {
        const std::string command = d2_read_eeprom_security_command(d, static_cast<int>(j));
        std::string reply;
        if (exchange(command, 3, reply) != 1)
            return kErrCommunicate;
        const std::size_t n = command.size();
        const char first = reply[n];
        if (first == 'S' || first == 'N' || first == 'P')
            return status_char_code(first);
        // This reply alone calls a missing line end a failed read of the part.
        std::uint8_t v = 0;
        if (reply[n + 2] != '.' || read_more(2, reply) != 1 || !hex_pair(reply[n], reply[n + 1], v) ||
            !line_end(reply[n + 3]) || !line_end(reply[n + 4]))
            return out_of_step(kErrOperationFailed);
        for (int k = 0; k < 3; ++k)
            flags[3 * j + static_cast<std::uint32_t>(k)] = static_cast<std::uint8_t>((v >> k) & 1);
    }
    return 1;
}

int d2_program_eeprom_security_bit(const ClassicDeviceRecord& d, int bit)
{
    return send_command(d2_program_eeprom_security_bit_command(d, bit));
}

int d2_read_addl_security(const ClassicDeviceRecord& d, std::uint8_t& value)
{
    value = 0;
    if (!d.status_byte_readable)
        return 1;
    return send_value_command(d2_read_addl_security_command(d), value);
}

int d2_write_addl_security(const ClassicDeviceRecord& d, std::uint8_t value)
{
    return send_command(d2_write_addl_security_command(d, value));
}

int d2_program_addl_security(const ClassicDeviceRecord& d, const int flags[3])
{
    std::uint8_t v = 0;
    const int r = d2_read_addl_security(d, v);
    if (r != 1)
        return r;
    for (int k = 0; k < 3; ++k)
        if (flags[k])
            v = static_cast<std::uint8_t>(v | 1u << (5 + k));
    return d2_write_addl_security(d, v);
}

int d2_program_status_bit(const ClassicDeviceRecord& d, int value)
{
    std::uint8_t v = 0;
    const int r = d2_read_addl_security(d, v);
    if (r != 1)
        return r;
    return d2_write_addl_security(d, static_cast<std::uint8_t>((v & 0xFE) | (value & 1)));
}

int d2_read_boot_vector(const ClassicDeviceRecord& d, unsigned& vector)
{
    if (!d.boot_vector_readable) {
        vector = d.reset_boot_vector;
        return 1;
    }
    std::uint8_t v = 0;
    const int r = send_value_command(d2_read_configuration_command(d, 0x02), v);
    if (r == 1)
        vector = v;
    return r;
}

int d2_program_boot_vector(const ClassicDeviceRecord& d, unsigned vector)
{
    return send_command(d2_program_boot_vector_command(d, static_cast<std::uint8_t>(vector & 0xFF)));
}

int read_configuration(const ClassicDeviceRecord& d, unsigned& value)
{
    if (record_dialect(d) == kDialect1) {
        value = 255;
        return 1;
    }
    std::uint8_t low = 0, high = 0;
    int r = send_value_command(d2_read_configuration_command(d, 0x00), low);
    if (r == 1 && d.configuration_bytes != 1)
        r = send_value_command(d2_read_configuration_command(d, 0x01), high);
    if (r == 1)
        value = static_cast<unsigned>(high) << 8 | low;
    return r;
}

bool d1_configuration_record_part(const ClassicDeviceRecord& d)
{
    switch (d.number) {
    case 23: case 49: case 55: case 56: case 57: case 58: return true;
    default: return false;
    }
}

int program_configuration(const ClassicDeviceRecord& d, unsigned value)
{
    const std::uint8_t low = static_cast<std::uint8_t>(value & 0xFF);
    const std::uint8_t high = static_cast<std::uint8_t>(value >> 8 & 0xFF);
    if (record_dialect(d) == kDialect2) {
        int r = send_command(d2_program_configuration_command(d, 0x00, low));
        if (r == 1 && d.configuration_bytes != 1)
            r = send_command(d2_program_configuration_command(d, 0x01, high));
        return r;
    }
    if (!d1_configuration_record_part(d))
        return kErrNotSupported;
    // Selectors 1 and 2 carry a second byte: the value's high byte.
    if (low == 1 || low == 2)
        return send_command(hex_command(0x0C, 0, {low, high}));
    return send_command(hex_command(0x0C, 0, {low}));
}

} // namespace qz
