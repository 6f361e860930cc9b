#include "isp/core/rawconnect.h"

#include <atomic>

namespace qz {

namespace {
std::atomic<bool (*)()> g_ready{nullptr};
}

void set_raw_connect_precondition(bool (*ready)())
{
    g_ready.store(ready);
}

bool raw_connect_allowed()
{
    bool (*ready)() = g_ready.load();
    return ready == nullptr || ready();
}

} // namespace qz
