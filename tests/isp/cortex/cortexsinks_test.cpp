// The Cortex sinks: where data of a programming source goes on the selected
// part, what is left for another bank, and what lies outside the part.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "isp/cortex/cortexsinks.h"
#include "isp/cortex/devicetable.h"
#include "isp/cortex/flashimage.h"
#include "isp/cortex/ramimage.h"
#include "isp/cortex/selecteddevice.h"
#include "isp/core/session.h"

namespace qz {
namespace {

class CortexSinks : public ::testing::Test {
protected:
    void TearDown() override { reset_session_slots(); }
    void select(int id, unsigned bank = 0)
    {
        reset_session_slots();
        session().deviceIndex = cortex_device_index(id);
        session().flashBank = bank;
        select_sector_table();
        const CortexDeviceRecord& d = selected_device();
        ASSERT_TRUE(flash.allocate_for_bank(selected_bank(), d.boot_rom_base, 0xFF));
        ASSERT_EQ(ram.alloc(d), 1);
    }
    FlashImage flash;
    RamImage ram;
};

struct Put {
    std::uint64_t address;
    std::size_t count;
    Placement::Kind kind;
    std::uint64_t outside;
};

TEST_F(CortexSinks, ProgramImagesTakeFlashAndRamAndRefuseTheRest)
{
    select(4022); // LPC11C24: flash 0-0x7FFF, RAM 0x10000000-0x10001FFF
    ProgramImagesSink sink(flash, ram);
    const std::vector<std::uint8_t> bytes(0x200, 0x5A);
    const Put puts[] = {
        {0x0000, 16, Placement::kStored, 0},
        {0x7FF0, 16, Placement::kStored, 0},
        {0x7FF0, 32, Placement::kOutside, 0x8000},
        {0x8000, 0x100, Placement::kOutside, 0x8000},
        {0x10000004, 4, Placement::kStored, 0},
        {0x10001FFE, 2, Placement::kStored, 0},
        {0x10001FFF, 2, Placement::kOutside, 0x10002000},
        {0xFFFFFFFF, 2, Placement::kOutside, 0xFFFFFFFF},
    };
    for (const Put& p : puts) {
        const Placement got = sink.place(p.address, bytes.data(), p.count);
        EXPECT_EQ(got.kind, p.kind) << std::hex << p.address;
        if (p.kind == Placement::kOutside)
            EXPECT_EQ(got.outside, p.outside) << std::hex << p.address;
    }
    EXPECT_EQ(*flash.at(0x0000), 0x5A);
    EXPECT_EQ(*flash.at(0x7FFF), 0x5A);
    EXPECT_EQ(*flash.at(0x7FEF), 0xFF);
    EXPECT_EQ(*ram.at(0x10000004), 0x5A);
    EXPECT_EQ(*ram.at(0x10001FFF), 0x5A);
    EXPECT_EQ(*ram.at(0x10000000), 0xFF);
}

TEST_F(CortexSinks, OtherBankIsLeftAlone)
{
    select(19003, 0); // LPC4357: banks 0x1A000000 and 0x1B000000
    ProgramImagesSink sink(flash, ram);
    const std::uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(sink.place(0x1B000000, bytes, 4).kind, Placement::kElsewhere);
    EXPECT_EQ(sink.place(0x1A000000, bytes, 4).kind, Placement::kStored);
    EXPECT_EQ(sink.place(0x1B07FFFE, bytes, 4).kind, Placement::kOutside);
    EXPECT_EQ(*flash.at(0x1A000003), 4);
}

TEST_F(CortexSinks, FlashlessPartHasOnlyRam)
{
    select(18000); // LPC1850
    ProgramImagesSink sink(flash, ram);
    const std::uint8_t bytes[4] = {1, 2, 3, 4};
    const Placement p = sink.place(0, bytes, 4);
    EXPECT_EQ(p.kind, Placement::kOutside);
    EXPECT_EQ(p.outside, 0u);
    EXPECT_EQ(sink.place(0x10017FFC, bytes, 4).kind, Placement::kStored);
}

TEST_F(CortexSinks, VerifyMarksFlashBytesAndPassesOverRam)
{
    select(4022);
    std::vector<std::uint8_t> marks(flash.size(), 0);
    VerifySink sink(flash, marks.data());
    const std::uint8_t bytes[2] = {7, 8};
    EXPECT_EQ(sink.place(0x100, bytes, 2).kind, Placement::kStored);
    EXPECT_EQ(sink.place(0x10000000, bytes, 2).kind, Placement::kStored);
    EXPECT_EQ(sink.place(0x9000, bytes, 2).kind, Placement::kOutside);
    EXPECT_EQ(marks[0x100] + marks[0x101], 2);
    EXPECT_EQ(std::count(marks.begin(), marks.end(), 1), 2);
    EXPECT_EQ(*flash.at(0x101), 8);
}

TEST_F(CortexSinks, EraseMarksTheSectorsOfARecordsEnds)
{
    select(4022); // 4 KiB sectors
    std::uint32_t marks = 0;
    EraseSink sink(marks);
    const std::vector<std::uint8_t> bytes(0x20, 0);
    EXPECT_EQ(sink.place(0x0FF0, bytes.data(), 0x20).kind, Placement::kStored);
    EXPECT_EQ(sink.place(0x7FFF, bytes.data(), 1).kind, Placement::kStored);
    EXPECT_EQ(sink.place(0x10000000, bytes.data(), 4).kind, Placement::kStored);
    EXPECT_EQ(marks, 0x83u);
}

} // namespace
} // namespace qz
