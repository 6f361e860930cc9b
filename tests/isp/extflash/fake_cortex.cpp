#include "tests/isp/extflash/fake_cortex.h"

#include "qz_interface.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

FakeCortexState g_state = {1, 1, 1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -2, -2, {}, -1};
IspResult g_result;

const IspResult* result(int status)
{
    g_result.status = status;
    std::snprintf(g_result.text, sizeof g_result.text, "%s", status == 1 ? "" : "fake failure");
    return &g_result;
}

} // namespace

extern "C" __attribute__((visibility("default"))) FakeCortexState* fake_cortex_state(void)
{
    return &g_state;
}

QZ_API const IspResult* qz_connect(const ConnectOptions* o, int size)
{
    ++g_state.connects;
    g_state.connectBaud = o->baud_rate;
    g_state.connectSize = size;
    if (!g_state.connectOk)
        return result(-3);
    g_state.fd = open(o->port_name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    g_state.openedFd = g_state.fd;
    return result(g_state.fd >= 0 ? 1 : -2);
}

QZ_API const IspResult* qz_disconnect(void)
{
    ++g_state.disconnects;
    if (g_state.fd >= 0)
        close(g_state.fd);
    g_state.fd = -1;
    return result(1);
}

QZ_API const IspResult* qz_program2(const char* hex_file, int, int, int, int, int, const ProductionTask*, int, int,
                                    ProgressCallback, int)
{
    ++g_state.program2s;
    std::snprintf(g_state.program2Path, sizeof g_state.program2Path, "%s", hex_file ? hex_file : "");
    return result(g_state.program2Ok ? 1 : -18);
}

#ifndef FAKE_CORTEX_WITHOUT_RESET
QZ_API const IspResult* qz_reset(int skip, unsigned address, unsigned flags)
{
    ++g_state.resets;
    g_state.resetSkip = skip;
    g_state.resetAddress = address;
    g_state.resetFlags = flags;
    return result(g_state.resetOk ? 1 : -18);
}
#endif

QZ_API int qz_get_comport_handle(void)
{
    return g_state.fd;
}

QZ_API void qz_set_comport_handle(int handle, int baud)
{
    ++g_state.setHandles;
    g_state.lastSetHandle = handle;
    g_state.lastSetBaud = baud;
    g_state.fd = handle; // -1: forgets the port without closing it
}
