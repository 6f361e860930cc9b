#include "isp/cortex/isp_step.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "isp/core/debuglog.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"
#include "isp/cortex/isp_line.h"

namespace qz {

namespace {

// Commands whose echo did not come before their try gave up, oldest first.
// Their echoes, when they do come, come before any later one.
constexpr std::size_t kOwedEchoes = 8;
struct OwedEchoes {
    char text[kOwedEchoes][kCommandLineSize];
    std::size_t count = 0;
};
OwedEchoes g_owed;

// Raw bytes of a binary read that broke off may still come, without a line
// end of their own: they run into the next line.
bool g_raw_may_follow = false;

// Owed echoes mean something only while the session is out of step; a
// fresh port starts in step and owes nothing.
OwedEchoes& owed()
{
    if (!line_out_of_step())
        g_owed.count = 0;
    return g_owed;
}

} // namespace

void back_in_step()
{
    session().lateReplyOwed = 0;
    g_owed.count = 0;
    g_raw_may_follow = false;
}

// Like the owed echoes, this holds only while the session is out of step.
bool raw_may_follow()
{
    if (!line_out_of_step())
        g_raw_may_follow = false;
    return g_raw_may_follow;
}

bool line_is(const char* line, const char* text)
{
    if (std::strcmp(line, text) == 0)
        return true;
    if (!raw_may_follow())
        return false;
    const std::size_t n = std::strlen(line);
    const std::size_t t = std::strlen(text);
    return t > 0 && n > t && std::strcmp(line + n - t, text) == 0;
}

void owe_echo(const char* text)
{
    OwedEchoes& o = owed();
    if (o.count == kOwedEchoes) {
        std::memmove(o.text[0], o.text[1], sizeof o.text[0] * (kOwedEchoes - 1));
        --o.count;
    }
    std::snprintf(o.text[o.count++], kCommandLineSize, "%s", text);
}

bool settle_owed_echo(const char* line)
{
    OwedEchoes& o = owed();
    for (std::size_t i = 0; i < o.count; ++i) {
        if (!line_is(line, o.text[i]))
            continue;
        const std::size_t left = o.count - i - 1;
        std::memmove(o.text[0], o.text[i + 1], sizeof o.text[0] * left);
        o.count = left;
        return true;
    }
    return false;
}

void forget_owed_echoes()
{
    g_owed.count = 0;
}

void mark_out_of_step()
{
    session().lateReplyOwed = 1;
}

bool line_out_of_step()
{
    return session().lateReplyOwed != 0;
}

void mark_raw_data_may_follow()
{
    mark_out_of_step();
    g_raw_may_follow = true;
}

int let_line_go_quiet()
{
    std::int32_t saved_read = 0;
    std::int32_t saved_write = 0;
    get_comm_timeouts(&saved_read, &saved_write);
    const ReadDeadline bound;
    set_comm_timeouts(kQuietLineMs, saved_write);
    unsigned dropped = 0;
    int quiet = 0;
    for (;;) {
        std::uint8_t bytes[64];
        unsigned got = 0;
        if (!port_receive(bytes, sizeof bytes, &got))
            break;
        if (got == 0) {
            quiet = 1;
            break;
        }
        dropped += got;
        if (bound.remaining_ms() == 0)
            break;
    }
    set_comm_timeouts(saved_read, saved_write);
    if (dropped != 0)
        debug_logf("Dropped %u bytes of earlier answers\n", dropped);
    if (!quiet)
        debug_log(kLogDebug, "The line did not go quiet");
    return quiet;
}

void echo_may_be_off()
{
    session().echoMayBeOff = 1;
}

void echo_is_on()
{
    session().echoMayBeOff = 0;
}

bool echo_known_on()
{
    return session().echoMayBeOff == 0;
}

} // namespace qz
