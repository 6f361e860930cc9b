#include "isp/extflash/erase.h"

#include <cstdio>
#include <set>

#include "isp/core/errorcodes.h"
#include "isp/core/hexrecord.h"
#include "isp/core/ops_common.h"
#include "isp/core/result.h"
#include "isp/extflash/commands.h"
#include "isp/extflash/descriptor.h"

namespace qz::ext {

namespace {

// Blocks that the file's data records cover within the flash.
bool mark_hex_blocks(const LoaderDescriptor& d, const char* hexFile, std::set<std::uint64_t>& marked)
{
    std::FILE* f = open_file_retry(hexFile, "rb");
    if (f == nullptr)
        return false;
    const std::uint64_t flashStart = d.flashStart;
    const std::uint64_t flashEnd = d.flashEnd;
    for_each_hex_data(f, [&](const HexData& data) {
        const std::uint64_t first = data.address > flashStart ? data.address : flashStart;
        const std::uint64_t last = data.last() < flashEnd ? data.last() : flashEnd;
        if (first > last)
            return;
        for (std::uint64_t b = (first - flashStart) / d.eraseBlockSize; b <= (last - flashStart) / d.eraseBlockSize; ++b)
            marked.insert(b);
    });
    std::fclose(f);
    return true;
}

} // namespace

IspResult* erase_flash(int mode, unsigned blockMask, ProgressCallback cb, int user, const char* hexFile)
{
    if (!require_port())
        return isp_result();
    const LoaderDescriptor& d = loader_descriptor();
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
        if (hexFile == nullptr || !mark_hex_blocks(d, hexFile, marked))
            return set_result(kErrOpenHexFile, "Reselect the Hex file.");
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
