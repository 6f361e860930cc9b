// Version exports.
#include "isp/core/result.h"
#include "isp/core/version.h"

#include "qz_interface.h"

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
