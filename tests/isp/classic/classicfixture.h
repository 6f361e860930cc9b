// What the classic driver's port tests share: fresh driver state in the
// classic flavour, a simulated part on a pty, the line and pause recorder
// (pauses cost nothing), and a readable copy of the diagnostic log.
#pragma once

#include "isp/classic/classic_port.h"
#include "isp/classic/classic_state.h"
#include "isp/core/debuglog.h"
#include "isp/core/serialflavour.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"
#include "isp/core/version.h"
#include "tests/isp/core/portfixture.h"
#include "tests/sim/classic/classic_sim.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

namespace classictest {

inline sim::ClassicPersona dialect2Persona(double mhz = 7.3728)
{
    sim::ClassicPersona p;
    p.dialect = 2;
    p.queryType = 0x03;
    p.writeType = 0x02;
    p.baudType = 0x07;
    p.oscType = 0x00;
    p.oscillatorMHz = mhz;
    return p;
}

class ClassicFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        qz::reset_session_slots();
        qz::reset_classic_state();
        qz::classic_library_loaded();
        platform::installSleeper(&rec);
        platform::installLineControl(&rec);
        ASSERT_TRUE(log_.open("qzclassictest"));
    }

    void TearDown() override
    {
        qz::session().hardwareConfig = 0;
        qz::close_port();
        if (part)
            part->stop();
        platform::installLineControl(nullptr);
        platform::installSleeper(nullptr);
        qz::reset_session_slots();
        qz::reset_classic_state();
        qz::set_serial_flavour(qz::kCortexSerialFlavour);
        qz::set_driver_identity(qz::kCortexIdentity);
        log_.remove();
    }

    // Starts a simulated part.
    void startPart(const sim::ClassicPersona& persona = {})
    {
        part = std::make_unique<sim::ClassicSim>(persona);
        ASSERT_TRUE(part->start());
    }

    // Opens and configures the port to the part, with `number` selected.
    void connectPort(int number, unsigned baud = 9600)
    {
        qz::classic_state().deviceIndex = qz::classic_device_index(number);
        ASSERT_EQ(qz::open_port(part->slavePath().c_str()), 1);
        ASSERT_EQ(qz::configure_port(baud, 1), 1);
        rec.take();
    }

    std::string logText() const { return log_.text(); }
    bool logged(const std::string& line) const { return logText().find(line) != std::string::npos; }

    // Waits (up to 5 s) until the part has taken the given record.
    bool partGot(const std::string& record) const
    {
        for (int i = 0; i < 500; ++i) {
            for (const std::string& r : part->records())
                if (r == record)
                    return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Holds the pause after a reload record until the part has taken the
    // record and its reply is on the line, as the real 500 ms would: a
    // reply still on its way would land after the purge, at the new rate.
    void waitForReload(const std::string& record)
    {
        rec.onSleep = [this, record](unsigned ms) {
            if (ms == 500) {
                EXPECT_TRUE(part->waitForAnswer(record, 5000)) << record;
            }
        };
    }

    porttest::Recorder rec;
    std::unique_ptr<sim::ClassicSim> part;

private:
    porttest::DebugLogFile log_;
};

} // namespace classictest
