#include "isp/core/session.h"

#include <atomic>
#include <cstring>

namespace qz {

namespace {

// Static storage: all zero bytes before any code of the library runs.
SessionRecord g_slots[kSessionSlotCount];

std::atomic<SessionRelease> g_release{nullptr};

void apply_defaults(SessionRecord& s)
{
    s.autobaudReadTimeoutMs = kDefaultAutobaudReadTimeoutMs;
    s.autobaudWriteTimeoutMs = kDefaultAutobaudWriteTimeoutMs;
    s.autobaudAttempts = kDefaultAutobaudAttempts;
    s.echoLineFeedState = 0;
    s.shortTimeoutMs = kDefaultShortTimeoutMs;
    s.longTimeoutMs = kDefaultLongTimeoutMs;
    s.portHandle = kNoHandle;
    s.writeEvent = kNoHandle;
    s.readEvent = kNoHandle;
    s.cancelEvent = kNoHandle;
    s.psenLevel = kLineReleased;
    s.rstLevel = kLineReleased;
}

void fill_slots()
{
    std::memset(static_cast<void*>(g_slots), 0, sizeof g_slots);
    for (SessionRecord& s : g_slots)
        apply_defaults(s);
}

}  // namespace

SessionRecord* session_slots()
{
    // Whoever comes first (the load-time initialiser below, or code run by
    // another initialiser) sets the defaults, exactly once.
    static const bool filled = (fill_slots(), true);
    (void)filled;
    return g_slots;
}

SessionRecord& session()
{
    return session_slots()[0];
}

void set_session_release(SessionRelease release)
{
    g_release = release;
}

void reset_session_slots()
{
    // What the records hold is theirs: release it before the pointers go.
    session_slots();
    if (const SessionRelease release = g_release) {
        for (SessionRecord& s : g_slots)
            release(s);
    }
    fill_slots();
}

namespace {
// Defaults in place when the library is loaded.
const bool g_attached = (session_slots(), true);
}  // namespace

}  // namespace qz
