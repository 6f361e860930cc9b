#include "isp/classic/program_engine.h"

#include "isp/classic/classic_image.h"
#include "isp/classic/classic_state.h"
#include "isp/classic/family_blocks.h"
#include "isp/classic/record_senders.h"
#include "isp/classic/settings_writes.h"
#include "isp/core/errorcodes.h"
#include "isp/core/hexwriter.h"
#include "isp/core/programsource.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"

#include <new>
#include <string>

namespace qz {

namespace {

constexpr char kEofRecord[] = ":00000001FF";

class Run {
public:
    Run(const ClassicDeviceRecord& d, const ClassicProgramRequest& r) : d_(d), req_(r) {}
    IspResult* go(std::uint32_t base, std::uint32_t size, std::uint64_t part_first, std::uint64_t part_last);

private:
    bool dialect2() const { return record_dialect(d_) == kDialect2; }
    IspResult* load();
    IspResult* prologue();
    IspResult* records();
    IspResult* end_of_file();
    IspResult* lifted_settings();
    IspResult* record_failure(int r, std::uint32_t address);

    const ClassicDeviceRecord& d_;
    const ClassicProgramRequest& req_;
    ClassicImage image_;
};

IspResult* Run::go(std::uint32_t base, std::uint32_t size, std::uint64_t part_first, std::uint64_t part_last)
{
    image_.erased = d_.erased_value;
    image_.base = base;
    image_.part_first = part_first;
    image_.part_last = part_last;
    try {
        image_.bytes.assign(size, req_.use_fill_byte ? static_cast<std::uint8_t>(req_.fill_byte) : d_.erased_value);
    } catch (const std::bad_alloc&) {
        return set_result_f(kErrAllocate, "size : %lu bytes", static_cast<unsigned long>(size));
    }
    // Every source is read and checked before the part is touched.
    if (IspResult* failed = load())
        return failed;
    if (req_.checksum_adjust)
        add_checksum_adjusters(d_, image_);
    // An image with nothing to program sends nothing at all.
    if (!image_.has_data() && !image_.lifted.any())
        return set_success();
    if (IspResult* failed = prologue())
        return failed;
    if (IspResult* failed = records())
        return failed;
    if (IspResult* failed = end_of_file())
        return failed;
    if (IspResult* failed = lifted_settings())
        return failed;
    return set_success();
}

IspResult* Run::load()
{
    const HexAddressing addressing = d_.flash_size > 0x10000 ? HexAddressing::kClassicWide : HexAddressing::kClassic;
    ClassicImageSink sink(d_, image_);
    return load_program_sources(program_sources_of(req_, addressing), sink);
}

IspResult* Run::prologue()
{
    if (dialect2() || d_.flash_size <= 0x10000)
        return nullptr;
    char text[32];
    make_linear_address_record(0, text, sizeof text);
    const int r = tried_until_done([&] { return d1_send_address_record(text); });
    if (r == 1)
        return nullptr;
    // A refused, garbled or unknown answer is a plain failure of the step.
    const bool plain = r == kErrProgramHex || r == kErrHexChecksum || r == kErrFillMemory;
    return report_engine_failure(plain ? kErrOperationFailed : r, "hex file prologue");
}

IspResult* Run::record_failure(int r, std::uint32_t address)
{
    switch (r) {
    case kEngineTransmitReceive:
    case kEngineSecurityViolation:
    case kEnginePasswordNeeded:
    case kEngineI2cError:
    case kEngineOperationFailed:
        return report_engine_failure(r, "programming hex record");
    default:
        // -10, -11, and the refusals of an unknown status (-14) or a
        // record that could not be built (-19): the run stops at the address.
        if (d_.flash_size > 0x10000)
            return set_result_f(r, "Address : 0x%6.6lX", static_cast<unsigned long>(address));
        return set_result_f(r, "Address : 0x%4.4X", static_cast<unsigned>(address));
    }
}

IspResult* Run::records()
{
    const std::size_t step = d_.record_size ? d_.record_size : 16;
    const std::size_t size = image_.bytes.size();
    std::size_t number = 0;
    for (std::size_t offset = 0; offset < size; offset += step) {
        ++number;
        const std::size_t n = size - offset < step ? size - offset : step;
        const std::uint8_t* data = image_.bytes.data() + offset;
        bool blank = true;
        for (std::size_t i = 0; i < n && blank; ++i)
            blank = data[i] == image_.erased;
        if (blank)
            continue;
        const std::uint32_t address = image_.base + static_cast<std::uint32_t>(offset);
        const int r = tried_until_done([&] {
            return dialect2() ? d2_program_record(d_, address, data, n) : d1_program_record(d_, address, data, n);
        });
        if (r != 1)
            return record_failure(r, address);
        if (number % 10 == 0 && req_.cb && req_.cb(QZ_EVENT_BLOCK_PROGRAMMED, static_cast<int>(address), 0, req_.user) == 0)
            return set_result(kErrCancelled);
    }
    return nullptr;
}

IspResult* Run::end_of_file()
{
    const int r = tried_until_done([&] { return dialect2() ? d2_send_record(kEofRecord) : d1_send_record(kEofRecord); });
    if (r == 1)
        return nullptr;
    if (r == kErrProgramHex || r == kErrHexChecksum)
        return set_result(kErrOperationFailed, "(EOF checksum)");
    return report_engine_failure(r, "programming hex record");
}

IspResult* Run::lifted_settings()
{
    const LiftedValues& l = image_.lifted;
    if (l.config_present) {
        if (IspResult* failed = write_configuration(d_, l.config_high << 8 | l.config_low))
            return failed;
    }
    if (l.security_present) {
        int flags[96] = {};
        for (int b = 0; b < d_.block_count && b < 32; ++b)
            for (int bit = 0; bit < 3; ++bit)
                flags[b * 3 + bit] = (l.security[b] >> bit) & 1;
        if (d_.security_flag_count <= 96) {
            if (IspResult* failed = write_security_flags(d_, flags))
                return failed;
        }
    }
    if (req_.final_flag != 1) {
        if (IspResult* failed = program_bv_sb_step(d_))
            return failed;
    }
    if (l.addl_present) {
        const int flags[3] = {(l.addl_security >> 5) & 1, (l.addl_security >> 6) & 1, (l.addl_security >> 7) & 1};
        if (IspResult* failed = write_addl_security(d_, flags))
            return failed;
    }
    return nullptr;
}

} // namespace

std::uint32_t program_image_size(const ClassicProgramRequest& request)
{
    const ClassicDeviceRecord* d = selected_classic_device();
    if (!d)
        return 0;
    if (!request.guard || !d->boot_loader_guard)
        return d->flash_size;
    if (d->page_count != 0)
        return d->page_limit * d->page_size;
    const FlashBlock* b = family_block(d->family, static_cast<int>(d->first_paged_block));
    return b ? b->start : d->flash_size;
}

IspResult* program_image(const ClassicProgramRequest& request, std::uint32_t base, std::uint32_t size,
                         std::uint64_t part_first, std::uint64_t part_last)
{
    const ClassicDeviceRecord* d = selected_classic_device();
    if (!d || !port_is_open())
        return set_result(kErrNoConnection);
    Run run(*d, request);
    return run.go(base, size, part_first, part_last);
}

IspResult* program_engine(const ClassicProgramRequest& request)
{
    const ClassicDeviceRecord* d = selected_classic_device();
    if (!d || !port_is_open())
        return set_result(kErrNoConnection);
    return program_image(request, 0, program_image_size(request), 0, d->flash_size - 1);
}

} // namespace qz
