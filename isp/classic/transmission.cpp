#include "isp/classic/transmission.h"

#include "isp/classic/classic_state.h"
#include "isp/classic/hex_command.h"
#include "isp/core/debuglog.h"
#include "isp/core/errorcodes.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"

#include <algorithm>
#include <chrono>

namespace qz {

bool half_duplex()
{
    return session().halfDuplex != 0;
}

namespace {

// The part answers a command in one burst; a gap this long (an eighth of
// the short time-out) means it has said all it had for the earlier one.
std::int32_t quiet_gap_ms()
{
    return std::max<std::int32_t>(session().shortTimeoutMs / 8, 10);
}

// A reply that missed its time-out, or the rest of one that was not ours,
// may still be on its way: it is let in until the line is quiet and
// dropped, so that it cannot pass for the answer to a retry or to the next
// command. A line that never goes quiet is given up on after one short
// time-out.
void let_line_go_quiet()
{
    debug_log(kLogDebug, "Line out of step - dropping what is left of an earlier answer");
    sleep_ms(kLateReplyMs);
    std::int32_t read_ms = 0, write_ms = 0;
    get_comm_timeouts(&read_ms, &write_ms);
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::milliseconds(std::max<std::int32_t>(session().shortTimeoutMs, 0));
    char buf[64];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0 || !port_is_open())
            break;
        set_comm_timeouts(static_cast<std::int32_t>(std::min<long long>(quiet_gap_ms(), left)), write_ms);
        unsigned got = 0;
        if (!port_receive(buf, sizeof buf, &got) || got == 0)
            break;
    }
    set_comm_timeouts(read_ms, write_ms);
    purge_port(0);
    classic_state().lineOutOfStep = false;
}

} // namespace

int out_of_step(int code)
{
    classic_state().lineOutOfStep = true;
    return code;
}

void begin_command()
{
    if (classic_state().lineOutOfStep)
        let_line_go_quiet();
    // Whatever came in since the last reply belongs to no command sent now.
    purge_port(0);
}

bool echo_matches(const std::string& command, const std::string& reply, std::size_t count)
{
    return count <= command.size() && count <= reply.size() && reply.compare(0, count, command, 0, count) == 0;
}

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
                return out_of_step(kErrCommunicate);
            }
        }
        return 1;
    }
    if (!port_read(&reply[at], count, 0)) {
        reply.resize(at);
        return out_of_step(kErrCommunicate);
    }
    return 1;
}

namespace {

int send_and_read(const std::string& command, std::size_t extra, std::string& reply, std::size_t split_at,
                  bool check_echo)
{
    reply.clear();
    begin_command();
    if (half_duplex()) {
        bool echoed = true;
        for (std::size_t i = 0; i < command.size(); ++i) {
            if (!port_write(&command[i], 1))
                return kErrCommunicate;
            if (read_more(1, reply) != 1)
                return kErrCommunicate;
            echoed = echoed && reply[i] == command[i];
        }
        // A character that was not its echo belongs to something else:
        // nothing after it is this command's answer. The command still goes
        // out whole, so that the part is not left inside a record.
        if (check_echo && !echoed)
            return out_of_step(kErrCommunicate);
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
    if (read_more(command.size() + extra, reply) != 1)
        return kErrCommunicate;
    if (check_echo && !echo_matches(command, reply, command.size()))
        return out_of_step(kErrCommunicate);
    return 1;
}

} // namespace

int exchange(const std::string& command, std::size_t extra, std::string& reply, std::size_t split_at)
{
    return send_and_read(command, extra, reply, split_at, true);
}

int exchange_unchecked(const std::string& command, std::size_t extra, std::string& reply)
{
    return send_and_read(command, extra, reply, 0, false);
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
        return out_of_step(kErrOperationFailed);
    if (read_more(2, reply) != 1)
        return kErrCommunicate;
    // Anything but two digits and a line end is no value, however it ends.
    std::uint8_t v = 0;
    if (!hex_pair(reply[n], reply[n + 1], v) || !line_end(reply[n + 3]) || !line_end(reply[n + 4]))
        return out_of_step(kErrOperationFailed);
    value = v;
    return 1;
}

int send_crlf_command(const std::string& command, std::string& reply)
{
    // The record, then CR LF; the part answers in the place of the CR's echo.
    const std::size_t record = command.size() >= 2 ? command.size() - 2 : 0;
    reply.clear();
    if (half_duplex()) {
        if (exchange_unchecked(command.substr(0, record + 1), 0, reply) != 1)
            return kErrCommunicate;
        if (!echo_matches(command, reply, record))
            return out_of_step(kErrCommunicate);
        if (!port_write(&command[record + 1], 1))
            return kErrCommunicate;
        return 1;
    }
    begin_command();
    if (!port_write(command.data(), command.size()))
        return kErrCommunicate;
    if (read_more(record + 1, reply) != 1)
        return kErrCommunicate;
    if (!echo_matches(command, reply, record))
        return out_of_step(kErrCommunicate);
    return 1;
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
            return out_of_step(kErrOperationFailed);
        v = (v << 8) | b;
    }
    if (!ends_value_line(reply, record + 8))
        return out_of_step(kErrOperationFailed);
    value = v;
    return 1;
}

} // namespace qz
