#include "isp/cortex/ops_security.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "isp/core/debuglog.h"
#include "isp/cortex/devicetable.h"
#include "isp/core/errorcodes.h"
#include "isp/cortex/isp_commands.h"
#include "isp/cortex/isp_reply.h"
#include "isp/cortex/memtransfer.h"
#include "isp/core/ops_common.h"
#include "isp/core/result.h"
#include "isp/cortex/selecteddevice.h"

namespace qz {

namespace {

// Parts whose boot ROM predates CRP report this id.
const char kCrpLessPartId[] = "620761360";

IspResult* crp_level(int level, const char* log_line, const char* text)
{
    debug_log(kLogDebug, log_line);
    IspResult* r = set_status_text(QZ_STATUS_SUCCESS, text);
    r->data[0] = static_cast<unsigned char>(level);
    return r;
}

std::uint32_t le_word(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

IspResult* report_crp_write_failure(int r)
{
    return report_step_failure(r, "programming crp", "(programming crp - failed to send data to the device)");
}

} // namespace

IspResult* op_read_security_bits()
{
    if (!require_port())
        return isp_result();
    char id[kReplyLineSize] = {};
    if (read_part_id(id, sizeof id) != 1)
        return set_result(kErrOperationFailed, "(reading signature before security)");
    if (std::strcmp(id, kCrpLessPartId) == 0)
        return set_result(kErrOperationFailed, "(CRP is not supported on this device. LPC1751 with date code "
                                               ">= 1013 [signature 0x25001118] needed)");
    debug_log(kLogDebug, "Testing for code read protection");
    const CortexDeviceRecord& d = selected_device();
    const std::uint32_t word = selected_bank().start + selected_bank().crp_address;
    std::uint8_t bytes[4] = {};
    const int read = read_memory(word, word + 3, bytes);
    if (read == 1)
        return crp_level(0, "Able to read from flash therefore CRP not enabled", "CRP not set");
    // Only the boot ROM's protection answer tells about CRP; anything else
    // is a failure of the line or the part.
    if (read != kEngineProtected)
        return report_engine_failure(read, "reading code read protection state");
    const std::uint8_t zeros[4] = {};
    const int write = write_memory(d.ram_start + d.ram_buffer_offset, zeros, sizeof zeros, false);
    if (write == 1)
        return crp_level(1, "Able to write to ram therefore CRP level 1", "CRP set to level 1");
    if (write == kEngineProtected)
        return crp_level(2, "Not able to write to ram therefore CRP level 2 or 3", "CRP set to level 2 or 3");
    return report_engine_failure(write, "reading code read protection state");
}

IspResult* op_program_security_bits(const unsigned* crp_word)
{
    debug_log(kLogDebug, "Programming CRP");
    if (crp_word == nullptr)
        return set_result(kErrInvalidValue, "(no CRP word)");
    const CortexDeviceRecord& d = selected_device();
    const FlashBank& bank = selected_bank();
    const std::uint32_t block = d.program_block_size;
    if (block == 0 || sector_count() == 0)
        return set_result(kErrNotSupported, "(no flash memory)");
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[block]);
    if (!buffer)
        return set_result_f(kErrAllocate, "size : %u bytes", block);
    // The program block that holds the CRP word: the first one on parts
    // with 1 KiB blocks, a later one where blocks are smaller.
    const std::uint32_t crp = bank.crp_address;
    const std::uint32_t block_start = bank.start + (crp / block) * block;
    int r = read_memory(block_start, block_start + block - 1, buffer.get());
    if (r != 1)
        return report_crp_write_failure(r);
    const std::uint32_t at = crp % block;
    // Without an erase, flash bits can only be cleared: a word that needs a
    // set bit would end up as the old word ANDed with the new one.
    const std::uint32_t old = le_word(buffer.get() + at);
    if ((old & *crp_word) != *crp_word)
        return set_result_f(kErrOperationFailed, "(programming crp - the word at 0x%X needs an erase first)", crp);
    for (int i = 0; i < 4; ++i)
        buffer[at + i] = static_cast<std::uint8_t>(*crp_word >> (8 * i));
    // The copy to flash needs an unlocked boot ROM, whatever ran before.
    r = unlock_device();
    if (r == 1)
        r = write_memory(block_start, buffer.get(), block, true);
    if (r != 1)
        return report_crp_write_failure(r);
    // Only the word in flash tells that the copy took.
    std::uint8_t written[4] = {};
    r = read_memory(bank.start + crp, bank.start + crp + 3, written);
    if (r != 1)
        return report_crp_write_failure(r);
    if (le_word(written) != *crp_word)
        return set_result_f(kErrOperationFailed, "(programming crp - the word at 0x%X reads back as 0x%08X)", crp,
                            le_word(written));
    return set_success();
}

} // namespace qz
