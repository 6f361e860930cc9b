// Erasing flash and EEPROM page by page.
#include "isp/classic/settings_ops.h"

#include "isp/classic/capabilities.h"
#include "isp/classic/classic_state.h"
#include "isp/classic/command_templates.h"
#include "isp/classic/dialect_commands.h"
#include "isp/classic/family_blocks.h"
#include "isp/classic/hex_command.h"
#include "isp/classic/op_retry.h"
#include "isp/classic/settings_commands.h"
#include "isp/classic/transmission.h"
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"

namespace qz {

namespace {

bool any_flag(const int* flags, std::uint32_t count)
{
    for (std::uint32_t i = 0; i < count; ++i)
        if (flags[i])
            return true;
    return false;
}

IspResult* page_failed(int r, int page)
{
    switch (r) {
    case kEnginePasswordNeeded:
        return set_result_f(kErrOperationFailed,
                            "(Failed to erase page %d - please unlock the device by supplying a password)", page);
    case kEngineSecurityViolation:
        return set_result_f(kErrOperationFailed, "(Failed to erase page %d - security violation in device)", page);
    case kEngineI2cError:
        return set_result_f(kErrOperationFailed,
                            "(Failed to erase page %d - I2C Communication error - Possible causes includes open "
                            "connections, shorted bus wires, missing pullup resistors, or incorrect I2C slave address)",
                            page);
    case kErrCommunicate:
        return set_result(kErrCommunicate, "(transmit/receive)");
    default:
        return set_result_f(kErrOperationFailed, "(Failed to erase page %d.)", page);
    }
}

// The block of the family's table that holds `address`, or -1.
int block_of(const ClassicDeviceRecord& d, std::uint32_t address)
{
    const FamilyBlockTable t = family_blocks(d.family);
    for (int b = 0; b < t.count && b < d.block_count; ++b)
        if (address >= t.blocks[b].start && address <= t.blocks[b].end)
            return b;
    return -1;
}

// Dialect 2: a sector whose security flags are set cannot be erased.
int sector_locked(const ClassicDeviceRecord& d, int block, bool& locked)
{
    locked = false;
    if (block < 0)
        return 1;
    std::uint8_t v = 0;
    const int r = tried_until_done([&] { return send_value_command(d2_read_sector_security_command(d, block), v); });
    locked = r == 1 && (v & 0x07) != 0;
    return r;
}

} // namespace

IspResult* classic_erase_pages(const int* page_flags, int guard, ProgressCallback cb, int user)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ErasePages))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    const std::uint32_t pages = d.page_count > 1024 ? 1024 : d.page_count;
    if (!page_flags || !any_flag(page_flags, pages))
        return set_result(kErrInvalidValue, "(nothing to erase)");
    const bool d2 = record_dialect(d) == kDialect2;
    for (std::uint32_t j = 0; j < pages; ++j) {
        if (!page_flags[j])
            continue;
        const int page = static_cast<int>(j);
        if (d2) {
            bool locked = false;
            const int r = sector_locked(d, block_of(d, j * d.page_size), locked);
            if (r != 1)
                return report_engine_failure(r, "reading security bits");
            if (locked)
                return set_result_f(kErrOperationFailed, "(Unable to erase page %d - erase disabled via security bits)",
                                    page);
        }
        if (d.boot_loader_guard && guard && j >= d.page_limit)
            continue;
        if (!report_progress(cb, QZ_EVENT_PAGE_ERASED, page, 0, user))
            return isp_result();
        const int r = tried_until_done([&] { return d2 ? d2_erase_page(d, page) : d1_erase_page(d, page); });
        if (r != 1)
            return page_failed(r, page);
    }
    return set_success();
}

IspResult* classic_erase_eeprom_pages(const int* page_flags, ProgressCallback cb, int user)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::EraseEepromPages))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    const std::uint32_t pages = d.eeprom_page_count > 128 ? 128 : d.eeprom_page_count;
    if (!page_flags || !any_flag(page_flags, pages))
        return set_result(kErrInvalidValue, "(nothing to erase)");
    const bool d2 = record_dialect(d) == kDialect2;
    if (d2) {
        const int on = d2_eeprom_access(true);
        if (on != 1)
            return report_engine_failure(on, "erasing eeprom pages");
    }
    int failed_page = -1, r = 1;
    bool cancelled = false;
    for (std::uint32_t j = 0; j < pages && r == 1 && !cancelled; ++j) {
        if (!page_flags[j])
            continue;
        const int page = static_cast<int>(j);
        if (cb && cb(QZ_EVENT_PAGE_ERASED, page, 0, user) == 0) {
            cancelled = true;
            break;
        }
        const std::string command = d2_erase_eeprom_page_command(d, page);
        r = tried_until_done([&] {
            if (command.empty())
                return static_cast<int>(kErrOperationFailed);
            use_long_timeouts();
            const int s = send_command(command);
            use_short_timeouts();
            return s;
        });
        if (r != 1)
            failed_page = page;
    }
    // Access goes off before anything is reported, a cancel included.
    const int off = d2 ? d2_eeprom_access(false) : 1;
    if (cancelled)
        return set_result(kErrCancelled);
    if (r != 1)
        return page_failed(r, failed_page);
    if (off != 1)
        return report_engine_failure(off, "erasing eeprom pages");
    return set_success();
}

} // namespace qz
