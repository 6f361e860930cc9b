#include <gtest/gtest.h>

#include "isp/cortex/devicetable.h"
#include "isp/cortex/flashimage.h"
#include "isp/cortex/ramimage.h"
#include "isp/cortex/selecteddevice.h"
#include "isp/core/session.h"

namespace qz {
namespace {

const CortexDeviceRecord& lpc11c24()
{
    return *find_cortex_device(4022); // RAM 0x10000000-0x10001FFF
}

// ---- RamImage ---------------------------------------------------------------

TEST(RamImage, SpansTheDeviceRamFilledWithTheFillByte)
{
    RamImage image;
    EXPECT_FALSE(image.exists());
    EXPECT_EQ(image.at(0x10000000), nullptr);
    ASSERT_EQ(image.alloc(lpc11c24()), 1);
    EXPECT_EQ(image.size(), 0x2000u);
    EXPECT_EQ(image.start(), 0x10000000u);
    EXPECT_EQ(image.end(), 0x10001FFFu);
    for (std::uint32_t a = 0x10000000; a <= 0x10001FFF; ++a)
        ASSERT_EQ(*image.at(a), 0xFF) << std::hex << a;
    EXPECT_EQ(image.at(0x10000000) + 0x1FFF, image.at(0x10001FFF));
}

TEST(RamImage, SecondAllocKeepsTheImage)
{
    RamImage image;
    ASSERT_EQ(image.alloc(lpc11c24()), 1);
    *image.at(0x10000010) = 0x42;
    ASSERT_EQ(image.alloc(*find_cortex_device(2008)), 1); // a larger RAM changes nothing
    EXPECT_EQ(*image.at(0x10000010), 0x42);
    EXPECT_EQ(image.end(), 0x10001FFFu);
    image.free();
    EXPECT_FALSE(image.exists());
    EXPECT_EQ(image.size(), 0u);
}

TEST(RamImage, AddressesOutsideRamHaveNoPlace)
{
    RamImage image;
    ASSERT_EQ(image.alloc(lpc11c24()), 1);
    EXPECT_EQ(image.at(0x0FFFFFFF), nullptr);
    EXPECT_EQ(image.at(0x10002000), nullptr);
    EXPECT_EQ(image.at(0xFFFFFFFF), nullptr);
    EXPECT_TRUE(image.is_fill(0x10002000)); // nothing there to write
}

TEST(RamImage, IsFillFollowsTheBytes)
{
    RamImage image;
    ASSERT_EQ(image.alloc(lpc11c24()), 1);
    EXPECT_TRUE(image.is_fill(0x10000004));
    *image.at(0x10000004) = 0x00;
    EXPECT_FALSE(image.is_fill(0x10000004));
    EXPECT_TRUE(image.is_fill(0x10000005));
}

TEST(RamImage, HoldsNeedsBothEndsInRam)
{
    RamImage image;
    EXPECT_FALSE(image.holds(0x10000000, 0x10000000)); // no image yet
    ASSERT_EQ(image.alloc(lpc11c24()), 1);
    EXPECT_TRUE(image.holds(0x10000000, 0x10001FFF));
    EXPECT_TRUE(image.holds(0x10001FFF, 0x10001FFF));
    EXPECT_FALSE(image.holds(0x0FFFFFFF, 0x10000004));
    EXPECT_FALSE(image.holds(0x10001FF0, 0x10002000));
    // A range that runs past 4 GiB is not wrapped back into RAM.
    EXPECT_FALSE(image.holds(0x10000000, 0x110000000ull));
}

// ---- The driver state's RAM image ------------------------------------------

class SessionRamImage : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_session_slots();
        session().deviceIndex = cortex_device_index(4022);
        session().flashBank = 0;
        select_sector_table();
    }
    void TearDown() override
    {
        ram_image_free();
        reset_session_slots();
    }
};

TEST_F(SessionRamImage, AllocOnceFreeForgets)
{
    EXPECT_EQ(ram_image(), nullptr);
    EXPECT_EQ(ram_image_at(0x10000000), nullptr);
    EXPECT_TRUE(ram_image_is_fill(0x10000000));
    ASSERT_EQ(ram_image_alloc(), 1);
    EXPECT_EQ(session().ramImageValid, 1);
    ASSERT_NE(ram_image(), nullptr);
    *ram_image_at(0x10000100) = 7;
    EXPECT_FALSE(ram_image_is_fill(0x10000100));
    EXPECT_EQ(ram_image_alloc(), 1);
    EXPECT_EQ(*ram_image_at(0x10000100), 7);
    ram_image_free();
    EXPECT_EQ(ram_image(), nullptr);
    EXPECT_EQ(session().ramImageValid, 0);
    ram_image_free(); // twice is harmless
}

TEST_F(SessionRamImage, ResettingTheStateReleasesTheImage)
{
    // The leak check of the sanitizer build sees an image that is dropped
    // without being released.
    ASSERT_EQ(ram_image_alloc(), 1);
    reset_session_slots();
    EXPECT_EQ(session().ramImage, nullptr);
    EXPECT_EQ(ram_image(), nullptr);
    EXPECT_EQ(session().ramImageValid, 0);
}

TEST_F(SessionRamImage, HoldsUsesTheSelectedDevicesRam)
{
    EXPECT_TRUE(ram_image_holds(0x10000000, 0x10001FFF)); // also before the image exists
    EXPECT_FALSE(ram_image_holds(0x10000000, 0x10002000));
    EXPECT_FALSE(ram_image_holds(0x00000000, 0x00000010));
}

// ---- FlashImage -------------------------------------------------------------

TEST(FlashImage, CoversFirstToLastFilled)
{
    FlashImage image;
    ASSERT_TRUE(image.allocate(0x1000, 0x1FFF, 0xFF));
    EXPECT_EQ(image.size(), 0x1000u);
    EXPECT_EQ(image.first(), 0x1000u);
    EXPECT_EQ(image.last(), 0x1FFFu);
    for (std::size_t i = 0; i < image.size(); ++i)
        ASSERT_EQ(image.data()[i], 0xFF);
    EXPECT_EQ(image.at(0x1000), image.data());
    EXPECT_EQ(image.at(0x1FFF), image.data() + 0xFFF);
    EXPECT_EQ(image.at(0x0FFF), nullptr);
    EXPECT_EQ(image.at(0x2000), nullptr);
    EXPECT_TRUE(image.holds(0x1000, 0x1FFF));
    EXPECT_FALSE(image.holds(0x1FF0, 0x2000));
    EXPECT_FALSE(image.holds(0x1000, 0x100001000ull));
}

TEST(FlashImage, CallersFillByte)
{
    FlashImage image;
    ASSERT_TRUE(image.allocate(0, 15, 0x5A));
    for (std::size_t i = 0; i < image.size(); ++i)
        EXPECT_EQ(image.data()[i], 0x5A);
}

TEST(FlashImage, RefusesAnInvertedRange)
{
    FlashImage image;
    EXPECT_FALSE(image.allocate(0x2000, 0x1FFF, 0xFF));
    EXPECT_FALSE(image.exists());
    EXPECT_EQ(image.size(), 0u);
    EXPECT_EQ(image.at(0x2000), nullptr);
}

TEST(FlashImage, OverABank)
{
    FlashImage image;
    const FlashBank& bank = find_cortex_device(18001)->banks[1]; // LPC1853 bank B
    ASSERT_TRUE(image.allocate_for_bank(bank, 0x1FFF0000, 0xFF));
    EXPECT_EQ(image.first(), 0x1B000000u);
    EXPECT_EQ(image.last(), 0x1B03FFFFu);
    EXPECT_EQ(image.size(), 0x40000u);

    // A part without flash has the one-byte image of its all-zero bank.
    ASSERT_TRUE(image.allocate_for_bank(FlashBank{}, 0x1FFF0000, 0xFF));
    EXPECT_EQ(image.size(), 1u);
}

TEST(FlashImage, StopsAtTheBootRomBase)
{
    const FlashBank bank{0x1FFE0000, 0x1FFFFFFF, 0, 0x1C, 0x2FC};
    EXPECT_EQ(flash_image_last(bank, 0x1FFF0000), 0x1FFF0000u);
    const FlashBank below{0, 0x7FFFF, 0, 0x1C, 0x2FC};
    EXPECT_EQ(flash_image_last(below, 0x1FFF0000), 0x7FFFFu);
}

} // namespace
} // namespace qz
