#include "isp/cortex/deviceselect.h"

#include <algorithm>

#include "isp/cortex/devicetable.h"
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"
#include "isp/cortex/selecteddevice.h"
#include "isp/core/session.h"

namespace qz {

IspResult* select_device(int device_id, unsigned bank)
{
    const int index = cortex_device_index(device_id);
    if (index < 0)
        return set_result(kErrInvalidValue, "(device not found)");
    SessionRecord& s = session();
    s.deviceIndex = index;
    // A part without flash banks gets bank 0, so the number can never reach
    // past the record's bank slots.
    const int banks = bank_count(cortex_device_at(index));
    s.flashBank = banks > 0 ? std::min(bank, static_cast<unsigned>(banks - 1)) : 0u;
    select_sector_table();
    return set_success();
}

} // namespace qz
