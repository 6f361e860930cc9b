// Version exports, with this library's identity set at load time.
#include "isp/core/result.h"
#include "isp/core/version.h"

#include "qz_interface.h"

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

QZ_API const IspResult* qz_version(void)
{
    qz::report_version();
    return qz::isp_result();
}

QZ_API const IspResult* qz_longversion(void)
{
    qz::report_long_version();
    return qz::isp_result();
}
