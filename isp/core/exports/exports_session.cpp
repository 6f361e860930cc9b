// Exports that are the same in every library: debug mode, time-outs and
// the port handle.
#include "isp/core/result.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"

#include "qz_interface.h"

#include <cstdint>
#include <cstring>

QZ_API const IspResult* qz_select_debug_mode(int enable, const char* log_path)
{
    qz::SessionRecord& s = qz::session();
    s.debugLog = enable;
    if (log_path) {
        std::size_t n = strnlen(log_path, qz::kLogPathSize - 1);
        std::memcpy(s.logPath, log_path, n);
        s.logPath[n] = '\0';
    }
    IspResult* r = qz::isp_result();
    r->text[0] = '\0';
    return qz::set_success();
}

QZ_API void qz_set_timeouts(int short_s, int long_s)
{
    qz::set_short_timeout(static_cast<std::int64_t>(short_s) * 1000);
    qz::set_long_timeout(static_cast<std::int64_t>(long_s) * 1000);
}

QZ_API void qz_set_default_timeouts(void)
{
    qz::set_default_timeouts();
}

QZ_API int qz_get_comport_handle(void)
{
    return qz::get_port_handle();
}

QZ_API void qz_set_comport_handle(int handle, int baud)
{
    qz::take_over_port(handle, baud > 0 ? static_cast<unsigned>(baud) : 0u);
}
