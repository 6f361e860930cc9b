// Other families of parts through the library's exports on the simulated
// boot ROM: program, verify and read back each family's last bank, and the
// operations a part cannot do.
#include "tests/isp/cortex/opssimfixture.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using namespace opstest;

namespace {

// ---- other families of parts --------------------------------------------------

class PartTest : public OpsTest, public ::testing::WithParamInterface<const char*> {
protected:
    PartTest() : OpsTest(*sim::lpc::findPart(GetParam())) {}
    ConnectOptions options(int bank = 0)
    {
        ConnectOptions o = vantrelOptions(sim.slavePath());
        o.device_id = sim.part().deviceNumber;
        o.flash_bank = bank;
        return o;
    }
};

// Binary transfer and CR LF (LPC810), 256-byte blocks (LPC1110), the
// LPC13xx and LPC17xx vector maps (LPC1343, LPC1768), two banks with CR LF
// and two id words (LPC4357).
TEST_P(PartTest, ProgramVerifyAndReadBackTheLastBank)
{
    const int bank = static_cast<int>(sim.part().banks.size()) - 1;
    const sim::lpc::Bank& b = sim.part().banks[bank];
    const std::size_t size = std::min<std::size_t>(b.end - b.start + 1, 0x3000);
    const std::vector<std::uint8_t> image = firmwareImage(size, size - 0x100, 11);
    const std::string hex = hexFile(image, b.start);
    const IspResult* r = connect(options(bank));
    ASSERT_EQ(r->status, 1) << r->text;
    r = qz_read_signature();
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_STREQ(r->text, std::to_string(sim.part().partId[0]).c_str());
    r = qz_erase(-2, 0, 0, nullptr, 0, hex.c_str());
    ASSERT_EQ(r->status, 1) << r->text;
    r = qz_program(hex.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    r = qz_verify(hex.c_str(), 1, nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    std::vector<std::uint8_t> stored = sim.flash(bank);
    stored.resize(size);
    std::vector<std::uint8_t> expected = image;
    // Parts that keep a vector checksum the image sets have none set here.
    for (int i = 0x1C; i < 0x20; ++i)
        expected[i] = stored[i];
    EXPECT_EQ(stored, expected);
    std::vector<std::uint8_t> back(0x400);
    r = qz_read_data_to_buffer(b.start, b.start + 0x3FF, back.data(), nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_TRUE(std::equal(back.begin(), back.end(), stored.begin()));
    EXPECT_EQ(sim.remapRegister(), 0u) << "the boot ROM's vectors are mapped back after a read";
}

INSTANTIATE_TEST_SUITE_P(Families, PartTest,
                         ::testing::Values("LPC810M021FN8", "LPC1110", "LPC1343", "LPC1768", "LPC4357"),
                         [](const ::testing::TestParamInfo<const char*>& i) {
                             std::string n = i.param;
                             return n.substr(0, 7);
                         });

// ---- operations a part cannot do ----------------------------------------------

// Data for flash has no place on a part without flash: it fails the run
// before anything is written, instead of being lost.
TEST_F(RawPortTest, FlashlessPartAnswersNoFlashMemory)
{
    ASSERT_EQ(qz_select_device(18000, 0)->status, 1); // LPC1850
    const std::string hex = hexFile({0x00, 0x01, 0x02, 0x03});
    const IspResult* r = qz_program(hex.c_str(), 0, 1, 0x00, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0);
    EXPECT_EQ(r->status, -15);
    EXPECT_STREQ(r->text, "Unable to open Hex file. Reselect the Hex file. (address 0x00000000 outside the part)");
    EXPECT_EQ(qz_erase(-3, 0, 0, nullptr, 0, nullptr)->status, -16);
    EXPECT_EQ(qz_verify(hex.c_str(), 0, nullptr, 0)->status, -16);
    EXPECT_EQ(qz_blank_check(0, 0xFFF)->status, -16);
}

class FlashlessTest : public OpsTest {
protected:
    FlashlessTest() : OpsTest(*sim::lpc::findPart("LPC1850")) {}
};

// A flashless part has no flash step: its RAM image is programmed, whatever
// fill byte the caller gives.
TEST_F(FlashlessTest, RamImageIsProgrammedWithAnyFillByte)
{
    const std::vector<std::uint8_t> code = firmwareImage(0x100, 0x100, 8);
    const std::string hex = hexFile(code, 0x10001000);
    ConnectOptions o = vantrelOptions(sim.slavePath());
    o.device_id = 18000;
    ASSERT_EQ(connect(o)->status, 1);
    const IspResult* r = qz_program(hex.c_str(), 0, 1, 0x00, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(sim.readMemory(0x10001000, 0x100), code);
}

TEST_F(RawPortTest, UpdateBootloaderIsNotSupported)
{
    ASSERT_EQ(qz_select_device(4022, 0)->status, 1);
    EXPECT_EQ(qz_update_bootloader("x.hex", nullptr, 0)->status, -16);
}

} // namespace
