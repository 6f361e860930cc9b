#include "isp/classic/readback_commands.h"

#include "isp/classic/command_templates.h"
#include "isp/classic/hex_command.h"
#include "isp/classic/transmission.h"
#include "isp/core/errorcodes.h"
#include "isp/core/serialport.h"

#include <algorithm>
#include <cstddef>

namespace qz {

namespace {

// The families whose reading commands end with LF alone; the others end a
// blank check with CR LF, and some of them may refuse a read in the place
// of the last echoed character.
bool lf_family(const ClassicDeviceRecord& d)
{
    switch (d.family) {
    case 1: case 4: case 7: case 8: case 10: case 11: return true;
    default: return false;
    }
}

bool refusing_family(const ClassicDeviceRecord& d)
{
    switch (d.family) {
    case 0: case 2: case 3: case 5: case 6: case 9: return true;
    default: return false;
    }
}

bool refusal(char c) { return c == 'S' || c == 'N' || c == 'P'; }

bool above_64k(const ClassicDeviceRecord& d) { return d.flash_size > 0x10000; }

// A reply character that is no hex digit means the reply is not what the
// part was asked for.
bool hex_digits(const std::string& s, std::size_t at, std::size_t count, std::uint32_t& value)
{
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t b = 0;
        if (!hex_pair('0', s[at + i], b))
            return false;
        value = value << 4 | b;
    }
    return true;
}

} // namespace

int d1_read_memory(const ClassicDeviceRecord& d, std::uint32_t start, std::uint32_t end, std::uint8_t* out)
{
    if (end < start || end - start >= kD1ReadMax)
        return kErrOperationFailed;
    const std::string command = d1_read_memory_command(d, start, end);
    const std::size_t n = command.size();
    std::string reply;
    if (exchange_unchecked(command, 0, reply) != 1)
        return kErrCommunicate;
    // The echo is the command's, but for a refusal in the place of its
    // last character.
    const char last = reply[n - 1];
    const bool refused = refusing_family(d) && refusal(last);
    if (!echo_matches(command, reply, n - 1) || (last != command[n - 1] && !refused))
        return out_of_step(kErrCommunicate);
    if (refused) {
        const int code = status_char_code(last);
        const int r = read_more(2, reply);
        sleep_ms(100);
        purge_port(0);
        return r == 1 ? code : kErrCommunicate;
    }
    // Lines of 16 bytes: line start and address, 2 digits a byte, one line
    // end; a last partial line is framed the same; one more character ends
    // the reply.
    const std::size_t digits = above_64k(d) ? 6 : 4;
    const std::size_t head = digits + 2;
    const std::size_t count = end - start + 1;
    const std::size_t full = count / 16, rest = count % 16;
    const std::size_t total = full * (head + 33) + (rest ? head + 2 * rest + 1 : 0) + 1;
    const std::size_t at = reply.size();
    if (read_more(total, reply) != 1)
        return kErrCommunicate;
    // Each line must be the one asked for at its place: its line start, its
    // own address and "=", and its line end. Digits of any other text are
    // no data of this read.
    std::size_t pos = at;
    for (std::size_t line = 0; line * 16 < count; ++line) {
        const std::size_t bytes = count - line * 16 < 16 ? count - line * 16 : 16;
        std::uint32_t address = 0;
        if (!line_end(reply[pos]) || !hex_digits(reply, pos + 1, digits, address) ||
            address != start + 16 * line || reply[pos + 1 + digits] != '=')
            return out_of_step(kErrOperationFailed);
        pos += head;
        for (std::size_t i = 0; i < bytes; ++i, pos += 2) {
            std::uint32_t v = 0;
            if (!hex_digits(reply, pos, 2, v))
                return out_of_step(kErrOperationFailed);
            out[line * 16 + i] = static_cast<std::uint8_t>(v);
        }
        if (!line_end(reply[pos++]))
            return out_of_step(kErrOperationFailed);
    }
    return 1;
}

int d1_blank_check(const ClassicDeviceRecord& d, std::uint32_t start, std::uint32_t end, std::uint32_t& first)
{
    first = 0;
    const std::string command = d1_blank_check_command(d, start, end);
    const std::size_t line_ends = lf_family(d) ? 1 : 2;
    const std::size_t n = command.size();
    use_long_timeouts();
    std::string reply;
    int r = exchange(command, 1, reply);
    if (r == 1) {
        const char c = reply[n];
        if (c == '.' || c == 'X' || refusal(c)) {
            r = read_more(1 + line_ends, reply);
            if (r == 1 && c == '.' && !std::all_of(reply.begin() + static_cast<std::ptrdiff_t>(n + 1), reply.end(), line_end))
                r = out_of_step(kErrOperationFailed);
            else if (r == 1)
                r = c == '.' ? kBlank : status_char_code(c);
        } else {
            const std::size_t digits = above_64k(d) ? 6 : 4;
            r = read_more(digits - 1 + line_ends, reply);
            // The address and then only the line end.
            if (r == 1 && (!hex_digits(reply, n, digits, first) ||
                           !std::all_of(reply.begin() + static_cast<std::ptrdiff_t>(n + digits), reply.end(), line_end)))
                r = out_of_step(kErrOperationFailed);
            else if (r == 1)
                r = kNotBlank;
        }
    }
    use_short_timeouts();
    return r;
}

int d2_blank_check(std::uint32_t start)
{
    std::uint32_t value = 0;
    const int r = send_crc_command(d2_blank_check_command(start), value);
    if (r != 1)
        return r;
    return value == 0 ? kBlank : kNotBlank;
}

int d2_read_misr(std::uint16_t start, std::uint16_t end, std::uint8_t* out16)
{
    const std::string command = d2_read_misr_command(start, end);
    const std::size_t at = command.size() - 2;
    std::string reply;
    if (send_crlf_command(command, reply) != 1)
        return kErrCommunicate;
    const char c = reply[at];
    if (c == 'X' || refusal(c)) {
        if (read_more(3, reply) != 1)
            return kErrCommunicate;
        return status_char_code(c);
    }
    // 32 digits of the 16 bytes, then three characters that end the line.
    if (read_more(34, reply) != 1)
        return kErrCommunicate;
    sleep_ms(100);
    purge_port(0);
    for (int i = 0; i < 16; ++i) {
        std::uint32_t v = 0;
        if (!hex_digits(reply, at + 2 * static_cast<std::size_t>(i), 2, v))
            return out_of_step(kErrOperationFailed);
        out16[i] = static_cast<std::uint8_t>(v);
    }
    if (!ends_value_line(reply, at + 32))
        return out_of_step(kErrOperationFailed);
    return 1;
}

} // namespace qz
