// The five flash sector layouts: contiguous and numbered, their sizes, and
// the lookups of an address and of an exact sector.
#include <gtest/gtest.h>

#include "isp/cortex/sectortables.h"

namespace qz {
namespace {

struct Layout {
    std::uint32_t type;
    int size;
    std::uint32_t first;
    std::uint32_t last;
};

TEST(SectorTables, AreContiguousNumberedAndEndWithAZeroEnd)
{
    const Layout layouts[] = {
        {0, 30, 0x00000000, 0x0007FFFF},
        {1, 32, 0x00000000, 0x0001FFFF},
        {2, 15, 0x1A000000, 0x1A07FFFF},
        {3, 15, 0x1B000000, 0x1B07FFFF},
        {4, 32, 0x00000000, 0x00007FFF},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.type);
        const SectorTable& t = sector_table(l.type);
        EXPECT_EQ(t.type, int(l.type));
        ASSERT_EQ(t.size, l.size);
        EXPECT_EQ(t.sectors[0].start, l.first);
        EXPECT_EQ(t.sectors[t.size - 1].end, l.last);
        EXPECT_EQ(t.sectors[t.size].end, 0u);
        for (int i = 0; i < t.size; ++i) {
            const Sector& s = t.sectors[i];
            EXPECT_EQ(s.number, std::uint32_t(i));
            EXPECT_EQ(s.checksum_address, s.end);
            EXPECT_GT(s.end, s.start);
            if (i > 0) {
                EXPECT_EQ(s.start, t.sectors[i - 1].end + 1);
            }
        }
    }
}

TEST(SectorTables, SectorSizes)
{
    auto size = [](std::uint32_t type, int i) {
        const Sector& s = sector_table(type).sectors[i];
        return s.end - s.start + 1;
    };
    EXPECT_EQ(size(0, 15), 4096u);
    EXPECT_EQ(size(0, 16), 32768u);
    EXPECT_EQ(sector_table(0).sectors[16].start, 0x10000u);
    EXPECT_EQ(size(1, 31), 4096u);
    EXPECT_EQ(size(2, 7), 8192u);
    EXPECT_EQ(size(2, 8), 65536u);
    EXPECT_EQ(sector_table(2).sectors[8].start, 0x1A010000u);
    EXPECT_EQ(sector_table(3).sectors[8].start, 0x1B010000u);
    EXPECT_EQ(size(4, 31), 1024u);
}

TEST(SectorTables, UnknownTypeIsEmpty)
{
    const SectorTable& t = sector_table(5);
    EXPECT_EQ(t.size, 0);
    EXPECT_EQ(sector_holding(t, 0), nullptr);
    EXPECT_EQ(sectors_starting_within(t, 0, 0xFFFFFFFF), 0);
}

TEST(SectorTables, LookupOfAnAddressAndOfAnExactSector)
{
    const SectorTable& t = sector_table(0);
    EXPECT_EQ(sector_holding(t, 0x0FFF)->number, 0u);
    EXPECT_EQ(sector_holding(t, 0x1000)->number, 1u);
    EXPECT_EQ(sector_holding(t, 0x7FFFF)->number, 29u);
    EXPECT_EQ(sector_holding(t, 0x80000), nullptr);
    EXPECT_EQ(sector_matching(t, 0x10000, 0x17FFF)->number, 16u);
    EXPECT_EQ(sector_matching(t, 0x10000, 0x10FFF), nullptr);
    EXPECT_EQ(sector_holding(sector_table(1), 0x1F000)->number, 31u);
}

} // namespace
} // namespace qz
