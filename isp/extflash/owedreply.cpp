#include "isp/extflash/owedreply.h"

#include <cstring>
#include <optional>

#include "isp/core/debuglog.h"
#include "isp/core/serialport.h"
#include "isp/extflash/commands.h"
#include "isp/extflash/loaderlink.h"
#include "isp/extflash/reply.h"

namespace qz::ext {

namespace {

struct OwedReply {
    bool owed = false;
    bool known = false;    // block and wanted hold the command; it owes one line
    std::uint8_t block[kCommandBlockSize] = {};
    int wanted = 0;
    bool lineCame = false; // its one line came late, with code `late`
    int late = 0;
};

OwedReply g_owed;

// A line that breaks this long a silence after the loader's name is not
// waited for.
constexpr std::int32_t kQuietMs = 100;

// Takes one late line: the first that is not the loader's name is the owed
// reply (a broken program owes lines of no known count; they are dropped).
void take_late_line(int code)
{
    if (g_owed.known && !g_owed.lineCame) {
        g_owed.lineCame = true;
        g_owed.late = code;
    }
}

bool owed_line_missing()
{
    return g_owed.known && !g_owed.lineCame;
}

// The sooner of two waits in ms (kWaitWithoutLimit: none).
std::int32_t sooner(std::int32_t a, std::int32_t b)
{
    if (a == kWaitWithoutLimit)
        return b;
    if (b == kWaitWithoutLimit)
        return a;
    return a < b ? a : b;
}

// One query, then lines until the loader names itself, all within one long
// time-out. The name shows the loader idle: an owed reply still missing then
// (a line that took longer on its way) is waited for one short time-out at
// most, so a reply lost for good does not cost the rest of the long one on
// top of the command's own wait. After the name the line is let go quiet,
// so that nothing still on its way is left for the next command.
bool wait_for_loader()
{
    const unsigned char q = kQuery;
    if (!port_write(&q, 1))
        return false;
    use_long_timeouts();
    std::int32_t readMs = 0;
    std::int32_t writeMs = 0;
    get_comm_timeouts(&readMs, &writeMs);
    const ReadDeadline deadline;
    std::optional<ReadDeadline> idle; // from the name on
    bool named = false;
    for (;;) {
        const std::int32_t left = sooner(deadline.remaining_ms(), idle ? idle->remaining_ms() : kWaitWithoutLimit);
        if (left == 0)
            break;
        const bool settling = named && !owed_line_missing();
        set_comm_timeouts(settling && (left < 0 || left > kQuietMs) ? kQuietMs : left, writeMs);
        char line[kReplyBufferSize];
        if (!loader_read_reply_line(line)) {
            if (settling)
                break;
            continue;
        }
        const int code = response_code(line);
        if (code != kReplyIdentity) {
            take_late_line(code);
        } else if (!named) {
            named = true;
            use_short_timeouts();
            get_comm_timeouts(&readMs, &writeMs);
            idle.emplace();
        }
    }
    use_short_timeouts();
    if (named && owed_line_missing())
        debug_log(kLogDebug, "Late reply of the last command lost");
    return named;
}

} // namespace

void owe_reply(const std::uint8_t* block, int wanted)
{
    g_owed = OwedReply{};
    g_owed.owed = true;
    if (block != nullptr) {
        g_owed.known = true;
        std::memcpy(g_owed.block, block, kCommandBlockSize);
        g_owed.wanted = wanted;
    }
}

void forget_owed_reply()
{
    g_owed = OwedReply{};
}

CatchUp catch_up(const std::uint8_t* block)
{
    if (!g_owed.owed)
        return CatchUp::kInStep;
    debug_log(kLogDebug, "Waiting for the loader to finish the last command");
    // What came before a failed wait stays counted for the next one.
    if (!wait_for_loader()) {
        debug_log(kLogDebug, "Loader still busy - nothing sent");
        return CatchUp::kBusy;
    }
    const bool same = g_owed.known && g_owed.lineCame && block != nullptr &&
                      std::memcmp(g_owed.block, block, kCommandBlockSize) == 0;
    const bool answered = same && g_owed.late == g_owed.wanted;
    g_owed = OwedReply{};
    if (answered) {
        debug_log(kLogDebug, "Late reply of the same command taken");
        return CatchUp::kAnswered;
    }
    if (same) {
        debug_log(kLogDebug, "Late reply of the same command refused it");
        return CatchUp::kRefused;
    }
    return CatchUp::kInStep;
}

bool stale_line(int code)
{
    return code == kReplyIdentity;
}

} // namespace qz::ext
