// The autobaud settings: the loader query of the own download waits with
// the read and write time-outs given here.
#include "isp/core/session.h"

#include "qz_interface.h"

#include <algorithm>

QZ_API void qz_set_autobaud_configuration(int read_timeout_ms, int write_timeout_ms, int attempts)
{
    qz::SessionRecord& s = qz::session();
    // A negative time-out would ask the port for an unlimited wait.
    s.autobaudReadTimeoutMs = std::max(read_timeout_ms, 0);
    s.autobaudWriteTimeoutMs = std::max(write_timeout_ms, 0);
    s.autobaudAttempts = attempts;
}
