// The fixture of the engine's line-level tests: the port fixture's pty opened
// and configured for an LPC11C24, with a scripted boot ROM on its far end.
#pragma once

#include "tests/isp/core/portfixture.h"
#include "tests/isp/core/scriptedpart.h"

#include "isp/cortex/devicetable.h"
#include "isp/cortex/selecteddevice.h"

#include <string>

namespace enginetest {

constexpr int kLpc11c24 = 4022;

class EngineTest : public porttest::PortFixture {
protected:
    void SetUp() override
    {
        PortFixture::SetUp();
        selectDevice(kLpc11c24);
        ASSERT_EQ(qz::open_port(pty.slavePath().c_str()), 1);
        ASSERT_EQ(qz::configure_port(115200, 0), 1);
        qz::use_short_timeouts();
        pty.drain();
        rec.take();
    }
    void TearDown() override
    {
        part.stop();
        PortFixture::TearDown();
    }
    static void selectDevice(int id)
    {
        qz::session().deviceIndex = qz::cortex_device_index(id);
        qz::session().flashBank = 0;
        qz::select_sector_table();
    }
    bool slept(unsigned ms)
    {
        for (const std::string& e : rec.take())
            if (e == "sleep " + std::to_string(ms))
                return true;
        return false;
    }

    ScriptedPart part{pty};
};

} // namespace enginetest
