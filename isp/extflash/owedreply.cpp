#include "isp/extflash/owedreply.h"

#include <cstring>

#include "isp/core/debuglog.h"
#include "isp/core/serialport.h"
#include "isp/extflash/commands.h"
#include "isp/extflash/loaderlink.h"
#include "isp/extflash/reply.h"

namespace qz::ext {

namespace {

struct OwedReply {
    bool owed = false;
    bool known = false;   // block and wanted hold the command
    std::uint8_t block[kCommandBlockSize] = {};
    int wanted = 0;
    bool queried = false; // a query is out; its answer is owed too
    int late = -1;        // code of the first whole line that came late
};

OwedReply g_owed;

// Reads lines until the loader names itself or the long time-out has
// passed. One query is enough: a second one would leave a name behind that
// would pass for the answer to the next command.
bool wait_for_loader()
{
    if (!g_owed.queried) {
        const unsigned char q = kQuery;
        if (!port_write(&q, 1))
            return false;
        g_owed.queried = true;
    }
    use_long_timeouts();
    std::int32_t readMs = 0;
    std::int32_t writeMs = 0;
    get_comm_timeouts(&readMs, &writeMs);
    const ReadDeadline deadline;
    bool back = false;
    for (std::int32_t left = deadline.remaining_ms(); !back && left != 0; left = deadline.remaining_ms()) {
        set_comm_timeouts(left, writeMs);
        char line[kReplyBufferSize];
        if (!loader_read_reply_line(line))
            continue;
        const int code = response_code(line);
        if (code == kReplyIdentity)
            back = true;
        else if (g_owed.late == -1)
            g_owed.late = code;
    }
    use_short_timeouts();
    return back;
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
    if (!wait_for_loader()) {
        debug_log(kLogDebug, "Loader still busy - nothing sent");
        return CatchUp::kBusy;
    }
    const bool same = g_owed.known && block != nullptr && std::memcmp(g_owed.block, block, kCommandBlockSize) == 0;
    const bool answered = same && g_owed.late == g_owed.wanted;
    g_owed = OwedReply{};
    if (answered) {
        debug_log(kLogDebug, "Late reply of the same command taken");
        return CatchUp::kAnswered;
    }
    return CatchUp::kInStep;
}

} // namespace qz::ext
