#include "isp/cortex/ops_readback.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "isp/cortex/cortexsinks.h"
#include "isp/cortex/devicetable.h"
#include "isp/cortex/flashimage.h"
#include "isp/core/errorcodes.h"
#include "isp/core/hexrecord.h"
#include "isp/core/hexwriter.h"
#include "isp/cortex/memtransfer.h"
#include "isp/core/ops_common.h"
#include "isp/core/outputfile.h"
#include "isp/cortex/ops_security.h"
#include "isp/core/result.h"
#include "isp/cortex/selecteddevice.h"

namespace qz {

namespace {

constexpr std::uint32_t kRecordBytes = 64;
// Records are read in runs of up to this many bytes, so that one "R" (of at
// most 900 bytes) serves many records.
constexpr std::uint32_t kReadRun = 900;
constexpr std::uint32_t kBufferChunk = 512;
constexpr int kPiecesPerReport = 10;

// Whether first..last lies wholly in the part's RAM, or in its flash: within
// one bank, or across banks that follow each other without a gap. *beyond
// is the first address past the flash or RAM where first lies (first itself
// when it lies in neither).
bool readable_range(std::uint64_t first, std::uint64_t last, std::uint64_t* beyond)
{
    const CortexPartMap map;
    const auto in_flash = [&map](std::uint64_t address) {
        const CortexPartMap::Where w = map.locate(address, address).where;
        return w == CortexPartMap::kSelectedBank || w == CortexPartMap::kOtherBank;
    };
    std::uint64_t from = first;
    for (;;) {
        const CortexPartMap::Spot spot = map.locate(from, last);
        if (spot.where != CortexPartMap::kOutside)
            return true;
        *beyond = spot.outside;
        // Only a bank goes on, in a bank right after it.
        if (spot.outside == from || !in_flash(from) || !in_flash(spot.outside))
            return false;
        from = spot.outside;
    }
}

IspResult* check_read_arguments(unsigned start, unsigned end)
{
    if (!selected_device().read_allowed)
        return set_result(kErrNotSupported);
    if (!require_port())
        return isp_result();
    if (end < start)
        return set_result(kErrInvalidValue, "The start address is greater than the end address");
    // A read-back past the flash is the caller's mistake, told before the
    // part is asked anything (it would answer only after most of the read).
    // The part's RAM may be read as well; between two banks or below the
    // first there is nothing to read.
    std::uint64_t beyond = 0;
    if (sector_count() == 0 || readable_range(start, end, &beyond))
        return nullptr;
    if (beyond == start)
        return set_result_f(kErrInvalidValue, "(start address 0x%X outside the part's flash and RAM)", start);
    return set_result_f(kErrInvalidValue, "(end address 0x%X beyond the part's flash)", end);
}

} // namespace

IspResult* op_read_data(unsigned start, unsigned end, const char* out_file, ProgressCallback cb, int user)
{
    if (IspResult* failed = check_read_arguments(start, end))
        return failed;
    // The file first, so that a path that cannot take it costs no talk with
    // the part; a run that does not end well leaves it as it was.
    OutputFile f;
    if (!f.open(out_file))
        return set_result(kErrCreateFile, out_file != nullptr ? out_file : "");
    IspResult* crp = op_read_security_bits();
    if (crp->status != QZ_STATUS_SUCCESS)
        return crp;
    if (crp->data[0] != 0)
        return set_result(kErrOperationFailed, "(reading data - security violation in device)");

    char record[hex_record_length(kRecordBytes) + 1];
    std::uint32_t upper = start >> 16;
    std::size_t length = make_linear_address_record(static_cast<std::uint16_t>(upper), record, sizeof record);
    if (!f.write_line(record, length))
        return set_result(kErrCreateFile, out_file);

    // Each record ends at 64 bytes, at a 64 KiB boundary (where its 16-bit
    // address would wrap) or at the end.
    auto record_last = [end](std::uint64_t from) {
        std::uint64_t last = from + kRecordBytes - 1;
        const std::uint64_t boundary = (from | 0xFFFFull);
        if (last > boundary)
            last = boundary;
        return last > end ? std::uint64_t(end) : last;
    };
    std::uint8_t data[kReadRun];
    int pieces = 0;
    std::uint64_t address = start;
    while (address <= end) {
        // The whole records that fit into one read.
        std::uint64_t run_last = record_last(address);
        while (run_last < end && record_last(run_last + 1) - address + 1 <= kReadRun)
            run_last = record_last(run_last + 1);
        const int r = read_memory(static_cast<std::uint32_t>(address), static_cast<std::uint32_t>(run_last), data);
        // Only line and protection failures get the operation's words.
        if (r != 1)
            return r == -18 ? set_result(r) : report_engine_failure(r, "reading data");
        const std::uint64_t run_start = address;
        while (address <= run_last) {
            const std::uint64_t last = record_last(address);
            const std::uint32_t n = static_cast<std::uint32_t>(last - address + 1);
            if (n == kRecordBytes && ++pieces % kPiecesPerReport == 0 &&
                !report_progress(cb, QZ_EVENT_READ_PROGRESS, static_cast<int>(address), 1024, user))
                return isp_result();
            const std::uint32_t high = static_cast<std::uint32_t>(address >> 16);
            if (high != upper) {
                upper = high;
                length = make_linear_address_record(static_cast<std::uint16_t>(upper), record, sizeof record);
                if (!f.write_line(record, length))
                    return set_result(kErrCreateFile, out_file);
            }
            length = make_data_record(static_cast<std::uint16_t>(address & 0xFFFF), n, data + (address - run_start),
                                      record, sizeof record);
            if (!f.write_line(record, length))
                return set_result(kErrCreateFile, out_file);
            address = last + 1;
        }
    }
    if (!f.write_line(kHexEndRecord, sizeof kHexEndRecord - 1) || !f.commit())
        return set_result(kErrCreateFile, out_file);
    return set_success();
}

IspResult* op_read_data_to_buffer(unsigned start, unsigned end, unsigned char* buffer, ProgressCallback cb,
                                  int user)
{
    if (IspResult* failed = check_read_arguments(start, end))
        return failed;
    if (buffer == nullptr)
        return set_result(kErrInvalidValue, "(no buffer)");
    for (std::uint64_t address = start; address <= end; address += kBufferChunk) {
        std::uint64_t last = address + kBufferChunk - 1;
        if (last > end)
            last = end;
        const int r = read_memory(static_cast<std::uint32_t>(address), static_cast<std::uint32_t>(last),
                                  buffer + (address - start));
        if (r != 1)
            return report_engine_failure(r, "reading data");
        if (!report_progress(cb, QZ_EVENT_READ_PROGRESS, static_cast<int>(address), 512, user))
            return isp_result();
    }
    return set_success();
}

} // namespace qz
