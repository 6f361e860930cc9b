// The boot ROM's queries through the library's exports on the simulated LPC
// part (signature, boot code version, serial number), flash bank selection,
// and the reset through a vector table.
#include "tests/isp/cortex/opssimfixture.h"

#include <string>
#include <vector>

using namespace opstest;

namespace {

// ---- boot ROM queries, reset --------------------------------------------------------

TEST_F(OpsTest, SignatureBootCodeVersionSerialNumber)
{
    connectOrFail();
    const auto& p = sim.part();
    EXPECT_STREQ(qz_read_signature()->text, std::to_string(p.partId[0]).c_str());
    EXPECT_STREQ(qz_bootloader_version()->text,
                 (std::to_string(p.bootMajor) + "." + std::to_string(p.bootMinor)).c_str());
    const IspResult* r = qz_serial_number();
    ASSERT_EQ(r->status, 1);
    EXPECT_STREQ(r->text, (std::to_string(p.serial[0]) + " " + std::to_string(p.serial[1]) + " " +
                           std::to_string(p.serial[2]) + " " + std::to_string(p.serial[3]))
                              .c_str());
    EXPECT_EQ(qz_activate_flash_bank(1)->status, -5);
}

TEST_F(OpsTest, ResetThroughTheVectorTableStartsItsEntry)
{
    connectOrFail();
    // A vector table in RAM: stack pointer, then the entry.
    sim.writeRam(0x10001000, {0x00, 0x20, 0x00, 0x10, 0x41, 0x02, 0x00, 0x00});
    const IspResult* r = qz_reset(1, 0x10001000, 3 | (50u << 16));
    ASSERT_EQ(r->status, 1) << r->text;
    ASSERT_TRUE(sim.waitForState(sim::lpc::RomState::Running, 5000));
    const sim::ResetEvent e = sim.resets().back();
    EXPECT_EQ(e.cause, sim::ResetEvent::Cause::VectorTable);
    EXPECT_EQ(e.sp, 0x10002000u);
    EXPECT_EQ(e.entry & ~1u, 0x240u);
    EXPECT_TRUE(sleeper.paused(50));
}

// ---- two flash banks ---------------------------------------------------------------

class TwoBankTest : public OpsTest {
protected:
    TwoBankTest() : OpsTest(*sim::lpc::findPart("LPC4357")) {}
    void connectTwoBank()
    {
        ConnectOptions o = vantrelOptions(sim.slavePath());
        o.device_id = sim.part().deviceNumber;
        const IspResult* r = connect(o);
        ASSERT_EQ(r->status, 1) << r->text;
    }
};

TEST_F(TwoBankTest, ActivatesAFlashBank)
{
    connectTwoBank();
    sim.clearRecords();
    const IspResult* r = qz_activate_flash_bank(1);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(sim.commands(), std::vector<std::string>{"S 1"});
    r = qz_activate_flash_bank(2);
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, "Invalid value or command sent. Please try the operation again. invalid flash bank number");
    EXPECT_EQ(sim.commands().size(), 1u) << "a refused bank is not sent";
}

// Some LPC18xx/43xx answer "J" with one id word only.
TEST_F(TwoBankTest, SignatureWithOneIdWordMissing)
{
    connectTwoBank();
    sim::LpcFaults f;
    f.oneIdWord = true;
    sim.setFaults(f);
    const IspResult* r = qz_read_signature();
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_STREQ(r->text, std::to_string(sim.part().partId[0]).c_str());
    EXPECT_EQ(qz_bootloader_version()->status, 1) << "the line is in step after the wait";
}

} // namespace
