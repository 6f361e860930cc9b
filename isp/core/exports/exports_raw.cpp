// The raw byte pipe over the port, the same in every library.
#include "isp/core/debuglog.h"
#include "isp/core/errorcodes.h"
#include "isp/core/rawconnect.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"

#include "qz_interface.h"

#include <mutex>

namespace {

// qz_raw_cancelreceive comes from another thread and writes the shared
// result; the receive it ends writes its own under the same lock.
std::mutex g_receiveResultLock;

const IspResult* no_port()
{
    return qz::set_result(qz::kErrNoConnection);
}

} // namespace

QZ_API const IspResult* qz_raw_connect(const char* port, int baud, int line_mode)
{
    if (!qz::raw_connect_allowed())
        return no_port();
    qz::SessionRecord& s = qz::session();
    s.halfDuplex = 0;
    s.hardwareConfig = 0;
    s.t1Ms = 120;
    s.t2Ms = 240;
    if (!qz::open_port(port))
        return qz::set_result(qz::kErrCommunicate, "(in use)");
    if (baud <= 0 || !qz::configure_port(static_cast<unsigned>(baud), 1)) {
        qz::close_port();
        return qz::set_result(qz::kErrCommunicate, "(configuration)");
    }
    switch (line_mode) {
    case 1:
        qz::release_psen();
        qz::release_rst();
        break;
    case 2:
        qz::assert_psen();
        qz::release_rst();
        break;
    case 3:
        qz::release_psen();
        qz::assert_rst();
        break;
    case 4:
        qz::assert_psen();
        qz::assert_rst();
        break;
    default:
        break;
    }
    qz::debug_log(qz::kLogDebug, "Raw connection started");
    qz::set_result_be(0, static_cast<uint32_t>(baud), 4);
    return qz::set_success();
}

QZ_API const IspResult* qz_raw_disconnect(void)
{
    if (!qz::port_is_open())
        return no_port();
    qz::use_short_timeouts();
    qz::close_port();
    qz::debug_log(qz::kLogDebug, "Raw connection ended");
    return qz::set_success();
}

QZ_API const IspResult* qz_raw_transmit(const void* data, int count)
{
    if (!qz::port_is_open())
        return no_port();
    if (count < 0 || (count > 0 && !data))
        return qz::set_result(qz::kErrInvalidValue, "(transmit)");
    if (!qz::port_write(data, static_cast<std::size_t>(count)))
        return qz::set_result(qz::kErrCommunicate, "(transmit)");
    return qz::set_success();
}

QZ_API const IspResult* qz_raw_receive(char* buffer, int count, unsigned* received)
{
    if (!qz::port_is_open())
        return no_port();
    if (count < 0 || (count > 0 && !buffer))
        return qz::set_result(qz::kErrInvalidValue, "(receive)");
    unsigned got = 0;
    const int ok = qz::port_receive(buffer, static_cast<std::size_t>(count), &got);
    if (received)
        *received = got;
    std::lock_guard<std::mutex> hold(g_receiveResultLock);
    if (!ok)
        return qz::set_result(qz::kErrCommunicate, "(receive)");
    return qz::set_success();
}

QZ_API const IspResult* qz_raw_cancelreceive(void)
{
    if (!qz::port_is_open())
        return no_port();
    // The result is written before the signal: the receiving thread writes
    // its own only after the signal has woken it.
    std::lock_guard<std::mutex> hold(g_receiveResultLock);
    const IspResult* r = qz::set_success();
    qz::cancel_receive();
    return r;
}
