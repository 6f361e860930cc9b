// Queries over the selected device: its bank, sector table and sector
// count, and what a new selection forgets.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "isp/cortex/devicetable.h"
#include "isp/cortex/ramimage.h"
#include "isp/cortex/sectortables.h"
#include "isp/cortex/selecteddevice.h"
#include "isp/core/session.h"

namespace qz {
namespace {

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
