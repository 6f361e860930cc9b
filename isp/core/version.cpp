#include "isp/core/version.h"

#include "isp/core/result.h"

#include <cstdio>

namespace qz {

const DriverIdentity kCortexIdentity = {
    "QuasmeriteARMCortex",
    "4.45.3043",
    "18-Feb-2013",
    "In-system programming of NXP LPC ARM Cortex microcontrollers over a serial port",
};

namespace {
const DriverIdentity* g_identity = &kCortexIdentity;
}

const DriverIdentity& driver_identity()
{
    return *g_identity;
}

void set_driver_identity(const DriverIdentity& identity)
{
    g_identity = &identity;
}

void report_version()
{
    set_status_text(QZ_STATUS_SUCCESS, driver_identity().version);
}

void report_long_version()
{
    const DriverIdentity& id = driver_identity();
    char text[QZ_RESULT_TEXT_SIZE];
    std::snprintf(text, sizeof text, "%s v%s (%s) %s", id.name, id.version, id.buildDate, id.notice);
    set_status_text(QZ_STATUS_SUCCESS, text);
}

}  // namespace qz
