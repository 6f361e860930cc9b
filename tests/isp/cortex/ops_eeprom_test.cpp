// The EEPROM exports on the simulated LPC boot ROM.
#include "tests/isp/cortex/opssimfixture.h"

#include <algorithm>
#include <memory>
#include <vector>

using namespace opstest;

namespace {

class EepromTest : public OpsTest {
protected:
    EepromTest() : OpsTest(*sim::lpc::findPart("DAP-S/01")) {}
};

TEST_F(EepromTest, OddLengthRoundTrip)
{
    ConnectOptions o = vantrelOptions(sim.slavePath());
    o.device_id = 11001;
    ASSERT_EQ(connect(o)->status, 1);
    std::unique_ptr<unsigned char[]> data(new unsigned char[1001]); // ASan guards its end
    for (int i = 0; i < 1001; ++i)
        data[i] = static_cast<unsigned char>(i * 13 + 1);
    const IspResult* r = qz_program_eeprom_from_buffer(data.get(), 0x40, 1001);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_TRUE(std::equal(data.get(), data.get() + 1001, sim.eeprom().begin() + 0x40));
    std::vector<unsigned char> back(1001);
    ASSERT_EQ(qz_read_eeprom_to_buffer(back.data(), 0x40, 1001)->status, 1);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), data.get()));
}

TEST_F(OpsTest, EepromRefusedOnPartsWithout)
{
    connectOrFail();
    unsigned char b[4] = {};
    EXPECT_EQ(qz_program_eeprom_from_buffer(b, 0, 4)->status, -16);
}

} // namespace
