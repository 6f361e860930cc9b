#include "isp/cortex/ops_verify.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "isp/cortex/cortexsinks.h"
#include "isp/cortex/devicetable.h"
#include "isp/core/errorcodes.h"
#include "isp/cortex/flashimage.h"
#include "isp/cortex/isp_commands.h"
#include "isp/cortex/memtransfer.h"
#include "isp/core/ops_common.h"
#include "isp/core/programsource.h"
#include "isp/core/result.h"
#include "isp/cortex/sectortables.h"
#include "isp/cortex/selecteddevice.h"

namespace qz {

namespace {

constexpr std::size_t kVerifyChunk = 512;

IspResult* report_read_failure(int r)
{
    switch (r) {
    case -2:
        return set_result(kErrCommunicate, "(transmit/receive)");
    case kEngineProtected:
    case kEnginePassword:
    case kEngineI2c:
        return report_engine_failure(r, "reading device");
    default:
        return set_result(kErrOperationFailed, "(reading device)");
    }
}

} // namespace

IspResult* op_verify(const char* hex_file, int skip_checksum_bytes, ProgressCallback cb, int user)
{
    if (!require_port())
        return isp_result();
    const CortexDeviceRecord& device = selected_device();
    const FlashBank& bank = selected_bank();
    if (bank.start == bank.end)
        return set_result(kErrNotSupported, "(no flash memory)");

    FlashImage expected;
    if (!expected.allocate_for_bank(bank, device.boot_rom_base, device.fill_byte))
        return set_result_f(kErrAllocate, "size : %lu bytes",
                            static_cast<unsigned long>(flash_image_last(bank, device.boot_rom_base) - bank.start) + 1);
    const std::size_t size = expected.size();
    std::unique_ptr<std::uint8_t[]> marks(new (std::nothrow) std::uint8_t[size]);
    std::unique_ptr<std::uint8_t[]> read(new (std::nothrow) std::uint8_t[kVerifyChunk]);
    if (!marks || !read)
        return set_result_f(kErrAllocate, "size : %lu bytes", static_cast<unsigned long>(size));
    std::memset(marks.get(), 0, size);

    VerifySink sink(expected, marks.get());
    if (IspResult* failed = load_hex_source(hex_file, sink))
        return failed;

    auto unmark = [&](std::uint64_t address, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (expected.holds(address + i, address + i))
                marks[address + i - expected.first()] = 0;
        }
    };
    if (skip_checksum_bytes) {
        const SectorTable& table = current_sector_table();
        for (int i = 0; i < table.size; ++i)
            unmark(table.sectors[i].checksum_address, 1);
    }
    unmark(static_cast<std::uint64_t>(bank.start) + bank.vector_checksum_address, 4);

    const std::size_t crp = bank.crp_address;
    for (std::size_t offset = 0; offset < size; offset += kVerifyChunk) {
        const std::size_t n = size - offset < kVerifyChunk ? size - offset : kVerifyChunk;
        bool marked = false;
        for (std::size_t i = 0; i < n && !marked; ++i)
            marked = marks[offset + i] != 0;
        if (marked) {
            const std::uint32_t first = bank.start + static_cast<std::uint32_t>(offset);
            int r = -18;
            for (int t = 0; t < kDeviceTries && r != 1; ++t)
                r = read_memory(first, first + static_cast<std::uint32_t>(n) - 1, read.get());
            // A chunk that could not be read is reported as such, never compared.
            if (r != 1)
                return report_read_failure(r);
            for (std::size_t i = 0; i < n; ++i) {
                const std::size_t at = offset + i;
                if (marks[at] == 0 || (at >= crp && at < crp + 4))
                    continue;
                if (read[i] != expected.data()[at])
                    return set_result_f(kErrVerify, "(address 0x%8.8lX)", static_cast<unsigned long>(at));
            }
        }
        if (!report_progress(cb, QZ_EVENT_CHUNK_VERIFIED, static_cast<int>(offset), 0, user))
            return isp_result();
    }
    return set_success();
}

} // namespace qz
