#include "isp/cortex/isp_line.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "isp/core/debuglog.h"
#include "isp/cortex/devicetable.h"
#include "isp/cortex/isp_reply.h"
#include "isp/cortex/selecteddevice.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"

namespace qz {

namespace {

enum EchoStep { kEchoMore, kEchoDone, kEchoFailed };

bool full_duplex() { return session().halfDuplex == 0; }

void restore_saved_timeouts()
{
    SessionRecord& s = session();
    set_comm_timeouts(s.savedReadTimeoutMs, s.savedWriteTimeoutMs);
}

// Reads one echo character into reply[pos]. The state (waiting for the LF
// after a CR on CR LF parts) lives in the driver state, so it survives
// between the calls of one line.
// The echo's time-out bounds the whole echo; the short line-feed wait after
// its CR is a time-out of its own.
EchoStep read_echo_char(char* reply, std::size_t capacity, std::size_t& pos, const ReadDeadline& deadline)
{
    SessionRecord& s = session();
    std::uint8_t byte = 0;
    const int got = s.echoLineFeedState == 0 ? port_read_within(&byte, 1, 1, deadline) : port_read(&byte, 1, 1);
    if (!got) {
        if (full_duplex())
            log_bytes(kLogRx, reply, pos);
        if (s.echoLineFeedState != 0)
            restore_saved_timeouts();
        s.echoLineFeedState = 0;
        return kEchoFailed;
    }
    if (s.echoLineFeedState == 0) {
        if (byte == '\r') {
            if (!selected_device().crlf)
                return kEchoDone;
            get_comm_timeouts(&s.savedReadTimeoutMs, &s.savedWriteTimeoutMs);
            set_comm_timeouts(kLineFeedWaitMs, s.savedWriteTimeoutMs);
            s.echoLineFeedState = 1;
            return kEchoMore;
        }
        if (pos + 1 >= capacity) {
            if (full_duplex())
                log_bytes(kLogRx, reply, pos);
            debug_logf("Echo longer than %u characters\n", static_cast<unsigned>(capacity - 1));
            return kEchoFailed;
        }
        reply[pos++] = static_cast<char>(byte);
        reply[pos] = '\0';
        return kEchoMore;
    }
    restore_saved_timeouts();
    s.echoLineFeedState = 0;
    keep_unless_line_feed(byte);
    return kEchoDone;
}

EchoStep finish_echo(char* reply, std::size_t capacity, std::size_t& pos, const ReadDeadline& deadline)
{
    EchoStep step = kEchoMore;
    while (step == kEchoMore)
        step = read_echo_char(reply, capacity, pos, deadline);
    if (step == kEchoDone && full_duplex())
        log_bytes(kLogRx, reply, pos);
    return step;
}

void wait_out_late_reply()
{
    SessionRecord& s = session();
    if (!s.lateReplyOwed)
        return;
    s.lateReplyOwed = 0;
    char late[kReplyLineSize];
    if (read_response_line(late, sizeof late))
        debug_log(kLogDebug, "Late reply of the last command dropped");
    purge_port(0);
}

int send_framed(char* reply, std::size_t capacity, const char* line, std::size_t length)
{
    wait_out_late_reply();
    if (reply != nullptr && capacity == 0)
        reply = nullptr;
    if (reply != nullptr)
        reply[0] = '\0';
    std::size_t pos = 0;
    const ReadDeadline deadline;

    if (full_duplex() || reply == nullptr) {
        if (!port_write(line, length))
            return 0;
        if (reply == nullptr)
            return 1;
        return finish_echo(reply, capacity, pos, deadline) == kEchoDone ? 1 : 0;
    }

    EchoStep step = kEchoMore;
    for (std::size_t i = 0; i < length; ++i) {
        if (!port_write(line + i, 1))
            return 0;
        if (step == kEchoMore) {
            step = read_echo_char(reply, capacity, pos, deadline);
            if (step == kEchoFailed)
                return 0;
        }
    }
    if (step == kEchoMore)
        step = finish_echo(reply, capacity, pos, deadline);
    return step == kEchoDone ? 1 : 0;
}

} // namespace

const char* line_terminator()
{
    return selected_device().crlf ? "\r\n" : "\r";
}

int send_command_v(char* reply, std::size_t capacity, const char* format, std::va_list args)
{
    if (reply != nullptr && capacity > 0)
        reply[0] = '\0';
    char line[kCommandLineSize];
    const char* end = line_terminator();
    const std::size_t end_length = std::strlen(end);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    if (n < 0 || static_cast<std::size_t>(n) + end_length >= sizeof line) {
        debug_log(kLogDebug, "Command line too long");
        return 0;
    }
    std::memcpy(line + n, end, end_length + 1);
    return send_framed(reply, capacity, line, static_cast<std::size_t>(n) + end_length);
}

int send_command(char* reply, std::size_t capacity, const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    const int result = send_command_v(reply, capacity, format, args);
    va_end(args);
    return result;
}

int send_line(char* reply, std::size_t capacity, const char* text)
{
    return send_command(reply, capacity, "%s", text);
}

void abort_command()
{
    const std::uint8_t esc = 0x1B;
    port_write(&esc, 1);
    sleep_ms(100);
    purge_port(0);
}

void abort_missing_reply()
{
    abort_command();
    session().lateReplyOwed = 1;
}

} // namespace qz
