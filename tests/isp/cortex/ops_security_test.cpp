// Code read protection through the library's exports on the simulated LPC
// boot ROM: writing and reading the CRP word, level two, a failing line that
// is no protection, and the block that holds the word on small-block parts.
#include "tests/isp/cortex/opssimfixture.h"

#include <algorithm>
#include <cstdint>
#include <vector>

using namespace opstest;

namespace {

TEST_F(OpsTest, CrpWriteAndRead)
{
    std::vector<std::uint8_t> image = firmwareImage(0x8000, 0x800, 6);
    std::fill(image.begin() + 0x2FC, image.begin() + 0x300, 0xFF); // flash is written without an erase
    sim.setFlash(withVectorChecksum(image));
    connectOrFail();
    const IspResult* r = qz_read_security_bits();
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(r->data[0], 0);

    const unsigned crp1 = 0x12345678;
    ASSERT_EQ(qz_program_security_bits(&crp1)->status, 1);
    EXPECT_EQ(sim.readMemory(0x2FC, 4), (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));
    reenter();
    r = qz_read_security_bits();
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(r->data[0], 1);
    r = qz_read_data(0, 0xFF, file("protected.hex").c_str(), nullptr, 0);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (reading data - security violation in device)");
}

// Flash bits only clear without an erase: a word that would need set bits
// is refused before anything is written, and the flash keeps what it held.
TEST_F(OpsTest, CrpWordThatNeedsAnEraseIsRefused)
{
    const std::vector<std::uint8_t> image = withVectorChecksum(firmwareImage(0x8000, 0x800, 6));
    sim.setFlash(image);
    const std::vector<std::uint8_t> before = sim.readMemory(0x2FC, 4);
    const unsigned crp1 = 0x12345678;
    ASSERT_NE((before[0] | before[1] << 8 | before[2] << 16 | unsigned(before[3]) << 24) & crp1, crp1);
    connectOrFail();
    const IspResult* r = qz_program_security_bits(&crp1);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (programming crp - the word at 0x2FC needs an erase first)");
    EXPECT_EQ(sim.flash(), image);
}

TEST_F(OpsTest, CrpLevelTwo)
{
    std::vector<std::uint8_t> image = withVectorChecksum(firmwareImage(0x8000, 0x800, 6));
    image[0x2FC] = 0x21, image[0x2FD] = 0x43, image[0x2FE] = 0x65, image[0x2FF] = 0x87;
    sim.setFlash(image);
    sim.stop();
    sim.enterIsp();
    ASSERT_TRUE(sim.start());
    connectOrFail();
    const IspResult* r = qz_read_security_bits();
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(r->data[0], 2);
    EXPECT_STREQ(r->text, "CRP set to level 2 or 3");
}

TEST_F(OpsTest, CommunicationFailureIsNotProtection)
{
    connectOrFail();
    sim::LpcFaults f;
    f.corruptReadChecksums = 1000;
    sim.setFaults(f);
    const IspResult* r = qz_read_security_bits();
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (reading code read protection state)");
}

class SmallBlockTest : public OpsTest {
protected:
    SmallBlockTest() : OpsTest(*sim::lpc::findPart("LPC1110")) {}
};

// With 256-byte program blocks the CRP word lies in the third block; right
// after connecting the boot ROM is still locked.
TEST_F(SmallBlockTest, CrpWordIsWrittenIntoTheBlockThatHoldsIt)
{
    std::vector<std::uint8_t> image = withVectorChecksum(firmwareImage(0x1000, 0x200, 12));
    sim.setFlash(image);
    ConnectOptions o = vantrelOptions(sim.slavePath());
    o.device_id = 4028;
    ASSERT_EQ(connect(o)->status, 1);
    const unsigned crp1 = 0x12345678;
    const IspResult* r = qz_program_security_bits(&crp1);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(sim.readMemory(0x2FC, 4), (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(sim.readMemory(0, 0x200), std::vector<std::uint8_t>(image.begin(), image.begin() + 0x200));
}

} // namespace
