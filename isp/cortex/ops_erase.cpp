#include "isp/cortex/ops_erase.h"

#include <cstdint>

#include "isp/cortex/cortexsinks.h"
#include "isp/cortex/devicetable.h"
#include "isp/core/errorcodes.h"
#include "isp/cortex/isp_commands.h"
#include "isp/core/ops_common.h"
#include "isp/core/programsource.h"
#include "isp/core/result.h"
#include "isp/cortex/sectortables.h"
#include "isp/cortex/selecteddevice.h"

namespace qz {

namespace {

// Sector numbers the erase can name: the bits of the mask.
constexpr int kMaskSectors = 32;

IspResult* erase_bank_with_retries(ProgressCallback cb, int user)
{
    if (!report_progress(cb, QZ_EVENT_ERASE_BANK, 0, 0, user))
        return isp_result();
    int r = -18;
    for (int i = 0; i < kDeviceTries && r != 1; ++i)
        r = erase_bank();
    if (r == 1)
        return set_success();
    if (r == -2 || r == -18 || r == -5)
        return set_result(kErrOperationFailed, "(erasing device)");
    return report_engine_failure(r, "erasing device");
}

IspResult* erase_sector_with_retries(int sector)
{
    int r = -18;
    for (int i = 0; i < kDeviceTries && r != 1; ++i)
        r = erase_block(sector);
    if (r == 1)
        return nullptr;
    const char* reason = engine_reason(r);
    if (reason != nullptr)
        return set_result_f(kErrOperationFailed, "(Failed to erase block %d%s)", sector, reason);
    return set_result_f(kErrOperationFailed, "(Failed to erase block %d.)", sector);
}

} // namespace

IspResult* op_erase(int mode, unsigned block_mask, ProgressCallback cb, int user, const char* hex_file)
{
    if (sector_count() == 0)
        return set_result(kErrNotSupported, "(no flash memory)");
    if (!require_port())
        return isp_result();
    if (mode == kEraseWholeBank)
        return erase_bank_with_retries(cb, user);

    std::uint32_t marks = 0;
    if (mode == kEraseHexFileSectors) {
        EraseSink sink(marks);
        if (IspResult* failed = load_hex_source(hex_file, sink))
            return failed;
    } else {
        marks = block_mask;
    }

    if (marks == 0)
        return set_result(kErrInvalidValue, "(nothing to erase)");
    const int count = sector_count();
    for (int i = 0; i < kMaskSectors; ++i) {
        if ((marks & (1u << i)) != 0 && i >= count)
            return set_result_f(kErrNotSupported, "(erasing block %d)", i);
    }
    for (int i = 0; i < kMaskSectors; ++i) {
        if ((marks & (1u << i)) == 0)
            continue;
        if (!report_progress(cb, QZ_EVENT_ERASE_SECTOR, i, 0, user))
            return isp_result();
        if (IspResult* failed = erase_sector_with_retries(i))
            return failed;
    }
    return set_success();
}

IspResult* op_blank_check(unsigned start, unsigned end)
{
    if (sector_count() == 0)
        return set_result(kErrNotSupported, "(no flash memory)");
    if (end < start)
        return set_result(kErrInvalidValue, "(start address greater than end address)");
    if (!require_port())
        return isp_result();
    const Sector* sector = sector_matching(current_sector_table(), start, end);
    if (sector == nullptr)
        return set_result(kErrInvalidValue, "(block not found)");
    const std::uint32_t rom = selected_device().boot_rom_base;
    if (rom >= sector->start && rom <= sector->end) {
        put_result_address(0, sector->start, 3);
        return set_status_only(QZ_STATUS_NOT_BLANK);
    }
    std::uint8_t address[3] = {};
    const int r = blank_check_sector(static_cast<int>(sector->number), address);
    if (r == 2)
        return set_status_only(QZ_STATUS_BLANK);
    if (r == 3) {
        IspResult* res = isp_result();
        res->data[0] = address[0];
        res->data[1] = address[1];
        res->data[2] = address[2];
        return set_status_only(QZ_STATUS_NOT_BLANK);
    }
    return report_engine_failure(r, "blank check");
}

} // namespace qz
