// Start method 1 end to end: the real QuasmeriteARMCortex, found beside
// the code, writes the loader into a flashless LPC18xx's RAM over ISP and
// starts it; the loader then takes the line and programs the flash.
#include "isp/core/serialport.h"
#include "tests/isp/extflash/extflashfixture.h"
#include "tests/sim/loader/loader_handover.h"


namespace {

using exttest::Persona;

class CortexEndToEndTest : public exttest::ExtFlashTest {
protected:
    void SetUp() override
    {
        ExtFlashTest::SetUp();
        part = sim::lpc::findPart("LPC1850");
        ASSERT_NE(part, nullptr);
        desc.startMethod = 1;
        desc.ispBaud = 115200;
        // Clear of the RAM the Cortex driver stages its own routines in.
        desc.ramStart = 0x10001000;
        desc.ramEnd = 0x10008FFF;
        loaderPath = writeText("loader.hex", sim::loader::loaderHex(desc, 0x400));
        lpc = std::make_unique<sim::LpcSim>(*part);
        handover = std::make_unique<sim::LoaderHandover>(*lpc, exttest::configFor(desc));
        ASSERT_TRUE(lpc->start());
    }
    void TearDown() override
    {
        if (qz::port_is_open())
            qz_disconnect();
        handover.reset();
        lpc.reset();
        ExtFlashTest::TearDown();
    }

    ConnectOptions lpcOptions(int hardwareConfig) const
    {
        ConnectOptions o = options(hardwareConfig, 115200);
        std::snprintf(o.port_name, sizeof o.port_name, "%s", lpc->slavePath().c_str());
        o.t1_ms = 10;
        o.t2_ms = 10;
        return o;
    }

    const sim::lpc::PartInfo* part = nullptr;
    std::unique_ptr<sim::LpcSim> lpc;
    std::unique_ptr<sim::LoaderHandover> handover;
};

TEST_F(CortexEndToEndTest, TheCortexDriverStartsTheLoaderWhichThenProgramsTheFlash)
{
    const int descriptors = exttest::openDescriptors();
    const ConnectOptions o = lpcOptions(2);
    const IspResult* r = qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(handover->handovers(), 1);
    const std::vector<std::uint8_t> image = sim::loader::loaderImage(desc, 0x400);
    const std::vector<std::uint8_t> ram = handover->ramAtStart();
    const std::size_t at = desc.ramStart - part->ramStart;
    ASSERT_GE(ram.size(), at + image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), ram.begin() + static_cast<long>(at)));
    const std::vector<sim::ResetEvent> resets = lpc->resets();
    ASSERT_EQ(resets.size(), 1u);
    EXPECT_EQ(resets[0].cause, sim::ResetEvent::Cause::VectorTable);
    EXPECT_EQ(resets[0].address, desc.ramStart);

    std::vector<std::uint8_t> data(0x800);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    const std::string file = writeText("data.hex", sim::loader::hexText(desc.flashStart, data));
    ASSERT_EQ(qz_erase(-2, 0, 0, nullptr, 0, file.c_str())->status, 1);
    ASSERT_EQ(qz_program(file.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, 1);
    const std::vector<std::uint8_t> flash = handover->loader().flash();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin()));
    EXPECT_EQ(qz_disconnect()->status, 1);
    // Nothing of the unloaded Cortex driver, nor of the adopted port, is left open.
    EXPECT_EQ(exttest::openDescriptors(), descriptors);
}

} // namespace
