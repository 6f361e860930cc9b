// The fixture of the device-operation tests: the library's exports against
// the simulated LPC boot ROM on a pty, its long pauses shortened, and a
// progress callback that records each event and can cancel on one.
#pragma once

#include "tests/isp/core/opsfixture.h"

#include "isp/core/session.h"
#include "platform/sleep.h"
#include "tests/sim/lpc/lpc_sim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace opstest {

// The long pauses (baud switch, RESEND give-up, start-up waits) shortened;
// the short ones after "G" stay, since they let the boot ROM's last reply
// arrive before the purge that drops it, also on a loaded machine.
class ShortSleeper : public platform::Sleeper {
public:
    void sleepMs(unsigned ms) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pauses_.push_back(ms);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms <= 100 ? ms : 20u));
    }
    bool paused(unsigned ms)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::find(pauses_.begin(), pauses_.end(), ms) != pauses_.end();
    }

private:
    std::mutex mutex_;
    std::vector<unsigned> pauses_;
};

struct Event {
    int kind, value, extra;
};

inline std::vector<Event> g_events;
inline int g_cancelOnEvent = 0; // 0: never; else the event kind to cancel on
inline std::string g_jitText;
inline const IspResult* g_result = nullptr;

inline int record(int kind, int value, int extra, int)
{
    g_events.push_back({kind, value, extra});
    if (kind == 9 && g_result != nullptr)
        g_jitText = g_result->text; // the message, for the callback's duration
    return kind == g_cancelOnEvent ? 0 : 1;
}

inline std::vector<int> valuesOf(int kind)
{
    std::vector<int> out;
    for (const Event& e : g_events)
        if (e.kind == kind)
            out.push_back(e.value);
    return out;
}

class OpsTest : public ::testing::Test {
protected:
    explicit OpsTest(const sim::lpc::PartInfo& part = sim::lpc::lpc11c24(),
                     sim::LpcSim::Options options = {})
        : sim(part, options)
    {
    }

    void SetUp() override
    {
        qz::reset_session_slots();
        platform::installSleeper(&sleeper);
        g_events.clear();
        g_cancelOnEvent = 0;
        g_result = qz_version();
        char tmpl[] = "/tmp/qzopstestXXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        ASSERT_TRUE(sim.start());
    }

    void TearDown() override
    {
        if (qz_get_comport_handle() != -1)
            qz_disconnect();
        sim.stop();
        platform::installSleeper(nullptr);
        qz::reset_session_slots();
        for (const std::string& f : files)
            std::remove(f.c_str());
        ::rmdir(dir.c_str());
    }

    std::string file(const std::string& name)
    {
        files.push_back(dir + "/" + name);
        return files.back();
    }
    std::string hexFile(const std::vector<std::uint8_t>& image, std::uint32_t base = 0)
    {
        const std::string path = file("image" + std::to_string(files.size()) + ".hex");
        writeFile(path, hexText(image, base));
        return path;
    }

    const IspResult* connect(ConnectOptions o)
    {
        return qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE);
    }
    void connectOrFail()
    {
        const IspResult* r = connect(vantrelOptions(sim.slavePath()));
        ASSERT_EQ(r->status, 1) << r->text;
    }
    // Back into the boot ROM the way the converter's "FU" does, and connect again.
    void reenter()
    {
        qz_disconnect();
        sim.stop();
        sim.enterIsp();
        ASSERT_TRUE(sim.start());
        connectOrFail();
    }

    ShortSleeper sleeper;
    sim::LpcSim sim;
    std::string dir;
    std::vector<std::string> files;
};

// For calls that refuse before the part is asked anything; a raw connection
// gives them an open port.
class RawPortTest : public OpsTest {
protected:
    void SetUp() override
    {
        OpsTest::SetUp();
        ASSERT_EQ(qz_raw_connect(sim.slavePath().c_str(), 9600, 0)->status, 1);
    }
};

} // namespace opstest
