// Verifying through the library's exports on the simulated LPC boot ROM: a
// changed byte, the words programming sets, and read checksums that fail.
#include "tests/isp/cortex/opssimfixture.h"

#include <cstdint>
#include <vector>

using namespace opstest;

namespace {

TEST_F(OpsTest, VerifyFindsAChangedByte)
{
    const std::vector<std::uint8_t> image = firmwareImage(0x8000, 0x3000, 3);
    const std::string hex = hexFile(image);
    sim.setFlash(withVectorChecksum(image));
    connectOrFail();
    ASSERT_EQ(qz_verify(hex.c_str(), 1, nullptr, 0)->status, 1);

    sim.writeFlash(0x2345, {static_cast<std::uint8_t>(image[0x2345] ^ 0x10)});
    const IspResult* r = qz_verify(hex.c_str(), 1, nullptr, 0);
    EXPECT_EQ(r->status, -17);
    EXPECT_STREQ(r->text, "Error verifying. There is a difference in the Hex file value and the "
                          "stored value. (address 0x00002345)");
}

TEST_F(OpsTest, VerifyIgnoresTheVectorChecksumAndTheCrpWord)
{
    std::vector<std::uint8_t> image = firmwareImage(0x8000, 0x1000, 5);
    const std::string hex = hexFile(image);
    std::vector<std::uint8_t> stored = withVectorChecksum(image);
    stored[0x2FC] = 0x78; // some CRP word the file does not have
    sim.setFlash(stored);
    connectOrFail();
    EXPECT_EQ(qz_verify(hex.c_str(), 0, nullptr, 0)->status, 1);
}

TEST_F(OpsTest, ReadChecksumLimitAndVerifyReadFailures)
{
    const std::vector<std::uint8_t> image = firmwareImage(0x8000, 0x400, 4);
    const std::string hex = hexFile(image);
    sim.setFlash(withVectorChecksum(image));
    connectOrFail();
    sim::LpcFaults f;
    f.corruptReadChecksums = 3; // the first read gives up, the retry succeeds
    sim.setFaults(f);
    ASSERT_EQ(qz_verify(hex.c_str(), 1, nullptr, 0)->status, 1);
    f.corruptReadChecksums = 1000; // every retry fails: reported, never compared
    sim.setFaults(f);
    const IspResult* r = qz_verify(hex.c_str(), 1, nullptr, 0);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (reading device)");
}

} // namespace
