#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "isp/cortex/devicetable.h"
#include "isp/cortex/ramimage.h"
#include "isp/cortex/sectortables.h"
#include "isp/cortex/selecteddevice.h"
#include "isp/core/session.h"

namespace qz {
namespace {

const CortexDeviceRecord& part(std::int32_t id)
{
    const CortexDeviceRecord* d = find_cortex_device(id);
    EXPECT_NE(d, nullptr) << "no part " << id;
    return d != nullptr ? *d : cortex_device_at(-1);
}

// ---- The table as a whole -------------------------------------------------

TEST(DeviceTable, HoldsAllPartsInOrderThenTheEndRecord)
{
    const CortexDeviceRecord* table = cortex_device_table();
    std::set<std::int32_t> ids;
    std::set<std::string> names;
    for (int i = 0; i < kCortexDeviceCount; ++i) {
        EXPECT_NE(table[i].id, 0) << i;
        EXPECT_TRUE(ids.insert(table[i].id).second) << "id twice: " << table[i].id;
        ASSERT_NE(table[i].name, nullptr);
        EXPECT_TRUE(names.insert(table[i].name).second) << "name twice: " << table[i].name;
    }
    EXPECT_EQ(table[kCortexDeviceCount].id, 0);
    // First, last and a few rows between keep their places.
    EXPECT_STREQ(table[0].name, "LPC1850");
    EXPECT_STREQ(table[4].name, "LPC1853");
    EXPECT_STREQ(table[16].name, "LPC4072");
    EXPECT_STREQ(table[37].name, "LPC1768");
    EXPECT_STREQ(table[59].name, "ASC3112");
    EXPECT_STREQ(table[72].name, "LPC1102UK");
    EXPECT_STREQ(table[151].name, "LPC810M021FN8");
    EXPECT_STREQ(table[156].name, "DAP-S/01");
}

TEST(DeviceTable, EveryRecordKeepsTheCommonValues)
{
    for (int i = 0; i < kCortexDeviceCount; ++i) {
        const CortexDeviceRecord& d = cortex_device_at(i);
        SCOPED_TRACE(d.name);
        EXPECT_EQ(d.fill_byte, 0xFF);
        EXPECT_EQ(d.ram_start, 0x10000000u);
        EXPECT_GT(d.ram_end, d.ram_start);
        EXPECT_TRUE(d.ram_buffer_offset == 0x200 || d.ram_buffer_offset == 0x300);
        EXPECT_EQ(d.high_speed_allowed, 1);
        EXPECT_EQ(d.comm_reserved, 1);
        EXPECT_EQ(d.sync_char, '?');
        EXPECT_EQ(d.go_allowed, 1);
        EXPECT_EQ(d.read_allowed, 1);
        EXPECT_EQ(d.boot_rom_base, 0x1FFF0000u);
        EXPECT_EQ(d.bootloader_update_allowed, 0);
        EXPECT_EQ(d.map_when, 0);
        EXPECT_EQ(d.eeprom_allowed, std::strcmp(d.name, "DAP-S/01") == 0 ? 1 : 0);

        const int banks = bank_count(d);
        EXPECT_LE(banks, kBankSlots - 1);
        EXPECT_EQ(d.has_flash, banks > 0 ? 1 : 0);
        EXPECT_EQ(d.program_block_size == 0, banks == 0);
        for (int b = 0; b < banks; ++b) {
            const FlashBank& bank = d.banks[b];
            EXPECT_GE(bank.end, bank.start);
            EXPECT_LT(bank.sector_table, 5u);
            EXPECT_EQ(bank.vector_checksum_address, 0x1Cu);
            EXPECT_EQ(bank.crp_address, 0x2FCu);
            // Every bank ends exactly on a sector boundary of its table.
            const Sector* last = sector_holding(sector_table(bank.sector_table), bank.end);
            ASSERT_NE(last, nullptr);
            EXPECT_EQ(last->end, bank.end);
        }
        for (int b = banks; b < kBankSlots; ++b) {
            const FlashBank& bank = d.banks[b];
            EXPECT_EQ(bank.start | bank.end | bank.sector_table | bank.vector_checksum_address | bank.crp_address,
                      0u);
        }
    }
}

TEST(DeviceTable, VectorMapRoutinesByFamily)
{
    int counts[4] = {};
    for (int i = 0; i < kCortexDeviceCount; ++i)
        ++counts[static_cast<int>(cortex_device_at(i).vector_map)];
    EXPECT_EQ(counts[static_cast<int>(VectorMapKind::Lpc17xx)], 28);
    EXPECT_EQ(counts[static_cast<int>(VectorMapKind::Lpc13xx)], 12);
    EXPECT_EQ(counts[static_cast<int>(VectorMapKind::Lpc11xx)], 80);
    EXPECT_EQ(counts[static_cast<int>(VectorMapKind::None)], 37);
}

struct Row {
    std::int32_t id;
    const char* name;
    int banks;
    std::uint32_t bank0_end;
    std::uint32_t type0;
    std::uint32_t ram_end;
    std::uint32_t buffer_offset;
    VectorMapKind map;
    int id_words, keep, crlf, binary;
    std::uint32_t block, chunk;
};

// One or two rows of every family and every set of traits.
const Row kRows[] = {
    {18000, "LPC1850", 0, 0, 0, 0x10017FFF, 0x300, VectorMapKind::None, 2, 0, 1, 0, 0x0, 900},
    {18005, "LPC1810", 0, 0, 0, 0x1000FFFF, 0x300, VectorMapKind::None, 2, 0, 1, 0, 0x0, 900},
    {18001, "LPC1853", 2, 0x1A03FFFF, 2, 0x10007FFF, 0x300, VectorMapKind::None, 2, 1, 1, 0, 0x400, 900},
    {18011, "LPC1822", 1, 0x1A03FFFF, 2, 0x10007FFF, 0x300, VectorMapKind::None, 2, 1, 1, 0, 0x400, 900},
    {19014, "LPC4325", 2, 0x1A05FFFF, 2, 0x10007FFF, 0x300, VectorMapKind::None, 2, 1, 1, 0, 0x400, 900},
    {19000, "LPC4350", 0, 0, 0, 0x1001FFFF, 0x300, VectorMapKind::None, 2, 0, 1, 0, 0x0, 900},
    {19005, "LPC4074", 1, 0x1FFFF, 0, 0x10009FFF, 0x200, VectorMapKind::Lpc17xx, 1, 0, 0, 0, 0x400, 900},
    {2000, "LPC1751", 1, 0x7FFF, 0, 0x10001FFF, 0x200, VectorMapKind::Lpc17xx, 1, 0, 0, 0, 0x400, 900},
    {2022, "ASC3112", 1, 0x3FFFF, 0, 0x10003FFF, 0x200, VectorMapKind::Lpc17xx, 1, 0, 0, 0, 0x400, 900},
    {3004, "LPC1311/01", 1, 0x1FFF, 0, 0x100007FF, 0x300, VectorMapKind::Lpc13xx, 1, 0, 0, 0, 0x400, 900},
    {3010, "LPC1346", 1, 0xBFFF, 0, 0x10001FFF, 0x300, VectorMapKind::Lpc13xx, 1, 0, 0, 0, 0x400, 900},
    {4028, "LPC1110", 1, 0xFFF, 1, 0x100003FF, 0x200, VectorMapKind::Lpc11xx, 1, 0, 0, 0, 0x100, 256},
    {4022, "LPC11C24/301", 1, 0x7FFF, 1, 0x10001FFF, 0x300, VectorMapKind::Lpc11xx, 1, 0, 0, 0, 0x400, 900},
    {4043, "LPC11E12/201", 1, 0x3FFF, 1, 0x100017FF, 0x300, VectorMapKind::Lpc11xx, 1, 0, 0, 0, 0x400, 900},
    {4055, "LPC1114/333", 1, 0xDFFF, 1, 0x10001FFF, 0x300, VectorMapKind::Lpc11xx, 1, 0, 0, 0, 0x400, 900},
    {12003, "LPC1225/321", 1, 0x13FFF, 1, 0x10001FFF, 0x300, VectorMapKind::Lpc11xx, 1, 0, 0, 0, 0x400, 900},
    {20000, "LPC810M021FN8", 1, 0xFFF, 4, 0x100003FF, 0x200, VectorMapKind::None, 1, 0, 1, 1, 0x100, 256},
    {20003, "LPC811M101FD20", 1, 0x3FFF, 4, 0x10000FFF, 0x300, VectorMapKind::None, 1, 0, 1, 1, 0x400, 900},
    {11001, "DAP-S/01", 1, 0x7FFF, 1, 0x10001FFF, 0x300, VectorMapKind::Lpc11xx, 1, 0, 0, 0, 0x400, 900},
};

TEST(DeviceTable, RowsOfEachFamilyReadAsListed)
{
    for (const Row& r : kRows) {
        const CortexDeviceRecord& d = part(r.id);
        SCOPED_TRACE(r.name);
        EXPECT_STREQ(d.name, r.name);
        EXPECT_EQ(bank_count(d), r.banks);
        if (r.banks > 0) {
            EXPECT_EQ(d.banks[0].end, r.bank0_end);
            EXPECT_EQ(d.banks[0].sector_table, r.type0);
        }
        EXPECT_EQ(d.ram_end, r.ram_end);
        EXPECT_EQ(d.ram_buffer_offset, r.buffer_offset);
        EXPECT_EQ(d.vector_map, r.map);
        EXPECT_EQ(d.id_word_count, r.id_words);
        EXPECT_EQ(d.keep_vector_checksum, r.keep);
        EXPECT_EQ(d.crlf, r.crlf);
        EXPECT_EQ(d.binary_transfer, r.binary);
        EXPECT_EQ(d.program_block_size, r.block);
        EXPECT_EQ(d.ram_chunk_size, r.chunk);
    }
}

TEST(DeviceTable, LookupByIdAndIndex)
{
    EXPECT_EQ(cortex_device_index(18000), 0);
    EXPECT_EQ(cortex_device_index(11001), kCortexDeviceCount - 1);
    EXPECT_EQ(cortex_device_index(4022), 128);
    EXPECT_EQ(cortex_device_index(0), -1);     // the end record is no part
    EXPECT_EQ(cortex_device_index(99999), -1);
    EXPECT_EQ(find_cortex_device(99999), nullptr);
    EXPECT_EQ(find_cortex_device(4022), &cortex_device_at(128));

    // Outside the table: the end record, which has a name and no flash.
    for (int index : {-1, kCortexDeviceCount, 100000}) {
        const CortexDeviceRecord& end = cortex_device_at(index);
        EXPECT_EQ(end.id, 0);
        ASSERT_NE(end.name, nullptr);
        EXPECT_STREQ(end.name, "");
        EXPECT_EQ(bank_count(end), 0);
    }
}

// ---- Sector tables ----------------------------------------------------------

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

// ---- Queries over the selected device -------------------------------------

class SelectedDevice : public ::testing::Test {
protected:
    void SetUp() override { reset_session_slots(); }
    void TearDown() override
    {
        ram_image_free();
        reset_session_slots();
    }

    static void select(std::int32_t id, std::uint32_t bank)
    {
        const int index = cortex_device_index(id);
        ASSERT_GE(index, 0);
        session().deviceIndex = index;
        session().flashBank = bank;
        select_sector_table();
    }
};

TEST_F(SelectedDevice, SectorCountsOfTheWorkedExamples)
{
    select(2005, 0); // LPC1764: 16 x 4 KB and 2 x 32 KB
    EXPECT_EQ(sector_count(), 18);
    EXPECT_EQ(bank_count(), 1);
    select(3003, 0); // LPC1343
    EXPECT_EQ(sector_count(), 8);
    select(2008, 0); // LPC1768: the whole of table 0
    EXPECT_EQ(sector_count(), 30);
}

TEST_F(SelectedDevice, PartWithoutFlashHasNoBanksAndNoSectors)
{
    select(18000, 0); // "LPC1850"
    EXPECT_EQ(bank_count(), 0);
    EXPECT_EQ(sector_count(), 0);
    const FlashBank& b = selected_bank();
    EXPECT_EQ(b.start, 0u);
    EXPECT_EQ(b.end, 0u);
}

TEST_F(SelectedDevice, BankNumberBeyondTheSlotsReadsAsNoFlash)
{
    // With no banks a selection keeps whatever bank it was given.
    select(18000, 57);
    EXPECT_EQ(sector_count(), 0);
    EXPECT_EQ(selected_bank().end, 0u);
    select(4022, 3); // a one-bank part asked for a bank it lacks
    EXPECT_EQ(sector_count(), 0);
}

TEST_F(SelectedDevice, SecondBankOfLpc1853)
{
    select(18001, 1);
    EXPECT_EQ(bank_count(), 2);
    const FlashBank& b = selected_bank();
    EXPECT_EQ(b.start, 0x1B000000u);
    EXPECT_EQ(b.end, 0x1B03FFFFu);
    EXPECT_EQ(current_sector_table().type, 3);
    EXPECT_EQ(sector_count(), 11); // sectors 0-10
    EXPECT_EQ(sector_holding(current_sector_table(), b.end)->number, 10u);

    select(18001, 0);
    EXPECT_EQ(current_sector_table().type, 2);
    EXPECT_EQ(selected_bank().start, 0x1A000000u);
    EXPECT_EQ(sector_count(), 11);
}

TEST_F(SelectedDevice, ExactlyFivePartsReachSector31)
{
    std::set<std::string> parts;
    for (int i = 0; i < kCortexDeviceCount; ++i) {
        session().deviceIndex = i;
        session().flashBank = 0;
        select_sector_table();
        if (sector_count() == 32)
            parts.insert(selected_device().name);
        EXPECT_LE(sector_count(), 32);
    }
    EXPECT_EQ(parts, (std::set<std::string>{"LPC11E37/501", "LPC11U37/401", "LPC11U37/501", "LPC1227/301",
                                            "LPC12D27/301"}));
}

TEST_F(SelectedDevice, NoTableBeforeTheFirstSelection)
{
    EXPECT_EQ(session().sectorTable, nullptr);
    EXPECT_EQ(current_sector_table().size, 0);
    EXPECT_EQ(sector_count(), 0);
}

TEST_F(SelectedDevice, SelectingATableForgetsTheRamImage)
{
    select(4022, 0);
    ASSERT_EQ(ram_image_alloc(), 1);
    *ram_image_at(0x10000000) = 0x12;
    select(2008, 0);
    EXPECT_EQ(ram_image(), nullptr);
    EXPECT_EQ(session().ramImageValid, 0);
    ASSERT_EQ(ram_image_alloc(), 1);
    EXPECT_EQ(*ram_image_at(0x10000000), 0xFF);
    EXPECT_EQ(ram_image()->end(), 0x10007FFFu); // the new part's RAM
}

} // namespace
} // namespace qz
