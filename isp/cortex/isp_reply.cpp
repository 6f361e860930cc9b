#include "isp/cortex/isp_reply.h"

#include <cstdint>
#include <cstring>

#include "isp/core/debuglog.h"
#include "isp/cortex/devicetable.h"
#include "isp/cortex/selecteddevice.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"

namespace qz {

namespace {

struct ResponseKeyword {
    int code;
    const char* keyword;
};

const ResponseKeyword ResponseKeywordTable[] = {
    {2, "OK"},   {3, "Synchronized"}, {24, "RESEND"},
    {4, "0"},    {5, "1"},   {6, "2"},   {7, "3"},   {8, "4"},   {9, "5"},   {10, "6"},
    {11, "7"},   {12, "8"},  {13, "9"},  {14, "10"}, {15, "11"}, {16, "12"}, {17, "13"},
    {18, "14"},  {19, "15"}, {20, "16"}, {21, "17"}, {22, "18"}, {23, "19"},
    {0, ""},
};

} // namespace

int response_code(const char* line)
{
    for (const ResponseKeyword* k = ResponseKeywordTable; k->code != 0; ++k) {
        if (std::strcmp(line, k->keyword) == 0)
            return k->code;
    }
    return kReplyNone;
}

int read_response_line(char* buffer, std::size_t capacity)
{
    // The time-out bounds the line, not each of its bytes.
    const ReadDeadline deadline;
    return read_response_line_within(buffer, capacity, deadline);
}

int read_response_line_within(char* buffer, std::size_t capacity, const ReadDeadline& deadline)
{
    if (buffer == nullptr || capacity == 0)
        return 0;
    std::size_t n = 0;
    buffer[0] = '\0';
    for (;;) {
        std::uint8_t byte = 0;
        if (!port_read_within(&byte, 1, 1, deadline)) {
            log_bytes(kLogRx, buffer, n);
            return 0;
        }
        // The LF of the line before, when it came after the 50 ms wait.
        if (byte == '\n' && n == 0)
            continue;
        if (byte == '\r')
            break;
        if (n + 1 >= capacity) {
            log_bytes(kLogRx, buffer, n);
            debug_logf("Reply line longer than %u characters\n", static_cast<unsigned>(capacity - 1));
            buffer[0] = '\0';
            return 0;
        }
        buffer[n++] = static_cast<char>(byte);
        buffer[n] = '\0';
    }

    int saved_read = 0;
    int saved_write = 0;
    get_comm_timeouts(&saved_read, &saved_write);
    set_comm_timeouts(kLineFeedWaitMs, saved_write);
    std::uint8_t next = 0;
    const int got = port_read(&next, 1, 1);
    set_comm_timeouts(saved_read, saved_write);
    if (!got)
        debug_log(kLogDebug, "Line feed missing, continuing...");
    else
        keep_unless_line_feed(next);
    log_bytes(kLogRx, buffer, n);
    return 1;
}

void keep_unless_line_feed(std::uint8_t byte)
{
    if (byte == '\n')
        return;
    debug_log(kLogDebug, "Line feed missing, pushing character back to rx buffer");
    if (!push_back_byte(byte))
        debug_log(kLogDebug, "Warning: failed to push character back (push back buffer full)");
}

} // namespace qz
