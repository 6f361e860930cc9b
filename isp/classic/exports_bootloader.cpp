// Updating the boot loader of the parts that allow it: erase what the file
// touches, program it, then reset until the new loader answers.
#include "isp/classic/bootloader_update.h"
#include "isp/classic/capabilities.h"
#include "isp/classic/classic_state.h"
#include "isp/core/ops_common.h"
#include "isp/core/result.h"

#include "qz_interface.h"

QZ_API const IspResult* qz_update_bootloader(const char* hex_file, ProgressCallback cb, int user)
{
    if (IspResult* r = qz::refuse_unless_ready(qz::ClassicOp::UpdateBootloader))
        return r;
    const IspResult* r = qz_erase(-2, 0, 1, cb, user, hex_file);
    if (r->status != 1)
        return r;
    r = qz_program(hex_file, 0, 0, 0, 1, nullptr, nullptr, 0, 1, 0, cb, user);
    if (r->status != 1)
        return r;
    const qz::ClassicDeviceRecord& d = *qz::selected_classic_device();
    for (int t = 0; t < qz::kDeviceTries; ++t) {
        r = qz_reset(1, 0, 0);
        if (r->status != 1)
            continue;
        if (!(r = qz::check_new_bootloader(d)))
            return qz::set_success();
    }
    return r;
}
