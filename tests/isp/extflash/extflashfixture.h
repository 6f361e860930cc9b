// What the external-flash tests share: a loader part on a pty made from a
// descriptor, the loader HEX file for that descriptor in a private folder,
// the connect options, and fresh driver state with recorded lines and pauses
// (the pauses cost nothing).
#pragma once

#include "isp/core/serialport.h"
#include "isp/core/session.h"
#include "isp/extflash/cortexdriver.h"
#include "platform/linecontrol.h"
#include "platform/sleep.h"
#include "qz_interface.h"
#include "tests/isp/core/portfixture.h"
#include "tests/private_tmpdir.h"
#include "tests/sim/loader/loader_image.h"
#include "tests/sim/loader/loader_sim.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace exttest {

using sim::loader::DescriptorFields;
using sim::loader::Persona;

inline sim::loader::LoaderConfig configFor(const DescriptorFields& d)
{
    sim::loader::LoaderConfig c;
    c.ramStart = d.ramStart;
    c.ramSize = d.ramEnd - d.ramStart + 1;
    c.flashStart = d.flashStart;
    c.flashSize = d.flashEnd - d.flashStart + 1;
    c.eraseBlockSize = d.eraseBlockSize;
    c.erasedByte = d.erasedByte;
    c.chunkSize = d.chunkSize;
    return c;
}

inline std::vector<std::string> sleeps(const porttest::Events& events)
{
    std::vector<std::string> out;
    std::copy_if(events.begin(), events.end(), std::back_inserter(out),
                 [](const std::string& e) { return e.rfind("sleep ", 0) == 0; });
    return out;
}

// The process's open descriptors (a leak shows as a growing count).
inline int openDescriptors()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d) != nullptr)
            ++n;
        closedir(d);
    }
    return n;
}

class ExtFlashTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.enter("/tmp/extflashtestXXXXXX"));
        qz::reset_session_slots();
        platform::installSleeper(&rec);
        platform::installLineControl(&rec);
        // Wide enough for a loaded machine; the short query wait is tested
        // on its own.
        qz_set_autobaud_configuration(2000, 2000, 20);
        qz_set_default_timeouts();
    }

    void TearDown() override
    {
        if (qz::port_is_open())
            qz_disconnect();
        if (sim)
            sim->stop();
        qz::ext::set_cortex_library_file(nullptr);
        platform::installLineControl(nullptr);
        platform::installSleeper(nullptr);
        qz::reset_session_slots();
    }

    std::string path(const std::string& name) const { return tmp.path() + "/" + name; }

    std::string writeText(const std::string& name, const std::string& text)
    {
        const std::string p = path(name);
        EXPECT_TRUE(sim::loader::writeFile(p, text));
        return p;
    }

    // The loader file for `desc`, and a part that runs in `persona`.
    std::string prepare(Persona persona = Persona::Loader, bool pace = false)
    {
        loaderPath = writeText("loader.hex", sim::loader::loaderHex(desc));
        sim = std::make_unique<sim::LoaderSim>(configFor(desc), sim::LoaderSimOptions{pace});
        EXPECT_TRUE(sim->start(persona));
        return loaderPath;
    }

    ConnectOptions options(int hardwareConfig = 0, int baud = 115200) const
    {
        ConnectOptions o;
        std::memset(&o, 0, sizeof o);
        o.oscillator_mhz = 12.0;
        std::snprintf(o.port_name, sizeof o.port_name, "%s", sim ? sim->slavePath().c_str() : "/dev/null");
        o.baud_rate = baud;
        o.device_id = 18000;
        o.hardware_config = hardwareConfig;
        o.t1_ms = 120;
        o.t2_ms = 240;
        o.max_baud_rate = 230400;
        std::snprintf(o.flash_loader_path, sizeof o.flash_loader_path, "%s", loaderPath.c_str());
        return o;
    }

    const IspResult* connect(int hardwareConfig = 0)
    {
        const ConnectOptions o = options(hardwareConfig);
        return qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE);
    }

    // Connected to a running loader; fails the test otherwise.
    void connectLoader()
    {
        prepare();
        const IspResult* r = connect();
        ASSERT_EQ(r->status, 1) << r->text;
    }

    std::uint32_t flashSize() const { return desc.flashEnd - desc.flashStart + 1; }

    PrivateTmpdir tmp;
    porttest::Recorder rec;
    DescriptorFields desc;
    std::string loaderPath;
    std::unique_ptr<sim::LoaderSim> sim;
};

} // namespace exttest
