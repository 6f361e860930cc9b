#include "isp/cortex/cortexsinks.h"

#include <cstring>

#include "isp/core/debuglog.h"
#include "isp/cortex/devicetable.h"
#include "isp/cortex/flashimage.h"
#include "isp/cortex/ramimage.h"
#include "isp/cortex/sectortables.h"
#include "isp/cortex/selecteddevice.h"
#include "isp/core/session.h"

namespace qz {

namespace {

// Sector numbers the erase mask can name.
constexpr int kMaskSectors = 32;

} // namespace

CortexPartMap::CortexPartMap()
{
    const CortexDeviceRecord& d = selected_device();
    const int selected = static_cast<int>(session().flashBank);
    const int banks = sector_count() == 0 ? 0 : bank_count(d);
    for (int i = 0; i < banks && i < kBankSlots; ++i)
        ranges_[count_++] = {d.banks[i].start, flash_image_last(d.banks[i], d.boot_rom_base),
                             i == selected ? kSelectedBank : kOtherBank, i};
    ranges_[count_++] = {d.ram_start, d.ram_end, kRam, -1};
}

CortexPartMap::Spot CortexPartMap::locate(std::uint64_t first, std::uint64_t last) const
{
    for (int i = 0; i < count_; ++i) {
        const Range& r = ranges_[i];
        if (first < r.first || first > r.last)
            continue;
        if (last > r.last)
            return {kOutside, -1, r.last + 1};
        return {r.where, r.bank, 0};
    }
    return {kOutside, -1, first};
}

Placement CortexSink::place(std::uint64_t address, const std::uint8_t* bytes, std::size_t count)
{
    const CortexPartMap::Spot spot = map_.locate(address, address + count - 1);
    switch (spot.where) {
    case CortexPartMap::kSelectedBank:
        take_flash(static_cast<std::uint32_t>(address), bytes, count);
        return {};
    case CortexPartMap::kRam:
        take_ram(static_cast<std::uint32_t>(address), bytes, count);
        return {};
    case CortexPartMap::kOtherBank:
        if ((logged_banks_ & (1u << spot.bank)) == 0) {
            logged_banks_ |= 1u << spot.bank;
            debug_logf("Data from 0x%08X lies in flash bank %d: left for that bank's run\n",
                       static_cast<unsigned>(address), spot.bank);
        }
        return {Placement::kElsewhere, 0};
    default:
        return {Placement::kOutside, spot.outside};
    }
}

void ProgramImagesSink::take_flash(std::uint32_t address, const std::uint8_t* bytes, std::size_t count)
{
    if (std::uint8_t* p = flash_.at(address))
        std::memcpy(p, bytes, count);
}

void ProgramImagesSink::take_ram(std::uint32_t address, const std::uint8_t* bytes, std::size_t count)
{
    if (std::uint8_t* p = ram_.at(address))
        std::memcpy(p, bytes, count);
}

void VerifySink::take_flash(std::uint32_t address, const std::uint8_t* bytes, std::size_t count)
{
    if (std::uint8_t* p = expected_.at(address)) {
        std::memcpy(p, bytes, count);
        std::memset(marks_ + (address - expected_.first()), 1, count);
    }
}

void EraseSink::take_flash(std::uint32_t address, const std::uint8_t*, std::size_t count)
{
    const SectorTable& table = current_sector_table();
    const int entries = table.size < kMaskSectors ? table.size : kMaskSectors;
    const std::uint64_t last = std::uint64_t(address) + count - 1;
    for (int i = 0; i < entries; ++i) {
        const Sector& s = table.sectors[i];
        const bool holds = (address >= s.start && address <= s.end) || (last >= s.start && last <= s.end);
        if (holds && s.number < kMaskSectors)
            marks_ |= 1u << s.number;
    }
}

} // namespace qz
