#include "isp/classic/transmission.h"

#include "isp/classic/hex_command.h"
#include "isp/core/errorcodes.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"

namespace qz {

bool half_duplex()
{
    return session().halfDuplex != 0;
}

namespace {

// A reply that missed its time-out may still be on its way: it is let in
// and dropped, so that it cannot pass for the answer to a retry or to the
// next command.
int late_reply_dropped()
{
    sleep_ms(kLateReplyMs);
    purge_port(0);
    return kErrCommunicate;
}

} // namespace

int read_more(std::size_t count, std::string& reply)
{
    if (count == 0)
        return 1;
    const std::size_t at = reply.size();
    reply.resize(at + count);
    if (half_duplex()) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!port_read(&reply[at + i], 1, 0)) {
                reply.resize(at + i);
                return late_reply_dropped();
            }
        }
        return 1;
    }
    if (!port_read(&reply[at], count, 0)) {
        reply.resize(at);
        return late_reply_dropped();
    }
    return 1;
}

int exchange(const std::string& command, std::size_t extra, std::string& reply, std::size_t split_at)
{
    reply.clear();
    // Whatever came in since the last reply belongs to no command sent now.
    purge_port(0);
    if (half_duplex()) {
        for (char c : command) {
            if (!port_write(&c, 1))
                return kErrCommunicate;
            if (read_more(1, reply) != 1)
                return kErrCommunicate;
        }
        return read_more(extra, reply);
    }
    if (split_at > 0 && split_at < command.size()) {
        if (!port_write(command.data(), split_at))
            return kErrCommunicate;
        sleep_ms(1);
        if (!port_write(command.data() + split_at, command.size() - split_at))
            return kErrCommunicate;
    } else if (!port_write(command.data(), command.size())) {
        return kErrCommunicate;
    }
    return read_more(command.size() + extra, reply);
}

int send_command(const std::string& command)
{
    std::string reply;
    if (exchange(command, 3, reply) != 1)
        return kErrCommunicate;
    return status_char_code(reply[command.size()]);
}

int send_value_command(const std::string& command, std::uint8_t& value)
{
    std::string reply;
    if (exchange(command, 3, reply) != 1)
        return kErrCommunicate;
    const std::size_t n = command.size();
    const char first = reply[n];
    if (first == 'S' || first == 'N' || first == 'P')
        return status_char_code(first);
    if (reply[n + 2] != '.')
        return kErrOperationFailed;
    if (read_more(2, reply) != 1)
        return kErrCommunicate;
    // Anything but two digits is no value, however it ends.
    if (!hex_pair(reply[n], reply[n + 1], value))
        return kErrOperationFailed;
    return 1;
}

int send_crlf_command(const std::string& command, std::string& reply)
{
    // The record, then CR LF; the part answers in the place of the CR's echo.
    const std::size_t record = command.size() >= 2 ? command.size() - 2 : 0;
    reply.clear();
    if (half_duplex()) {
        if (exchange(command.substr(0, record + 1), 0, reply) != 1)
            return kErrCommunicate;
        if (!port_write(&command[record + 1], 1))
            return kErrCommunicate;
        return 1;
    }
    purge_port(0);
    if (!port_write(command.data(), command.size()))
        return kErrCommunicate;
    return read_more(record + 1, reply);
}

int send_crc_command(const std::string& command, std::uint32_t& value)
{
    const std::size_t record = command.size() >= 2 ? command.size() - 2 : 0;
    std::string reply;
    if (send_crlf_command(command, reply) != 1)
        return kErrCommunicate;
    const char c = reply[record];
    if (c == 'X' || c == 'S' || c == 'N' || c == 'P') {
        if (read_more(3, reply) != 1)
            return kErrCommunicate;
        return status_char_code(c); // "X" maps to -18 for commands
    }
    if (read_more(11, reply) != 1)
        return kErrCommunicate;
    sleep_ms(100);
    purge_port(0);
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        std::uint8_t b = 0;
        if (!hex_pair(reply[record + 2 * i], reply[record + 2 * i + 1], b))
            return kErrOperationFailed;
        v = (v << 8) | b;
    }
    value = v;
    return 1;
}

} // namespace qz
