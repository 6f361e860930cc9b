// Programming through the library's exports on the simulated LPC boot ROM:
// the firmware upgrade's whole call sequence, the vector checksum, the
// checksum adjuster bytes, RAM data, cancelling, and the RESEND limit.
#include "tests/isp/cortex/opssimfixture.h"

#include <algorithm>
#include <cstdint>
#include <vector>

using namespace opstest;

namespace {

// ---- the firmware upgrade's road ---------------------------------------------

TEST_F(OpsTest, UpgradeSequenceLeavesTheFileInFlash)
{
    const std::vector<std::uint8_t> image = firmwareImage(0x8000, 0x6A10, 7);
    const std::string hex = hexFile(image);
    const std::string log = file("upgrade.qzd");

    qz_set_default_timeouts();
    EXPECT_EQ(qz_select_debug_mode(1, log.c_str())->status, 1);
    const IspResult* r = connect(vantrelOptions(sim.slavePath()));
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(r->data[0] << 24 | r->data[1] << 16 | r->data[2] << 8 | r->data[3], 9600);
    EXPECT_EQ(sim.oscillatorKHz(), 12000u);

    r = qz_erase(-2, 0, 1, record, 0, hex.c_str());
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(valuesOf(1), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));

    g_events.clear();
    r = qz_program(hex.c_str(), 0, 0, 0, 1, nullptr, nullptr, 0, 0, 0, record, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    const std::vector<int> blocks = valuesOf(3);
    ASSERT_FALSE(blocks.empty());
    EXPECT_TRUE(std::is_sorted(blocks.rbegin(), blocks.rend())) << "blocks go from the top down";
    EXPECT_EQ(blocks.front(), 0x6800);
    EXPECT_EQ(blocks.back(), 0);
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), 0x1400), 0) << "a blank block is skipped";

    g_events.clear();
    r = qz_verify(hex.c_str(), 1, record, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(valuesOf(6).size(), 64u);
    EXPECT_EQ(valuesOf(6).back(), 0x7E00);

    r = qz_reset(1, 0, 1);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_TRUE(sim.waitForState(sim::lpc::RomState::Running, 5000));
    ASSERT_FALSE(sim.resets().empty());
    EXPECT_EQ(sim.resets().back().address, 0u);
    EXPECT_TRUE(sim.resets().back().thumb);
    EXPECT_EQ(qz_disconnect()->status, 1);

    EXPECT_EQ(sim.flash(), withVectorChecksum(image));
    EXPECT_NE(readFile(log).size(), 0u) << "the diagnostic log was written";
}

// ---- program --------------------------------------------------------------------

TEST_F(OpsTest, VectorChecksumMakesTheFirstEightWordsSumToZero)
{
    std::vector<std::uint8_t> image(28);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(0x11 * (i + 1));
    const std::string hex = hexFile(image);
    connectOrFail();
    ASSERT_EQ(qz_erase(-2, 0, 0, nullptr, 0, hex.c_str())->status, 1);
    ASSERT_EQ(qz_program(hex.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, 1);
    const auto f = sim.flash();
    std::uint32_t sum = 0;
    for (int w = 0; w < 8; ++w)
        sum += f[w * 4] | f[w * 4 + 1] << 8 | f[w * 4 + 2] << 16 | static_cast<std::uint32_t>(f[w * 4 + 3]) << 24;
    EXPECT_EQ(sum, 0u);
}

TEST_F(OpsTest, ChecksumAdjusterBytesMakeUsedSectorsSumToAB)
{
    const std::vector<std::uint8_t> image = firmwareImage(0x2000, 0x1800, 13); // sectors 0 and 1
    const std::string hex = hexFile(image);
    connectOrFail();
    ASSERT_EQ(qz_erase(-3, 0, 0, nullptr, 0, nullptr)->status, 1);
    ASSERT_EQ(qz_program(hex.c_str(), 1, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, 1);
    const auto f = sim.flash();
    for (int sector = 0; sector < 3; ++sector) {
        unsigned sum = 0;
        for (int i = 0; i < 0x1000; ++i)
            sum += f[sector * 0x1000 + i];
        if (sector < 2)
            EXPECT_EQ(sum & 0xFF, 0xABu) << sector;
        else
            EXPECT_EQ(f[0x2FFF], 0xFF) << "an unused sector is left alone";
    }
    EXPECT_EQ(qz_verify(hex.c_str(), 1, nullptr, 0)->status, 1) << "its adjuster bytes are skipped";
    EXPECT_EQ(qz_verify(hex.c_str(), 0, nullptr, 0)->status, -17);
}

TEST_F(OpsTest, RamDataAtTheLastAddressIsWrittenAsOneWord)
{
    const std::string path = file("ram.hex");
    writeFile(path, ":020000041000EA\n:01000400AA51\n:00000001FF\n");
    connectOrFail();
    sim.clearRecords();
    ASSERT_EQ(qz_program(path.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, record, 0)->status, 1);
    const auto cmds = sim.commands();
    EXPECT_NE(std::find(cmds.begin(), cmds.end(), "W 268435460 4"), cmds.end());
    EXPECT_EQ(valuesOf(3), std::vector<int>{0x10000004});
    EXPECT_EQ(sim.ram()[4], 0xAA);
}

TEST_F(OpsTest, CancelDuringProgramming)
{
    const std::string hex = hexFile(firmwareImage(0x8000, 0x3000, 1));
    connectOrFail();
    ASSERT_EQ(qz_erase(-3, 0, 0, nullptr, 0, nullptr)->status, 1);
    g_cancelOnEvent = 3;
    EXPECT_EQ(qz_program(hex.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, record, 0)->status, -20);
    EXPECT_EQ(valuesOf(3).size(), 1u) << "nothing after the cancelling event";
    ASSERT_EQ(qz_program(hex.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, 1);
    g_events.clear();
    g_cancelOnEvent = 6;
    EXPECT_EQ(qz_verify(hex.c_str(), 1, record, 0)->status, -20);
    EXPECT_EQ(valuesOf(6), std::vector<int>{0});
}

TEST_F(OpsTest, ResendLimitWhileProgramming)
{
    const std::string hex = hexFile(firmwareImage(0x8000, 0x800, 2));
    connectOrFail();
    ASSERT_EQ(qz_erase(-3, 0, 0, nullptr, 0, nullptr)->status, 1);
    sim::LpcFaults f;
    f.resendWriteChecksums = 2;
    sim.setFaults(f);
    ASSERT_EQ(qz_program(hex.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, 1);
    f.resendWriteChecksums = 3;
    sim.setFaults(f);
    const IspResult* r = qz_program(hex.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (programming - failed to send data to the device)");
    EXPECT_TRUE(sleeper.paused(1000));
}

} // namespace
