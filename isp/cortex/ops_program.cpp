#include "isp/cortex/ops_program.h"

#include <cstdint>

#include "isp/cortex/cortexsinks.h"
#include "isp/cortex/devicetable.h"
#include "isp/core/errorcodes.h"
#include "isp/cortex/flashimage.h"
#include "isp/core/hexutil.h"
#include "isp/cortex/isp_commands.h"
#include "isp/cortex/memtransfer.h"
#include "isp/core/ops_common.h"
#include "isp/core/programsource.h"
#include "isp/cortex/ramimage.h"
#include "isp/core/result.h"
#include "isp/cortex/sectortables.h"
#include "isp/cortex/selecteddevice.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"

namespace qz {

namespace {

// Both images live for one run and are released on every way out.
struct Images {
    FlashImage flash;
    ~Images() { ram_image_free(); }
};

class Engine {
public:
    Engine(const ProgramRequest& request)
        : req_(request), device_(selected_device()), bank_(selected_bank())
    {
    }

    IspResult* run();

private:
    IspResult* allocate();
    IspResult* load_sources();
    bool is_data(std::uint8_t byte) const;
    void set_vector_checksum();
    void adjust_sector_checksums();
    IspResult* write_flash();
    IspResult* write_ram();
    IspResult* report_write_failure(int r);

    const ProgramRequest& req_;
    const CortexDeviceRecord& device_;
    const FlashBank& bank_;
    Images images_;
};

IspResult* Engine::run()
{
    if (!require_port())
        return isp_result();
    if (IspResult* failed = allocate())
        return failed;
    // Every source is read and checked before the part is touched.
    if (IspResult* failed = load_sources())
        return failed;
    set_vector_checksum();
    if (req_.checksum_adjust)
        adjust_sector_checksums();
    if (IspResult* failed = write_flash())
        return failed;
    if (IspResult* failed = write_ram())
        return failed;
    return set_success();
}

IspResult* Engine::allocate()
{
    const std::uint8_t fill = req_.use_fill_byte ? req_.fill_byte : device_.fill_byte;
    if (!images_.flash.allocate_for_bank(bank_, device_.boot_rom_base, fill)) {
        const unsigned long size =
            static_cast<unsigned long>(flash_image_last(bank_, device_.boot_rom_base) - bank_.start) + 1;
        return set_result_f(kErrAllocate, "size : %lu bytes", size);
    }
    // A RAM image left from an earlier run must not leak its data into this one.
    ram_image_free();
    if (!ram_image_alloc())
        return set_result(kErrAllocate);
    return nullptr;
}

IspResult* Engine::load_sources()
{
    ProgramImagesSink sink(images_.flash, *ram_image());
    return load_program_sources(program_sources_of(req_), sink);
}

bool Engine::is_data(std::uint8_t byte) const
{
    if (byte == device_.fill_byte)
        return false;
    return !req_.use_fill_byte || byte != req_.fill_byte;
}

void Engine::set_vector_checksum()
{
    const std::size_t v = bank_.vector_checksum_address;
    std::uint8_t* image = images_.flash.data();
    // The checksum word closes the first eight words of the vector table.
    if (v + 4 > images_.flash.size() || v + 4 > 32)
        return;
    bool vectors = false;
    for (std::size_t i = 0; i < v; ++i)
        vectors = vectors || is_data(image[i]);
    if (!vectors)
        return;
    if (device_.keep_vector_checksum) {
        for (std::size_t i = v; i < v + 4; ++i) {
            if (is_data(image[i]))
                return;
        }
    }
    std::uint32_t sum = 0;
    for (std::size_t w = 0; w < 8; ++w) {
        if (w * 4 == v)
            continue;
        const std::uint8_t* p = image + w * 4;
        sum += static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    const std::uint32_t word = 0u - sum;
    for (int i = 0; i < 4; ++i)
        image[v + i] = static_cast<std::uint8_t>(word >> (8 * i));
}

void Engine::adjust_sector_checksums()
{
    const SectorTable& table = current_sector_table();
    const int entries = table.size < kMaskSectors ? table.size : kMaskSectors;
    for (int i = 0; i < entries; ++i) {
        const Sector& s = table.sectors[i];
        std::uint8_t* first = images_.flash.at(s.start);
        std::uint8_t* last = images_.flash.at(s.end);
        std::uint8_t* adjuster = images_.flash.at(s.checksum_address);
        if (first == nullptr || last == nullptr || adjuster == nullptr)
            continue;
        bool used = false;
        for (std::uint8_t* p = first; p <= last && !used; ++p)
            used = p != adjuster && *p != device_.fill_byte;
        if (used)
            *adjuster = byte_sum(first, last, adjuster);
    }
}

IspResult* Engine::report_write_failure(int r)
{
    return report_step_failure(r, "programming hex record", "(programming - failed to send data to the device)");
}

IspResult* Engine::write_flash()
{
    // A part without flash has a one-byte image that no source can reach.
    if (sector_count() == 0)
        return nullptr;
    const std::uint8_t* image = images_.flash.data();
    const std::size_t size = images_.flash.size();
    bool any = false;
    for (std::size_t i = 0; i < size && !any; ++i)
        any = image[i] != device_.fill_byte;
    if (!any)
        return nullptr;
    const std::size_t block = device_.program_block_size;
    if (block == 0)
        return set_result(kErrNotSupported, "(no flash memory)");

    int r = -18;
    for (int i = 0; i < kDeviceTries && r != 1; ++i)
        r = unlock_device();
    if (r != 1)
        return report_engine_failure(r, "hex file prologue");

    const std::size_t blocks = (size + block - 1) / block;
    for (std::size_t b = blocks; b-- > 0;) {
        const std::size_t offset = b * block;
        const std::size_t n = size - offset < block ? size - offset : block;
        bool blank = true;
        for (std::size_t i = 0; i < n && blank; ++i)
            blank = image[offset + i] == device_.fill_byte;
        if (blank)
            continue;
        r = write_memory(bank_.start + static_cast<std::uint32_t>(offset), image + offset, n, true);
        if (r != 1)
            return report_write_failure(r);
        if (!report_progress(req_.cb, QZ_EVENT_BLOCK_PROGRAMMED, static_cast<int>(offset), 0, req_.user))
            return isp_result();
    }
    // The final step has nothing to do on these parts.
    return nullptr;
}

IspResult* Engine::write_ram()
{
    RamImage* ram = ram_image();
    if (ram == nullptr || !ram->exists())
        return nullptr;
    const std::uint8_t fill = ram->fill_byte();
    const std::uint32_t ram_start = ram->start();
    const std::uint32_t ram_end = ram->end();
    const std::uint8_t* bytes = ram->at(ram_start);
    const std::size_t size = ram->size();

    std::size_t first = size;
    std::size_t last = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] != fill) {
            if (first == size)
                first = i;
            last = i;
        }
    }
    if (first == size)
        return nullptr;

    const std::uint64_t from = (static_cast<std::uint64_t>(ram_start) + first) & ~3ull;
    std::uint64_t to = (static_cast<std::uint64_t>(ram_start) + last + 1 + 3) & ~3ull; // exclusive
    if (to > static_cast<std::uint64_t>(ram_end) + 1)
        to = static_cast<std::uint64_t>(ram_end) + 1;
    const std::uint64_t chunk = device_.ram_chunk_size != 0 ? device_.ram_chunk_size : 900;
    for (std::uint64_t a = from; a < to; a += chunk) {
        const std::size_t n = static_cast<std::size_t>(to - a < chunk ? to - a : chunk);
        const std::uint8_t* p = bytes + (a - ram_start);
        bool blank = true;
        for (std::size_t i = 0; i < n && blank; ++i)
            blank = p[i] == fill;
        if (blank)
            continue;
        const int r = write_memory(static_cast<std::uint32_t>(a), p, n, false);
        if (r != 1)
            return report_write_failure(r);
        if (!report_progress(req_.cb, QZ_EVENT_BLOCK_PROGRAMMED, static_cast<int>(a), 0, req_.user))
            return isp_result();
    }
    return nullptr;
}

} // namespace

IspResult* program_engine(const ProgramRequest& request)
{
    Engine engine(request);
    return engine.run();
}

IspResult* op_update_bootloader(const char* hex_file, ProgressCallback cb, int user)
{
    if (!selected_device().bootloader_update_allowed)
        return set_result(kErrNotSupported);
    if (!require_port())
        return isp_result();
    ProgramRequest request;
    request.hex_file = hex_file;
    request.final_flag = 1;
    request.cb = cb;
    request.user = user;
    IspResult* programmed = program_engine(request);
    if (programmed->status != QZ_STATUS_SUCCESS)
        return programmed;

    const CortexDeviceRecord& d = selected_device();
    const std::uint32_t khz = static_cast<std::uint32_t>(session().oscillatorMHz * 1000.0);
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(khz), static_cast<std::uint8_t>(khz >> 8),
                                   static_cast<std::uint8_t>(khz >> 16), static_cast<std::uint8_t>(khz >> 24)};
    int r = write_memory(d.ram_start + d.ram_buffer_offset, bytes, sizeof bytes, false);
    if (r != 1)
        return report_engine_failure(r, "patching bootloader with oscillator freq");
    r = go_command(d.ram_start + 0x204, true);
    if (r != 1)
        return report_engine_failure(r, "executing bootloader update");
    sleep_ms(2000);
    return set_success();
}

} // namespace qz
