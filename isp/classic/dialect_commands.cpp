#include "isp/classic/dialect_commands.h"

#include "isp/classic/command_templates.h"
#include "isp/classic/hex_command.h"
#include "isp/classic/settings_writes.h"
#include "isp/classic/transmission.h"
#include "isp/core/debuglog.h"
#include "isp/core/errorcodes.h"
#include "isp/core/serialport.h"

#include <cstdio>

namespace qz {

namespace {

// Erases take long; the reads after them are back on the short time-outs.
int under_long_timeouts(const std::string& command)
{
    if (command.empty())
        return kErrOperationFailed;
    use_long_timeouts();
    const int r = send_command(command);
    use_short_timeouts();
    return r;
}

// Erases that reach address 0 first set the status byte, so that the boot
// loader keeps the part after a reset; every caller gets that step here.
template <typename StatusStep>
int erase_after_status(const std::string& command, bool reaches_zero, StatusStep set_status)
{
    if (command.empty())
        return kErrOperationFailed;
    if (reaches_zero) {
        const int r = set_status();
        if (r != 1)
            return r;
    }
    return under_long_timeouts(command);
}

} // namespace

int send_reset(int method)
{
    const std::string command = reset_command(method);
    if (command.empty())
        return 1;
    std::string reply;
    switch (method) {
    case 0:
        if (exchange(command, 3, reply) != 1)
            return kErrCommunicate;
        sleep_ms(50);
        purge_port(0);
        return status_char_code(reply[command.size() + 2]);
    case 1:
        if (exchange(command, 1, reply) != 1)
            return kErrCommunicate;
        return status_char_code(reply[command.size()]);
    default: {
        begin_command();
        if (!port_write("$", 1) || read_more(1, reply) != 1)
            return kErrCommunicate;
        return reply[0] == '$' ? 1 : kErrOperationFailed;
    }
    }
}

int read_bootloader_version(int method, std::string& text)
{
    text.clear();
    const std::string command = bootloader_version_command(method);
    if (command.empty())
        return 1;
    char buf[32];
    if (method == 1) {
        std::string reply;
        if (exchange(command, 5, reply) != 1)
            return kErrCommunicate;
        const std::size_t n = command.size();
        std::uint8_t isp = 0, iap = 0;
        if (reply[n + 4] != '.' || !hex_pair(reply[n], reply[n + 1], isp) || !hex_pair(reply[n + 2], reply[n + 3], iap))
            return out_of_step(kErrOperationFailed);
        if (read_more(2, reply) != 1)
            return kErrCommunicate;
        if (!line_end(reply[n + 5]) || !line_end(reply[n + 6]))
            return out_of_step(kErrOperationFailed);
        std::snprintf(buf, sizeof buf, "ISP:%2.2X IAP:%2.2X", isp, iap);
        text = buf;
        return 1;
    }
    std::uint8_t v = 0;
    const int r = send_value_command(command, v);
    if (r != 1)
        return r;
    std::snprintf(buf, sizeof buf, "%2.2X", v);
    text = buf;
    return 1;
}

int read_signature(const ClassicDeviceRecord& d, std::uint8_t* bytes)
{
    for (int s = 0; s < d.signature_bytes; ++s) {
        const std::string command =
            record_dialect(d) == kDialect2 ? d2_read_signature_command(d, s) : d1_read_signature_command(d, s);
        const int r = send_value_command(command, bytes[s]);
        if (r != 1)
            return r;
    }
    return 1;
}

int d1_read_status_byte(const ClassicDeviceRecord& d, std::uint8_t& value)
{
    value = 0;
    if (!d.status_byte_readable)
        return 1;
    return send_value_command(d1_read_byte_command(d, 0x01), value);
}

int d1_read_boot_vector(const ClassicDeviceRecord& d, unsigned& vector)
{
    if (!d.boot_vector_readable) {
        vector = d.reset_boot_vector;
        return 1;
    }
    std::uint8_t low = 0, high = 0;
    int r = send_value_command(d1_read_byte_command(d, 0x02), low);
    if (r == 1 && d.flash_size > 0x10000)
        r = send_value_command(d1_read_byte_command(d, 0x03), high);
    if (r == 1)
        vector = static_cast<unsigned>(high) << 8 | low;
    return r;
}

int d1_program_status_byte(const ClassicDeviceRecord& d, std::uint8_t value)
{
    if (!d.status_byte_programmable)
        return 1;
    std::uint8_t now = 0;
    if (d1_read_status_byte(d, now) == 1 && d.status_byte_readable && now == value) {
        debug_log(kLogDebug, "Status byte already has the desired value. Skipping programming...");
        return 1;
    }
    return send_command(d1_program_status_byte_command(d, value));
}

int d1_program_boot_vector(const ClassicDeviceRecord& d, unsigned vector)
{
    if (!d.boot_vector_programmable)
        return 1;
    int r = send_command(d1_program_boot_vector_command(d, 0x01, static_cast<std::uint8_t>(vector & 0xFF)));
    if (r == 1 && d.flash_size > 0x10000)
        r = send_command(d1_program_boot_vector_command(d, 0x02, static_cast<std::uint8_t>(vector >> 8)));
    return r;
}

int d1_erase_bv_sb(const ClassicDeviceRecord& d)
{
    if (!d.bv_sb_erasable)
        return 1;
    const std::string command = d1_erase_bv_sb_command(d);
    int r = 1;
    use_long_timeouts();
    // A part that did not answer one send will not answer the next: the
    // repeats would only multiply the long time-out.
    for (int i = 0; i < (d.repeat_erase ? 6 : 1) && r != kErrCommunicate; ++i)
        r = send_command(command);
    use_short_timeouts();
    return r;
}

int d1_erase_block(const ClassicDeviceRecord& d, int block)
{
    return erase_after_status(d1_erase_block_command(d, block), block == 0,
                              [&d] { return d1_program_status_byte(d, 0xFF); });
}

int d1_erase_page(const ClassicDeviceRecord& d, int page)
{
    return erase_after_status(d1_erase_page_command(d, page), page == 0,
                              [&d] { return d1_program_status_byte(d, 0xFF); });
}

int d2_erase_sector(const ClassicDeviceRecord& d, int block)
{
    return erase_after_status(d2_erase_sector_command(d, block), block == 0,
                              [&d] { return d2_write_status_bit(d, 1); });
}

int d2_erase_page(const ClassicDeviceRecord& d, int page)
{
    return erase_after_status(d2_erase_page_command(d, page), page == 0,
                              [&d] { return d2_write_status_bit(d, 1); });
}

int d2_erase_all(const ClassicDeviceRecord& d)
{
    if (!d.erase_all_command)
        return 1;
    return under_long_timeouts(d2_erase_all_command(d));
}

int d2_program_security_bit(const ClassicDeviceRecord& d, int bit)
{
    const int r = send_command(d2_program_security_bit_command(d, bit));
    return r == 1 || r == kErrCommunicate ? r : kErrOperationFailed;
}

} // namespace qz
