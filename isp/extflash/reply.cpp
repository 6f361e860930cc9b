#include "isp/extflash/reply.h"

#include <cstring>
#include <string>

#include "isp/core/debuglog.h"
#include "isp/core/serialport.h"

namespace qz::ext {

namespace {

struct ReplyWord {
    int code;
    const char* line;
};

const ReplyWord kReplyWords[] = {
    {kReplyOk, "OK"},
    {kReplyIdentity, "KELDMARVOS"},
    {kReplyProgOk, "PROGOK"},
    {kReplyVerify, "VERIFY"},
    {kReplyError, "ERROR"},
};

// After the CR: one more byte within the LF wait.
void take_line_feed()
{
    std::int32_t readMs = 0;
    std::int32_t writeMs = 0;
    get_comm_timeouts(&readMs, &writeMs);
    set_comm_timeouts(kLineFeedWaitMs, writeMs);
    unsigned char next = 0;
    const int got = port_read(&next, 1, 1);
    set_comm_timeouts(readMs, writeMs);
    if (!got) {
        debug_log(kLogDebug, "Line feed missing, continuing...");
        return;
    }
    if (next == '\n')
        return;
    debug_log(kLogDebug, "Line feed missing, pushing character back to rx buffer");
    if (!push_back_byte(next))
        debug_log(kLogDebug, "Warning: failed to push character back (push back buffer full)");
}

} // namespace

int loader_read_reply_line(char* buffer)
{
    std::string seen;
    std::size_t taken = 0; // every byte read, the dropped line feeds too
    std::size_t kept = 0;
    buffer[0] = '\0';
    // The time-out bounds the line, not each of its bytes.
    const ReadDeadline deadline;
    while (taken < kMaxReplyBytes) {
        unsigned char c = 0;
        if (!port_read_within(&c, 1, 1, deadline)) {
            if (!seen.empty())
                log_bytes(kLogRx, seen.data(), seen.size());
            return 0;
        }
        ++taken;
        if (c == '\n' && seen.empty())
            continue;
        seen.push_back(static_cast<char>(c));
        if (c == '\r') {
            take_line_feed();
            log_bytes(kLogRx, seen.data(), seen.size());
            buffer[kept] = '\0';
            return 1;
        }
        if (kept + 1 < kReplyBufferSize)
            buffer[kept++] = c != 0 ? static_cast<char>(c) : '\x01'; // a NUL must not end the text early
    }
    log_bytes(kLogRx, seen.data(), seen.size());
    debug_log(kLogDebug, "Reply line without end");
    buffer[kept] = '\0';
    return 0;
}

int response_code(const char* line)
{
    for (const ReplyWord& w : kReplyWords) {
        if (std::strcmp(line, w.line) == 0)
            return w.code;
    }
    return kReplyUnknown;
}

int read_reply_code()
{
    char line[kReplyBufferSize];
    if (!loader_read_reply_line(line))
        return -1;
    return response_code(line);
}

} // namespace qz::ext
