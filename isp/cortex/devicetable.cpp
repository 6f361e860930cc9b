#include "isp/cortex/devicetable.h"

namespace qz {

int cortex_device_index(std::int32_t id)
{
    if (id == 0)
        return -1;
    const CortexDeviceRecord* table = cortex_device_table();
    int found = -1;
    for (int i = 0; table[i].id != 0; ++i) {
        if (table[i].id == id)
            found = i;
    }
    return found;
}

const CortexDeviceRecord& cortex_device_at(int index)
{
    const CortexDeviceRecord* table = cortex_device_table();
    if (index < 0 || index >= kCortexDeviceCount)
        return table[kCortexDeviceCount];
    return table[index];
}

const CortexDeviceRecord* find_cortex_device(std::int32_t id)
{
    const int index = cortex_device_index(id);
    return index < 0 ? nullptr : &cortex_device_table()[index];
}

int bank_count(const CortexDeviceRecord& device)
{
    int count = 0;
    while (count < kBankSlots && (device.banks[count].start != 0 || device.banks[count].end != 0))
        ++count;
    return count;
}

const FlashBank& device_bank(const CortexDeviceRecord& device, std::uint32_t bank)
{
    static const FlashBank kNoBank{};
    if (bank >= static_cast<std::uint32_t>(bank_count(device)))
        return kNoBank;
    return device.banks[bank];
}

int sector_count(const SectorTable& table, const FlashBank& bank)
{
    // An all-zero bank is the end marker of the bank list, not flash at 0.
    if (bank.start == 0 && bank.end == 0)
        return 0;
    return sectors_starting_within(table, bank.start, bank.end);
}

} // namespace qz
