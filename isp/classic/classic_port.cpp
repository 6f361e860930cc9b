#include "isp/classic/classic_port.h"
#include "isp/classic/classic_state.h"

#include "isp/classic/classic_identity.h"
#include "isp/core/debuglog.h"
#include "isp/core/rawconnect.h"
#include "isp/core/serialflavour.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"
#include "isp/core/version.h"

#include <chrono>
#include <cstdint>

namespace qz {

int use_short_write_1s_read_timeouts()
{
    if (!set_comm_timeouts(1000, session().shortTimeoutMs)) {
        debug_log(kLogDebug, "SetCommTimeouts failed (short write, 1s read)");
        return 0;
    }
    debug_log(kLogDebug, "timeouts set to short write, 1s read");
    return 1;
}

int use_no_timeouts()
{
    return set_comm_timeouts(kWaitWithoutLimit, kWaitWithoutLimit);
}

int classic_port_max_baud()
{
    return 115200;
}

void port_sink(int ms)
{
    debug_log(kLogDebug, "Sinking received data");
    use_short_write_1s_read_timeouts();
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::milliseconds(ms > 0 ? ms : 0);
    unsigned char c = 0;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0 || !port_is_open())
            break;
        // A quiet line would hold each read for its whole second; the
        // last one ends with the sinking time.
        if (left < 1000)
            set_comm_timeouts(static_cast<std::int32_t>(left), session().shortTimeoutMs);
        unsigned got = 0;
        if (!port_receive(&c, 1, &got))
            break;
    }
    use_short_timeouts();
    debug_log(kLogDebug, "Finished sinking received data");
}

void classic_library_loaded()
{
    set_serial_flavour(kClassicSerialFlavour);
    set_driver_identity(kClassicIdentity);
    // The driver reads its part's record for every connection, raw ones too.
    set_raw_connect_precondition([] { return selected_classic_device() != nullptr; });
}

} // namespace qz
