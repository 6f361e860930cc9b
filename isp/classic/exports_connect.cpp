// Exports of the classic driver's connection: device selection, connect,
// disconnect, the autobaud cancel and its (unused) settings. Loading the
// library gives the serial layer its classic flavour.
#include "isp/classic/classic_connect.h"
#include "isp/classic/classic_port.h"

#include "qz_interface.h"

namespace {
const bool g_loaded = (qz::classic_library_loaded(), true);
}

QZ_API const IspResult* qz_select_device(int device_id, unsigned)
{
    return qz::classic_select_device(device_id);
}

QZ_API const IspResult* qz_connect(const ConnectOptions* options, int size)
{
    return qz::classic_connect(options, size);
}

QZ_API const IspResult* qz_disconnect(void)
{
    return qz::classic_disconnect();
}

QZ_API const IspResult* qz_cancelautobaud(void)
{
    return qz::classic_cancel_autobaud_export();
}

// The classic boot loaders take no autobaud settings.
QZ_API void qz_set_autobaud_configuration(int, int, int) {}
