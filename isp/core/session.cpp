#include "isp/core/session.h"

#include "isp/cortex/ramimage.h"

#include <cstring>

namespace qz {

namespace {

// Static storage: all zero bytes before any code of the library runs.
SessionRecord g_slots[kSessionSlotCount];

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

void reset_session_slots()
{
    // The RAM images are the records' own: release them before the pointers go.
    session_slots();
    for (SessionRecord& s : g_slots) {
        delete s.ramImage;
        s.ramImage = nullptr;
    }
    fill_slots();
}

namespace {
// Defaults in place when the library is loaded.
const bool g_attached = (session_slots(), true);
}  // namespace

}  // namespace qz
