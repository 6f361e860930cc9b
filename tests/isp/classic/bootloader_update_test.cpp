// qz_update_bootloader on the one part that allows it: erase, program, then
// reset until the new boot loader answers.
#include "tests/isp/classic/enginefixture.h"

#include "qz_interface.h"

#include <algorithm>
#include <string>

namespace {

using namespace classictest;

class BootloaderUpdate : public EngineFixture {};

TEST_F(BootloaderUpdate, ErasesProgramsResetsAndHearsTheNewLoader)
{
    open(k89V51RD2);
    part->withReadback([](sim::ClassicReadback& r) { r.starAfterReset = true; });
    const std::string path = hexFile(":0400000001020304F2\n:00000001FF\n");
    const IspResult* r = qz_update_bootloader(path.c_str(), nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    const auto records = sent();
    // One 16-byte record from 0 carries the four bytes.
    const auto data = std::find_if(records.begin(), records.end(),
                                   [](const std::string& rec) { return rec.rfind(":1000000001020304", 0) == 0; });
    const auto reset = std::find(records.begin(), records.end(), ":0000000BF5");
    ASSERT_NE(data, records.end());
    ASSERT_NE(reset, records.end());
    EXPECT_LT(data, reset);
    EXPECT_FALSE(part->flash().erasures().empty()) << "erased before programming";
    EXPECT_EQ(part->flash().at(0x0003), 0x04);
}

TEST_F(BootloaderUpdate, AFailedEraseEndsItBeforeAnythingIsProgrammed)
{
    open(k89V51RD2);
    part->addFault({"", sim::ClassicFaultKind::Status, 'S', 100});
    const std::string path = hexFile(":0400000001020304F2\n:00000001FF\n");
    const IspResult* r = qz_update_bootloader(path.c_str(), nullptr, 0);
    EXPECT_EQ(r->status, -18) << r->text;
    const auto records = sent();
    EXPECT_EQ(std::count_if(records.begin(), records.end(),
                            [](const std::string& rec) { return rec.rfind(":10000000", 0) == 0; }),
              0);
    EXPECT_EQ(part->resets(), 0);
}

} // namespace
