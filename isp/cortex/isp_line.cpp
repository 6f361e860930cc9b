#include "isp/cortex/isp_line.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "isp/core/debuglog.h"
#include "isp/cortex/devicetable.h"
#include "isp/cortex/isp_commands.h"
#include "isp/cortex/isp_reply.h"
#include "isp/cortex/isp_step.h"
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
        // The LF of a line before, whose CR ended it.
        if (byte == '\n' && pos == 0)
            return kEchoMore;
        if (byte == '\r') {
            if (!selected_device().crlf)
                return kEchoDone;
            get_comm_timeouts(&s.savedReadTimeoutMs, &s.savedWriteTimeoutMs);
            set_comm_timeouts(kLineFeedWaitMs, s.savedWriteTimeoutMs);
            s.echoLineFeedState = 1;
            return kEchoMore;
        }
        // No echo holds a NUL; one of raw bytes would cut the line short.
        if (byte == '\0' && raw_may_follow())
            return kEchoMore;
        if (pos + 1 >= capacity && raw_may_follow() && capacity > 2) {
            // Raw bytes: only the line's end can be an echo.
            const std::size_t keep = (capacity - 1) / 2;
            std::memmove(reply, reply + pos - keep, keep);
            pos = keep;
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

// What a whole line read where an echo was awaited is.
enum class EchoVerdict { kOurs, kDropped, kWrong };

// `expected` null: the first line is taken as it is. `settled_same` tells
// that an owed echo equal to ours was settled on the way.
EchoVerdict judge_echo(const char* line, const char* expected, bool& settled_same)
{
    if (expected == nullptr)
        return EchoVerdict::kOurs;
    if (settle_owed_echo(line)) {
        if (line_is(line, expected))
            settled_same = true;
        debug_log(kLogDebug, "Echo of an earlier command dropped");
        return EchoVerdict::kDropped;
    }
    if (line_is(line, expected))
        return EchoVerdict::kOurs;
    if (!line_out_of_step()) {
        debug_log(kLogDebug, "Echo does not match the command sent");
        return EchoVerdict::kWrong;
    }
    debug_log(kLogDebug, "Line of an earlier answer dropped");
    return EchoVerdict::kDropped;
}

// Reads lines until our echo; `written` characters of the line are still to
// be written one by one after each echo character (half duplex).
class EchoScan {
public:
    EchoScan(char* reply, std::size_t capacity, const char* expected)
        : reply_(reply), capacity_(capacity), expected_(expected)
    {
    }

    // One character more; kEchoDone once our echo is complete.
    EchoStep step()
    {
        const EchoStep s = read_echo_char(reply_, capacity_, pos_, deadline_);
        if (s != kEchoDone)
            return s == kEchoFailed ? fail() : kEchoMore;
        if (full_duplex())
            log_bytes(kLogRx, reply_, pos_);
        switch (judge_echo(reply_, expected_, settledSame_)) {
        case EchoVerdict::kOurs:
            if (expected_ != nullptr)
                back_in_step();
            return kEchoDone;
        case EchoVerdict::kWrong:
            mark_out_of_step();
            return kEchoFailed;
        case EchoVerdict::kDropped:
            break;
        }
        pos_ = 0;
        reply_[0] = '\0';
        return kEchoMore;
    }

    EchoStep finish()
    {
        EchoStep s = kEchoMore;
        while (s == kEchoMore)
            s = step();
        return s;
    }

private:
    EchoStep fail()
    {
        if (expected_ != nullptr) {
            // Our echo may still come. When an owed echo equal to ours came
            // and then nothing, that one was ours: owing it again would make
            // every retry of the command take its predecessor's echo.
            if (settledSame_)
                forget_owed_echoes();
            else
                owe_echo(expected_);
        }
        mark_out_of_step();
        return kEchoFailed;
    }

    char* reply_;
    std::size_t capacity_;
    const char* expected_;
    std::size_t pos_ = 0;
    bool settledSame_ = false;
    const ReadDeadline deadline_;
};

int send_framed(char* reply, std::size_t capacity, const char* line, std::size_t length, bool checked)
{
    if (reply != nullptr && capacity == 0)
        reply = nullptr;
    if (reply != nullptr)
        reply[0] = '\0';
    if (reply != nullptr && checked && !echo_known_on() && restore_echo() != 1)
        return 0;
    // Without an echo to mark where the answer starts, and in half duplex,
    // where each character's echo is awaited, stale bytes must be gone first.
    if ((reply == nullptr || !full_duplex()) && line_out_of_step() && !let_line_go_quiet())
        return 0;

    // The echo to await: the line without its terminator.
    char expected[kCommandLineSize];
    const std::size_t end_length = std::strlen(line_terminator());
    const std::size_t text_length = length >= end_length ? length - end_length : length;
    std::snprintf(expected, sizeof expected, "%.*s", static_cast<int>(text_length), line);

    if (full_duplex() || reply == nullptr) {
        if (!port_write(line, length))
            return 0;
        if (reply == nullptr)
            return 1;
        EchoScan scan(reply, capacity, checked ? expected : nullptr);
        return scan.finish() == kEchoDone ? 1 : 0;
    }

    EchoScan scan(reply, capacity, checked ? expected : nullptr);
    EchoStep step = kEchoMore;
    for (std::size_t i = 0; i < length; ++i) {
        if (!port_write(line + i, 1))
            return 0;
        if (step == kEchoMore) {
            step = scan.step();
            if (step == kEchoFailed)
                return 0;
        }
    }
    if (step == kEchoMore)
        step = scan.finish();
    return step == kEchoDone ? 1 : 0;
}

int format_and_send(char* reply, std::size_t capacity, bool checked, const char* format, std::va_list args)
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
    return send_framed(reply, capacity, line, static_cast<std::size_t>(n) + end_length, checked);
}

int format_and_send_list(char* reply, std::size_t capacity, bool checked, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
int format_and_send_list(char* reply, std::size_t capacity, bool checked, const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    const int result = format_and_send(reply, capacity, checked, format, args);
    va_end(args);
    return result;
}

} // namespace

const char* line_terminator()
{
    return selected_device().crlf ? "\r\n" : "\r";
}

int send_command_v(char* reply, std::size_t capacity, const char* format, std::va_list args)
{
    return format_and_send(reply, capacity, true, format, args);
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

int send_handshake_line(char* reply, std::size_t capacity, const char* text)
{
    back_in_step();
    echo_is_on();
    return format_and_send_list(reply, capacity, false, "%s", text);
}

void abort_command()
{
    const std::uint8_t esc = 0x1B;
    port_write(&esc, 1);
    sleep_ms(100);
    purge_port(0);
    mark_out_of_step();
}

} // namespace qz
