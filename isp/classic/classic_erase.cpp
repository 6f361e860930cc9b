#include "isp/classic/classic_erase.h"

#include "isp/classic/classic_state.h"
#include "isp/classic/dialect_commands.h"
#include "isp/classic/command_templates.h"
#include "isp/classic/family_blocks.h"
#include "isp/classic/settings_writes.h"
#include "isp/classic/transmission.h"
#include "isp/core/errorcodes.h"
#include "isp/core/programsource.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"

#include <string>

namespace qz {

namespace {

constexpr int kModeAll = -3;
constexpr int kModeFile = -2;
constexpr int kModeBlocks = -1;

bool dialect2(const ClassicDeviceRecord& d) { return record_dialect(d) == kDialect2; }

// The blocks that hold a data record's first or last byte.
class BlockMarkSink final : public ProgramSink {
public:
    BlockMarkSink(const ClassicDeviceRecord& d, unsigned& marks) : d_(d), marks_(marks) {}
    Placement place(std::uint64_t address, const std::uint8_t*, std::size_t count) override
    {
        const std::uint64_t last = address + count - 1;
        if (last >= d_.flash_size)
            return {Placement::kOutside, address >= d_.flash_size ? address : std::uint64_t(d_.flash_size)};
        const FamilyBlockTable t = family_blocks(d_.family);
        for (int i = 0; i < t.count && i < 32; ++i) {
            const FlashBlock& b = t.blocks[i];
            if ((address >= b.start && address <= b.end) || (last >= b.start && last <= b.end))
                marks_ |= 1u << i;
        }
        return {};
    }

private:
    const ClassicDeviceRecord& d_;
    unsigned& marks_;
};

// Dialect 1 erase all: status byte, the erase-all record or every block,
// then the boot vector and status byte put back for the boot loader.
int d1_erase_all(const ClassicDeviceRecord& d)
{
    int r = d1_program_status_byte(d, 0xFF);
    if (r != 1)
        return r;
    if (d.erase_all_command) {
        use_long_timeouts();
        r = send_command(d1_erase_all_command(d));
        use_short_timeouts();
        if (r != 1)
            return r;
        // The XA loaders and those that repeat their erases still need the
        // boot vector and status byte put back.
        if (d.family != 1 && !d.repeat_erase)
            return 1;
    } else {
        for (int k = 0; k < d.block_count; ++k) {
            r = d1_erase_block(d, k);
            if (r != 1)
                return r;
        }
    }
    unsigned vector = 0;
    std::uint8_t status = 0;
    if (d1_read_boot_vector(d, vector) == 1 && d1_read_status_byte(d, status) == 1 && vector == d.reset_boot_vector &&
        status == 0xFF)
        return 1;
    r = d1_erase_bv_sb(d);
    if (r == 1)
        r = d1_program_boot_vector(d, d.reset_boot_vector);
    if (r == 1)
        r = d1_program_status_byte(d, 0xFF);
    return r;
}

// Dialect 2 erases that touch block 0 or the whole flash first set the
// status byte, so the boot loader keeps the part after a reset.
int d2_erase_all_steps(const ClassicDeviceRecord& d)
{
    const int r = d2_write_status_bit(d, 1);
    return r == 1 ? d2_erase_all(d) : r;
}

IspResult* erase_failure(int r, const char* what, int number)
{
    char words[64];
    std::snprintf(words, sizeof words, "Failed to erase %s %d", what, number);
    if (r == kErrOperationFailed) {
        std::string detail = std::string("(") + words + ".)";
        return set_result(kErrOperationFailed, detail.c_str());
    }
    return report_engine_failure(r, words);
}

class Erase {
public:
    Erase(const ClassicDeviceRecord& d, int guard, ProgressCallback cb, int user)
        : d_(d), guarded_(guard && d.boot_loader_guard), cb_(cb), user_(user)
    {
    }
    IspResult* all();
    IspResult* blocks(unsigned marks);

private:
    IspResult* pages_of(int block);
    const ClassicDeviceRecord& d_;
    bool guarded_;
    ProgressCallback cb_;
    int user_;
};

IspResult* Erase::all()
{
    if (cb_ && cb_(QZ_EVENT_ERASE_BANK, 0, 0, user_) == 0)
        return set_result(kErrCancelled);
    const int r = tried_until_done([&] { return dialect2(d_) ? d2_erase_all_steps(d_) : d1_erase_all(d_); });
    if (r == 1)
        return set_success();
    if (r == kErrOperationFailed)
        return set_result(kErrOperationFailed, "(erasing device)");
    return report_engine_failure(r, "erasing device");
}

IspResult* Erase::pages_of(int block)
{
    const FlashBlock* b = family_block(d_.family, block);
    if (!d_.page_erase_supported || !b || d_.page_size == 0)
        return nullptr;
    const std::uint32_t first = b->start / d_.page_size, end = (b->end + 1) / d_.page_size;
    if (dialect2(d_)) {
        std::uint8_t flags = 0;
        const int r = tried_until_done([&] { return send_value_command(d2_read_sector_security_command(d_, block), flags); });
        if (r != 1)
            return report_engine_failure(r, "reading security bits");
        if (flags & 0x07)
            return set_result_f(kErrOperationFailed, "(Unable to erase page %d - erase disabled via security bits)",
                                static_cast<int>(first));
    }
    for (std::uint32_t page = first; page < end && page < d_.page_limit; ++page) {
        const int p = static_cast<int>(page);
        const int r = tried_until_done([&] { return dialect2(d_) ? d2_erase_page(d_, p) : d1_erase_page(d_, p); });
        if (r != 1)
            return erase_failure(r, "page", p);
    }
    return nullptr;
}

IspResult* Erase::blocks(unsigned marks)
{
    for (int k = 0; k < 32; ++k) {
        if (!(marks & (1u << k)))
            continue;
        if (cb_ && cb_(QZ_EVENT_ERASE_SECTOR, k, 0, user_) == 0)
            return set_result(kErrCancelled);
        if (guarded_ && static_cast<std::uint32_t>(k) >= d_.first_paged_block) {
            if (IspResult* failed = pages_of(k))
                return failed;
            continue;
        }
        const int r = tried_until_done([&] { return dialect2(d_) ? d2_erase_sector(d_, k) : d1_erase_block(d_, k); });
        if (r != 1)
            return erase_failure(r, "block", k);
    }
    return set_success();
}

} // namespace

IspResult* classic_erase(int mode, unsigned block_mask, int guard, ProgressCallback cb, int user,
                         const char* hex_file)
{
    const ClassicDeviceRecord* d = selected_classic_device();
    if (!d || !port_is_open())
        return set_result(kErrNoConnection);
    if (d->block_count == 1 && (mode == kModeBlocks || mode == kModeFile))
        mode = kModeAll;
    Erase erase(*d, guard, cb, user);
    unsigned marks = 0;
    if (mode == kModeAll) {
        if (!(guard && d->boot_loader_guard))
            return erase.all();
        for (int k = 0; k < d->block_count && k < 32; ++k)
            marks |= 1u << k;
    } else if (mode == kModeFile) {
        BlockMarkSink sink(*d, marks);
        if (IspResult* failed = load_hex_source(hex_file, sink,
                                                d->flash_size > 0x10000 ? HexAddressing::kClassicWide
                                                                        : HexAddressing::kClassic))
            return failed;
    } else {
        marks = block_mask;
    }
    if (marks == 0)
        return set_result(kErrInvalidValue, "(nothing to erase)");
    for (int k = 0; k < 32; ++k)
        if ((marks & (1u << k)) && k >= d->block_count)
            return set_result_f(kErrNotSupported, "(erasing block %d)", k);
    return erase.blocks(marks);
}

} // namespace qz
