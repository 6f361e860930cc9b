#include "isp/cortex/ramroutines.h"

#include "isp/core/debuglog.h"
#include "isp/cortex/devicetable.h"
#include "isp/cortex/isp_commands.h"
#include "isp/cortex/memtransfer.h"
#include "isp/cortex/selecteddevice.h"

namespace qz {

namespace {

void put_le32(RoutineBytes& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

} // namespace

RoutineBytes vector_map_routine(VectorMapKind kind, int flag)
{
    switch (kind) {
    case VectorMapKind::Lpc17xx: {
        const std::uint8_t vv = flag == 1 ? 0x01 : 0x00;
        return {0x02, 0x48, 0x4F, 0xF0, vv, 0x01, 0x01, 0x60, 0x70, 0x47, 0x00, 0x00,
                0x40, 0xC0, 0x0F, 0x40};
    }
    case VectorMapKind::Lpc13xx: {
        const std::uint8_t vv = flag == 1 ? 0x02 : 0x00;
        return {0x02, 0x48, 0x4F, 0xF0, vv, 0x01, 0x01, 0x60, 0x70, 0x47, 0x00, 0x00,
                0x00, 0x80, 0x04, 0x40};
    }
    case VectorMapKind::Lpc11xx: {
        const std::uint8_t vv = flag == 1 ? 0x02 : 0x00;
        return {0x01, 0x48, vv, 0x21, 0x01, 0x60, 0x70, 0x47, 0x00, 0x80, 0x04, 0x40};
    }
    case VectorMapKind::None:
        break;
    }
    return {};
}

RoutineBytes vector_table_start_routine(std::uint32_t table)
{
    RoutineBytes r{0x04, 0x4C, 0x26, 0x68, 0x65, 0x68, 0x30, 0x46, 0x80, 0xF3,
                   0x08, 0x88, 0x00, 0xBF, 0xBF, 0xF3, 0x6F, 0x8F, 0xA8, 0x47};
    put_le32(r, table);
    return r;
}

RoutineBytes eeprom_routine(bool write, std::uint32_t eeprom_address, std::uint32_t ram_address,
                            std::uint32_t length)
{
    RoutineBytes r{0x10, 0xB5, 0x86, 0xB0, 0x07, 0x4C, static_cast<std::uint8_t>(write ? 0x3D : 0x3E),
                   0x20};
    for (std::uint8_t n = 1; n <= 4; ++n) {
        r.push_back(n);
        r.push_back(0x90);
        r.push_back(0x07);
        r.push_back(0x48);
    }
    const std::uint8_t tail[] = {0x05, 0x90, 0x69, 0x46, 0x01, 0xA8, 0xA0, 0x47,
                                 0x06, 0xB0, 0x10, 0xBD, 0xF1, 0x1F, 0xFF, 0x1F};
    r.insert(r.end(), tail, tail + sizeof tail);
    put_le32(r, eeprom_address);
    put_le32(r, ram_address);
    put_le32(r, length);
    put_le32(r, 12000);
    return r;
}

namespace {

std::uint32_t ram_buffer_address()
{
    const CortexDeviceRecord& d = selected_device();
    return d.ram_start + d.ram_buffer_offset;
}

int download_and_run(const RoutineBytes& routine)
{
    const std::uint32_t at = ram_buffer_address();
    const int r = write_memory(at, routine.data(), routine.size(), false);
    if (r != 1)
        return r;
    return go_command(at, true);
}

const char* family_name(VectorMapKind kind)
{
    switch (kind) {
    case VectorMapKind::Lpc17xx: return "LPC17xx";
    case VectorMapKind::Lpc13xx: return "LPC13xx";
    case VectorMapKind::Lpc11xx: return "LPC11xx";
    case VectorMapKind::None: break;
    }
    return "";
}

} // namespace

int run_vector_map(int flag)
{
    const VectorMapKind kind = selected_device().vector_map;
    if (kind == VectorMapKind::None)
        return 1;
    debug_logf(flag == 1 ? "Unmapping bootloader vectors (%s)\n" : "Mapping bootloader vectors back (%s)\n",
               family_name(kind));
    return download_and_run(vector_map_routine(kind, flag));
}

int run_vector_table_start(std::uint32_t table)
{
    debug_logf("Executing routine to read stack pointer and execution address starting at 0x%8.8lX\n",
               static_cast<unsigned long>(table));
    return download_and_run(vector_table_start_routine(table));
}

int run_eeprom_routine(bool write, std::uint32_t eeprom_address, std::uint32_t ram_address,
                       std::uint32_t length)
{
    return download_and_run(eeprom_routine(write, eeprom_address, ram_address, length));
}

} // namespace qz
