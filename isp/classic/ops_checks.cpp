// Blank check, CRC, EEPROM CRC and MISR of the classic parts.
#include "isp/classic/settings_ops.h"

#include "isp/classic/capabilities.h"
#include "isp/classic/classic_state.h"
#include "isp/classic/command_templates.h"
#include "isp/classic/family_blocks.h"
#include "isp/classic/op_retry.h"
#include "isp/classic/read_range.h"
#include "isp/classic/readback_commands.h"
#include "isp/classic/settings_commands.h"
#include "isp/classic/transmission.h"
#include "isp/core/debuglog.h"
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"

namespace qz {

namespace {

bool above_64k(const ClassicDeviceRecord& d) { return d.flash_size > 0x10000; }

// A block number of the part, or -3 for the whole device.
IspResult* check_block(int block, int count, bool whole_allowed)
{
    if ((whole_allowed && block == kWholeDeviceBlock) || (block >= 0 && block < count))
        return nullptr;
    return set_result_f(kErrInvalidValue, "(block %d)", block);
}

int part_blocks(const ClassicDeviceRecord& d)
{
    const FamilyBlockTable t = family_blocks(d.family);
    return d.block_count < t.count ? d.block_count : t.count;
}

IspResult* report_crc(int r, std::uint32_t value, const char* words)
{
    if (r != 1)
        return report_engine_failure(r, words);
    set_result_be(0, value, 4);
    return set_success();
}

} // namespace

IspResult* classic_blank_check(unsigned start, unsigned end)
{
    if (!selected_classic_device() || !require_port())
        return set_result(kErrNoConnection);
    const ClassicDeviceRecord& d = *selected_classic_device();
    if (IspResult* r = check_read_range(d, start, end))
        return r;
    std::uint32_t first = 0;
    const int r = tried_while_negative([&] {
        return record_dialect(d) == kDialect2 ? d2_blank_check(start) : d1_blank_check(d, start, end, first);
    });
    if (r < 0)
        return report_engine_failure(r, "blank check");
    if (r == kNotBlank) {
        // The dialect 2 answer names no address: the bytes say 0.
        set_result_be(0, first, 3);
        return set_status_only(QZ_STATUS_NOT_BLANK);
    }
    return set_status_only(r == kBlank ? QZ_STATUS_BLANK : r);
}

IspResult* classic_read_crc(int block)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ReadCrc))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    if (IspResult* r = check_block(block, part_blocks(d), true))
        return r;
    if (d.block_count == 1 && block == 0) {
        debug_log(kLogDebug, "reading CRC of sole block, so switching to read of device CRC");
        block = kWholeDeviceBlock;
    }
    std::uint32_t value = 0;
    const std::string command = d2_read_crc_command(d, block);
    const int r = tried_while_negative([&] { return send_crc_command(command, value); });
    return report_crc(r, value, "read crc");
}

IspResult* classic_read_eeprom_crc(int block)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ReadEepromCrc))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    // The EEPROM is read page by page; there is no whole-EEPROM form.
    const int pages = d.eeprom_page_count > 128 ? 128 : static_cast<int>(d.eeprom_page_count);
    if (IspResult* r = check_block(block, pages, false))
        return r;
    const bool d2 = record_dialect(d) == kDialect2;
    if (d2) {
        const int on = d2_eeprom_access(true);
        if (on != 1)
            return report_engine_failure(on, "read eeprom crc");
    }
    std::uint32_t value = 0;
    const std::string command = d2_read_eeprom_crc_command(d, block);
    const int r = tried_while_negative([&] { return send_crc_command(command, value); });
    const int off = d2 ? d2_eeprom_access(false) : 1;
    if (r == 1 && off != 1)
        return report_engine_failure(off, "read eeprom crc");
    return report_crc(r, value, "read eeprom crc");
}

IspResult* classic_read_misr(int block)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ReadMisr))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    const int blocks = part_blocks(d);
    if (IspResult* r = check_block(block, blocks, true))
        return r;
    std::uint16_t start = 0, end = 0;
    if (!above_64k(d) && blocks > 0) {
        const FamilyBlockTable t = family_blocks(d.family);
        const FlashBlock& first = t.blocks[block == kWholeDeviceBlock ? 0 : block];
        const FlashBlock& last = t.blocks[block == kWholeDeviceBlock ? blocks - 1 : block];
        start = static_cast<std::uint16_t>(first.start);
        end = static_cast<std::uint16_t>(last.end);
    }
    std::uint8_t misr[16] = {};
    const int r = tried_while_negative([&] { return d2_read_misr(start, end, misr); });
    if (r == kErrCommunicate)
        return set_result(kErrCommunicate, "(transmit/receive)");
    if (r != 1)
        return set_result(kErrOperationFailed, "(read MISR)");
    IspResult* res = isp_result();
    for (int i = 0; i < 16; ++i)
        res->data[i] = misr[i];
    return set_success();
}

} // namespace qz
