#include "isp/cortex/selecteddevice.h"

#include "isp/cortex/devicetable.h"
#include "isp/cortex/ramimage.h"
#include "isp/cortex/sectortables.h"
#include "isp/core/session.h"

namespace qz {

const CortexDeviceRecord& selected_device()
{
    return cortex_device_at(session().deviceIndex);
}

const FlashBank& selected_bank()
{
    return device_bank(selected_device(), session().flashBank);
}

void select_sector_table()
{
    session().sectorTable = &sector_table(selected_bank().sector_table);
    ram_image_free();
}

const SectorTable& current_sector_table()
{
    const SectorTable* table = session().sectorTable;
    return table != nullptr ? *table : sector_table(~0u);
}

int sector_count()
{
    return qz::sector_count(current_sector_table(), selected_bank());
}

int bank_count()
{
    return qz::bank_count(selected_device());
}

} // namespace qz
