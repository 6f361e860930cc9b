// This library's name, version and date for the shared version exports and
// the log header, set when the library is loaded.
#include "isp/core/version.h"

namespace {

const qz::DriverIdentity kExtFlashIdentity = {
    "QuasmeriteExtFlash",
    "1.21.3043",
    "31-Jan-2013",
    "In-system programming of external flash through a RAM flash loader on NXP LPC parts",
};

__attribute__((constructor)) void use_ext_flash_identity()
{
    qz::set_driver_identity(kExtFlashIdentity);
}

} // namespace
