// Exports of this library that set the driver state: device and bank, the
// autobaud settings, autobaud cancel.
#include "isp/core/result.h"
#include "isp/core/session.h"
#include "isp/cortex/deviceselect.h"

#include "qz_interface.h"

#include <algorithm>

QZ_API const IspResult* qz_select_device(int device_id, unsigned bank)
{
    return qz::select_device(device_id, bank);
}

QZ_API void qz_set_autobaud_configuration(int read_timeout_ms, int write_timeout_ms, int attempts)
{
    qz::SessionRecord& s = qz::session();
    // A negative time-out would ask the port for an unlimited wait.
    s.autobaudReadTimeoutMs = std::max(read_timeout_ms, 0);
    s.autobaudWriteTimeoutMs = std::max(write_timeout_ms, 0);
    s.autobaudAttempts = attempts;
}

QZ_API const IspResult* qz_cancelautobaud(void)
{
    // Autobaud of the Cortex boot ROM runs on the caller's thread and has
    // nothing to cancel.
    return qz::set_success();
}
