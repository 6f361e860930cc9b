// Erasing through the library's exports on the simulated LPC boot ROM: sector
// masks, the whole bank, the sectors a HEX file covers, refused masks,
// cancelling, and the blank check.
#include "tests/isp/cortex/opssimfixture.h"

#include <algorithm>
#include <cstdint>
#include <vector>

using namespace opstest;

namespace {

class EraseTest : public OpsTest {
protected:
    void SetUp() override
    {
        OpsTest::SetUp();
        full.assign(0x8000, 0x5A);
        sim.setFlash(full);
        connectOrFail();
    }
    bool sectorErased(int s)
    {
        const auto f = sim.flash();
        return std::all_of(f.begin() + s * 0x1000, f.begin() + (s + 1) * 0x1000,
                           [](std::uint8_t b) { return b == 0xFF; });
    }
    bool sectorKept(int s)
    {
        const auto f = sim.flash();
        return std::all_of(f.begin() + s * 0x1000, f.begin() + (s + 1) * 0x1000,
                           [](std::uint8_t b) { return b == 0x5A; });
    }
    std::vector<std::uint8_t> full;
};

TEST_F(EraseTest, MaskErasesItsSectorsInOrder)
{
    ASSERT_EQ(qz_erase(0, 0x8A, 0, record, 0, nullptr)->status, 1);
    EXPECT_EQ(valuesOf(1), (std::vector<int>{1, 3, 7}));
    for (int s = 0; s < 8; ++s)
        EXPECT_EQ(sectorErased(s), s == 1 || s == 3 || s == 7) << s;
}

TEST_F(EraseTest, WholeBank)
{
    ASSERT_EQ(qz_erase(-3, 0, 0, record, 0, nullptr)->status, 1);
    EXPECT_EQ(valuesOf(2), std::vector<int>{0});
    for (int s = 0; s < 8; ++s)
        EXPECT_TRUE(sectorErased(s)) << s;
}

TEST_F(EraseTest, HexRecordAcrossASectorBoundaryErasesBothSectors)
{
    const std::string path = file("span.hex");
    writeFile(path, ":020FFF00AABB8B\n:00000001FF\n");
    ASSERT_EQ(qz_erase(-2, 0, 0, nullptr, 0, path.c_str())->status, 1);
    EXPECT_TRUE(sectorErased(0));
    EXPECT_TRUE(sectorErased(1));
    EXPECT_TRUE(sectorKept(2));
}

TEST_F(EraseTest, RefusedMasks)
{
    const IspResult* r = qz_erase(0, 0, 0, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, "Invalid value or command sent. Please try the operation again. (nothing to erase)");
    r = qz_erase(0, 0x101, 0, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, -16);
    EXPECT_STREQ(r->text, "Device does not support operation. (erasing block 8)");
    EXPECT_TRUE(sectorKept(0)) << "nothing is erased when a sector is refused";
    r = qz_erase(-2, 0, 0, nullptr, 0, (dir + "/missing.hex").c_str());
    EXPECT_EQ(r->status, -15);
    EXPECT_STREQ(r->text, "Unable to open Hex file. Reselect the Hex file.");
}

TEST_F(EraseTest, CancelBeforeTheFirstSectorLeavesFlashAlone)
{
    g_cancelOnEvent = 1;
    const IspResult* r = qz_erase(0, 0xFF, 0, record, 0, nullptr);
    EXPECT_EQ(r->status, -20);
    EXPECT_STREQ(r->text, "The operation was cancelled.");
    EXPECT_EQ(sim.flash(), full);
}

TEST_F(EraseTest, BlankCheck)
{
    ASSERT_EQ(qz_erase(0, 0x04, 0, nullptr, 0, nullptr)->status, 1);
    EXPECT_EQ(qz_blank_check(0x2000, 0x2FFF)->status, 2);
    sim.writeFlash(0x2468, {0x00});
    const IspResult* r = qz_blank_check(0x2000, 0x2FFF);
    EXPECT_EQ(r->status, 3);
    EXPECT_EQ(r->data[0] << 16 | r->data[1] << 8 | r->data[2], 0x2468);
    EXPECT_EQ(qz_blank_check(0x2000, 0x2FFE)->status, -5);
}

} // namespace
