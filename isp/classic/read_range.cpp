#include "isp/classic/read_range.h"

#include "isp/core/errorcodes.h"
#include "isp/core/result.h"

namespace qz {

IspResult* check_read_range(const ClassicDeviceRecord& d, unsigned start, unsigned end)
{
    if (end < start)
        return set_result(kErrInvalidValue, "The start address is greater than the end address");
    // Past its flash a part has nothing to read: its loader would wait,
    // refuse or wrap around, and the caller would wait out every try.
    if (d.flash_size == 0 || end > d.flash_size - 1)
        return set_result_f(kErrInvalidValue, "(end address 0x%X beyond the part's flash, which ends at 0x%X)", end,
                            d.flash_size ? d.flash_size - 1 : 0u);
    return nullptr;
}

} // namespace qz
