#include "isp/extflash/erase.h"

#include <set>

#include "isp/core/errorcodes.h"
#include "isp/core/ops_common.h"
#include "isp/core/programsource.h"
#include "isp/core/result.h"
#include "isp/extflash/commands.h"
#include "isp/extflash/descriptor.h"
#include "isp/extflash/flashsinks.h"

namespace qz::ext {

IspResult* erase_flash(int mode, unsigned blockMask, ProgressCallback cb, int user, const char* hexFile)
{
    if (!require_port())
        return isp_result();
    const LoaderDescriptor& d = loader_descriptor();
    // Without a loader connected there is no flash layout to erase by.
    if (!descriptor_values_usable(d))
        return set_result(kErrInvalidValue);
    if (mode == kEraseWholeFlash) {
        if (!report_progress(cb, QZ_EVENT_ERASE_BANK, 0, 0, user))
            return isp_result();
        int r = kErrOperationFailed;
        for (int i = 0; i < kDeviceTries && r != 1; ++i)
            r = loader_erase_all();
        if (r != 1)
            return set_result(kErrOperationFailed, "(erasing device)");
        return set_success();
    }

    std::set<std::uint64_t> marked;
    if (mode == kEraseHexBlocks) {
        EraseBlockSink sink(d.flashStart, d.flashEnd, d.eraseBlockSize, marked);
        if (IspResult* failed = load_hex_source(hexFile, sink))
            return failed;
    } else {
        for (int i = 0; i < kMaskBlocks; ++i) {
            if (blockMask & (1u << i))
                marked.insert(static_cast<std::uint64_t>(i));
        }
    }
    if (marked.empty())
        return set_result(kErrInvalidValue, "(nothing to erase)");
    for (std::uint64_t b : marked) {
        if (static_cast<std::uint64_t>(d.flashStart) + b * d.eraseBlockSize > d.flashEnd)
            return set_result_f(kErrNotSupported, "(erasing block %d)", static_cast<int>(b));
    }
    for (std::uint64_t b : marked) {
        if (!report_progress(cb, QZ_EVENT_ERASE_SECTOR, static_cast<int>(b), 0, user))
            return isp_result();
        const std::uint32_t address = static_cast<std::uint32_t>(d.flashStart + b * d.eraseBlockSize);
        int r = kErrOperationFailed;
        for (int i = 0; i < kDeviceTries && r != 1; ++i)
            r = loader_erase_block(address);
        if (r != 1)
            return set_result_f(kErrOperationFailed, "(Failed to erase block %d.)", static_cast<int>(b));
    }
    return set_success();
}

} // namespace qz::ext
