#include "isp/cortex/sectortables.h"

namespace qz {

namespace {

// {start, end, checksum-adjuster byte, number}; each table ends with end 0.
// Type 0: 16 x 4 KB from 0, then 14 x 32 KB up to 0x7FFFF (LPC17xx, LPC13xx, LPC40xx).
const Sector kType0[] = {
    {0x00000000, 0x00000FFF, 0x00000FFF, 0},
    {0x00001000, 0x00001FFF, 0x00001FFF, 1},
    {0x00002000, 0x00002FFF, 0x00002FFF, 2},
    {0x00003000, 0x00003FFF, 0x00003FFF, 3},
    {0x00004000, 0x00004FFF, 0x00004FFF, 4},
    {0x00005000, 0x00005FFF, 0x00005FFF, 5},
    {0x00006000, 0x00006FFF, 0x00006FFF, 6},
    {0x00007000, 0x00007FFF, 0x00007FFF, 7},
    {0x00008000, 0x00008FFF, 0x00008FFF, 8},
    {0x00009000, 0x00009FFF, 0x00009FFF, 9},
    {0x0000A000, 0x0000AFFF, 0x0000AFFF, 10},
    {0x0000B000, 0x0000BFFF, 0x0000BFFF, 11},
    {0x0000C000, 0x0000CFFF, 0x0000CFFF, 12},
    {0x0000D000, 0x0000DFFF, 0x0000DFFF, 13},
    {0x0000E000, 0x0000EFFF, 0x0000EFFF, 14},
    {0x0000F000, 0x0000FFFF, 0x0000FFFF, 15},
    {0x00010000, 0x00017FFF, 0x00017FFF, 16},
    {0x00018000, 0x0001FFFF, 0x0001FFFF, 17},
    {0x00020000, 0x00027FFF, 0x00027FFF, 18},
    {0x00028000, 0x0002FFFF, 0x0002FFFF, 19},
    {0x00030000, 0x00037FFF, 0x00037FFF, 20},
    {0x00038000, 0x0003FFFF, 0x0003FFFF, 21},
    {0x00040000, 0x00047FFF, 0x00047FFF, 22},
    {0x00048000, 0x0004FFFF, 0x0004FFFF, 23},
    {0x00050000, 0x00057FFF, 0x00057FFF, 24},
    {0x00058000, 0x0005FFFF, 0x0005FFFF, 25},
    {0x00060000, 0x00067FFF, 0x00067FFF, 26},
    {0x00068000, 0x0006FFFF, 0x0006FFFF, 27},
    {0x00070000, 0x00077FFF, 0x00077FFF, 28},
    {0x00078000, 0x0007FFFF, 0x0007FFFF, 29},
    {0, 0, 0, 0},
};

// Type 1: 32 x 4 KB up to 0x1FFFF (LPC11xx, LPC12xx).
const Sector kType1[] = {
    {0x00000000, 0x00000FFF, 0x00000FFF, 0},
    {0x00001000, 0x00001FFF, 0x00001FFF, 1},
    {0x00002000, 0x00002FFF, 0x00002FFF, 2},
    {0x00003000, 0x00003FFF, 0x00003FFF, 3},
    {0x00004000, 0x00004FFF, 0x00004FFF, 4},
    {0x00005000, 0x00005FFF, 0x00005FFF, 5},
    {0x00006000, 0x00006FFF, 0x00006FFF, 6},
    {0x00007000, 0x00007FFF, 0x00007FFF, 7},
    {0x00008000, 0x00008FFF, 0x00008FFF, 8},
    {0x00009000, 0x00009FFF, 0x00009FFF, 9},
    {0x0000A000, 0x0000AFFF, 0x0000AFFF, 10},
    {0x0000B000, 0x0000BFFF, 0x0000BFFF, 11},
    {0x0000C000, 0x0000CFFF, 0x0000CFFF, 12},
    {0x0000D000, 0x0000DFFF, 0x0000DFFF, 13},
    {0x0000E000, 0x0000EFFF, 0x0000EFFF, 14},
    {0x0000F000, 0x0000FFFF, 0x0000FFFF, 15},
    {0x00010000, 0x00010FFF, 0x00010FFF, 16},
    {0x00011000, 0x00011FFF, 0x00011FFF, 17},
    {0x00012000, 0x00012FFF, 0x00012FFF, 18},
    {0x00013000, 0x00013FFF, 0x00013FFF, 19},
    {0x00014000, 0x00014FFF, 0x00014FFF, 20},
    {0x00015000, 0x00015FFF, 0x00015FFF, 21},
    {0x00016000, 0x00016FFF, 0x00016FFF, 22},
    {0x00017000, 0x00017FFF, 0x00017FFF, 23},
    {0x00018000, 0x00018FFF, 0x00018FFF, 24},
    {0x00019000, 0x00019FFF, 0x00019FFF, 25},
    {0x0001A000, 0x0001AFFF, 0x0001AFFF, 26},
    {0x0001B000, 0x0001BFFF, 0x0001BFFF, 27},
    {0x0001C000, 0x0001CFFF, 0x0001CFFF, 28},
    {0x0001D000, 0x0001DFFF, 0x0001DFFF, 29},
    {0x0001E000, 0x0001EFFF, 0x0001EFFF, 30},
    {0x0001F000, 0x0001FFFF, 0x0001FFFF, 31},
    {0, 0, 0, 0},
};

// Type 2: 8 x 8 KB from 0x1A000000, then 7 x 64 KB up to 0x1A07FFFF (LPC18xx/43xx bank A).
const Sector kType2[] = {
    {0x1A000000, 0x1A001FFF, 0x1A001FFF, 0},
    {0x1A002000, 0x1A003FFF, 0x1A003FFF, 1},
    {0x1A004000, 0x1A005FFF, 0x1A005FFF, 2},
    {0x1A006000, 0x1A007FFF, 0x1A007FFF, 3},
    {0x1A008000, 0x1A009FFF, 0x1A009FFF, 4},
    {0x1A00A000, 0x1A00BFFF, 0x1A00BFFF, 5},
    {0x1A00C000, 0x1A00DFFF, 0x1A00DFFF, 6},
    {0x1A00E000, 0x1A00FFFF, 0x1A00FFFF, 7},
    {0x1A010000, 0x1A01FFFF, 0x1A01FFFF, 8},
    {0x1A020000, 0x1A02FFFF, 0x1A02FFFF, 9},
    {0x1A030000, 0x1A03FFFF, 0x1A03FFFF, 10},
    {0x1A040000, 0x1A04FFFF, 0x1A04FFFF, 11},
    {0x1A050000, 0x1A05FFFF, 0x1A05FFFF, 12},
    {0x1A060000, 0x1A06FFFF, 0x1A06FFFF, 13},
    {0x1A070000, 0x1A07FFFF, 0x1A07FFFF, 14},
    {0, 0, 0, 0},
};

// Type 3: type 2 moved to 0x1B000000 (LPC18xx/43xx bank B).
const Sector kType3[] = {
    {0x1B000000, 0x1B001FFF, 0x1B001FFF, 0},
    {0x1B002000, 0x1B003FFF, 0x1B003FFF, 1},
    {0x1B004000, 0x1B005FFF, 0x1B005FFF, 2},
    {0x1B006000, 0x1B007FFF, 0x1B007FFF, 3},
    {0x1B008000, 0x1B009FFF, 0x1B009FFF, 4},
    {0x1B00A000, 0x1B00BFFF, 0x1B00BFFF, 5},
    {0x1B00C000, 0x1B00DFFF, 0x1B00DFFF, 6},
    {0x1B00E000, 0x1B00FFFF, 0x1B00FFFF, 7},
    {0x1B010000, 0x1B01FFFF, 0x1B01FFFF, 8},
    {0x1B020000, 0x1B02FFFF, 0x1B02FFFF, 9},
    {0x1B030000, 0x1B03FFFF, 0x1B03FFFF, 10},
    {0x1B040000, 0x1B04FFFF, 0x1B04FFFF, 11},
    {0x1B050000, 0x1B05FFFF, 0x1B05FFFF, 12},
    {0x1B060000, 0x1B06FFFF, 0x1B06FFFF, 13},
    {0x1B070000, 0x1B07FFFF, 0x1B07FFFF, 14},
    {0, 0, 0, 0},
};

// Type 4: 32 x 1 KB up to 0x7FFF (LPC81x).
const Sector kType4[] = {
    {0x00000000, 0x000003FF, 0x000003FF, 0},
    {0x00000400, 0x000007FF, 0x000007FF, 1},
    {0x00000800, 0x00000BFF, 0x00000BFF, 2},
    {0x00000C00, 0x00000FFF, 0x00000FFF, 3},
    {0x00001000, 0x000013FF, 0x000013FF, 4},
    {0x00001400, 0x000017FF, 0x000017FF, 5},
    {0x00001800, 0x00001BFF, 0x00001BFF, 6},
    {0x00001C00, 0x00001FFF, 0x00001FFF, 7},
    {0x00002000, 0x000023FF, 0x000023FF, 8},
    {0x00002400, 0x000027FF, 0x000027FF, 9},
    {0x00002800, 0x00002BFF, 0x00002BFF, 10},
    {0x00002C00, 0x00002FFF, 0x00002FFF, 11},
    {0x00003000, 0x000033FF, 0x000033FF, 12},
    {0x00003400, 0x000037FF, 0x000037FF, 13},
    {0x00003800, 0x00003BFF, 0x00003BFF, 14},
    {0x00003C00, 0x00003FFF, 0x00003FFF, 15},
    {0x00004000, 0x000043FF, 0x000043FF, 16},
    {0x00004400, 0x000047FF, 0x000047FF, 17},
    {0x00004800, 0x00004BFF, 0x00004BFF, 18},
    {0x00004C00, 0x00004FFF, 0x00004FFF, 19},
    {0x00005000, 0x000053FF, 0x000053FF, 20},
    {0x00005400, 0x000057FF, 0x000057FF, 21},
    {0x00005800, 0x00005BFF, 0x00005BFF, 22},
    {0x00005C00, 0x00005FFF, 0x00005FFF, 23},
    {0x00006000, 0x000063FF, 0x000063FF, 24},
    {0x00006400, 0x000067FF, 0x000067FF, 25},
    {0x00006800, 0x00006BFF, 0x00006BFF, 26},
    {0x00006C00, 0x00006FFF, 0x00006FFF, 27},
    {0x00007000, 0x000073FF, 0x000073FF, 28},
    {0x00007400, 0x000077FF, 0x000077FF, 29},
    {0x00007800, 0x00007BFF, 0x00007BFF, 30},
    {0x00007C00, 0x00007FFF, 0x00007FFF, 31},
    {0, 0, 0, 0},
};

const Sector kNoSectors[] = {
    {0, 0, 0, 0},
};

template <int N>
constexpr int entries(const Sector (&)[N])
{
    return N - 1;
}

const SectorTable kTables[kSectorTableTypes] = {
    {0, kType0, entries(kType0)},
    {1, kType1, entries(kType1)},
    {2, kType2, entries(kType2)},
    {3, kType3, entries(kType3)},
    {4, kType4, entries(kType4)},
};

const SectorTable kEmptyTable = {-1, kNoSectors, 0};

} // namespace

const SectorTable& sector_table(std::uint32_t type)
{
    if (type >= static_cast<std::uint32_t>(kSectorTableTypes))
        return kEmptyTable;
    return kTables[type];
}

int sectors_starting_within(const SectorTable& table, std::uint32_t first, std::uint32_t last)
{
    int count = 0;
    for (int i = 0; i < table.size; ++i) {
        const std::uint32_t start = table.sectors[i].start;
        if (start >= first && start <= last)
            ++count;
    }
    return count;
}

const Sector* sector_holding(const SectorTable& table, std::uint32_t address)
{
    for (int i = 0; i < table.size; ++i) {
        const Sector& s = table.sectors[i];
        if (address >= s.start && address <= s.end)
            return &s;
    }
    return nullptr;
}

const Sector* sector_matching(const SectorTable& table, std::uint32_t start, std::uint32_t end)
{
    const Sector* found = nullptr;
    for (int i = 0; i < table.size; ++i) {
        const Sector& s = table.sectors[i];
        if (s.start == start && s.end == end)
            found = &s;
    }
    return found;
}

} // namespace qz
