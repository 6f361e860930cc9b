// Connecting through the library's exports to the simulated LPC boot ROM:
// autobaud, the refused options and port names, a part already in command
// mode, the high-speed switch, half duplex, a refused oscillator frequency,
// and the operations that need a connection.
#include "tests/isp/cortex/opssimfixture.h"

#include "tests/isp/core/scriptedpart.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <unistd.h>

using namespace opstest;

namespace {

TEST_F(OpsTest, SilentPartFailsAutobaudAndClosesThePort)
{
    sim::LpcFaults f;
    f.mute = true;
    sim.setFaults(f);
    qz_set_autobaud_configuration(20, 50, 3);
    const IspResult* r = connect(vantrelOptions(sim.slavePath()));
    EXPECT_EQ(r->status, -18);
    EXPECT_EQ(std::string(r->text).rfind("Operation Failed.  Failed to autobaud - step 1. See", 0), 0u)
        << r->text;
    EXPECT_EQ(qz_get_comport_handle(), -1);
}

TEST_F(OpsTest, ConnectRefusals)
{
    ConnectOptions o = vantrelOptions(sim.slavePath());
    EXPECT_EQ(qz_connect(&o, 1130)->status, -16);
    o.high_speed = 1;
    o.oscillator_mhz = 0.0;
    EXPECT_EQ(connect(o)->status, -5);
    o = vantrelOptions(sim.slavePath());
    o.device_id = 1;
    EXPECT_EQ(connect(o)->status, -5);
    o = vantrelOptions("/dev/no-such-port");
    const IspResult* r = connect(o);
    EXPECT_EQ(r->status, -2);
    EXPECT_STREQ(r->text, "Unable to communicate. (in use)");
    EXPECT_EQ(qz_get_comport_handle(), -1);
}

TEST_F(OpsTest, OscillatorWithoutAKilohertzValueIsRefused)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double mhz : {nan, inf, -12.0, 1e12}) {
        SCOPED_TRACE(mhz);
        ConnectOptions o = vantrelOptions(sim.slavePath());
        o.oscillator_mhz = mhz;
        const IspResult* r = connect(o);
        EXPECT_EQ(r->status, -5) << r->text;
        EXPECT_EQ(qz_get_comport_handle(), -1);
    }
}

// A name that fills the whole 50-byte field has no end. Its first 49
// characters name a link to the simulated part here, which a cut name would
// open and connect to.
TEST_F(OpsTest, PortNameFillingItsFieldIsRefused)
{
    ConnectOptions o = vantrelOptions(sim.slavePath());
    std::string link = dir + "/";
    link += std::string(sizeof o.port_name - 1 - link.size(), 'p');
    ASSERT_EQ(link.size(), sizeof o.port_name - 1);
    files.push_back(link);
    ASSERT_EQ(::symlink(sim.slavePath().c_str(), link.c_str()), 0);
    std::memcpy(o.port_name, (link + "X").data(), sizeof o.port_name); // no NUL
    const IspResult* r = connect(o);
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, "Invalid value or command sent. Please try the operation again. (port name too long)");
    EXPECT_EQ(qz_get_comport_handle(), -1);
    EXPECT_TRUE(sim.commands().empty());
    // The same link with its end in the field connects.
    std::snprintf(o.port_name, sizeof o.port_name, "%s", link.c_str());
    r = connect(o);
    EXPECT_EQ(r->status, 1) << r->text;
}

TEST_F(OpsTest, ConnectsToAPartAlreadyInCommandMode)
{
    connectOrFail();
    qz_disconnect();
    // The part stays in command mode: its echo answers the sync character.
    connectOrFail();
    EXPECT_EQ(qz_read_signature()->status, 1);
}

class HighSpeedTest : public OpsTest {
protected:
    HighSpeedTest() : OpsTest(sim::lpc::lpc11c24(), sim::LpcSim::Options{true, false}) {}
};

TEST_F(HighSpeedTest, SwitchesToTheHighestRateTheUserAllows)
{
    ConnectOptions o = vantrelOptions(sim.slavePath());
    o.high_speed = 1;
    o.max_baud_rate = 115200;
    const IspResult* r = connect(o);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(r->data[0] << 24 | r->data[1] << 16 | r->data[2] << 8 | r->data[3], 115200);
    EXPECT_EQ(sim.baud(), 115200u);
    EXPECT_EQ(sim.pty().baudRate(), 115200u);
    EXPECT_TRUE(sleeper.paused(500));
    r = qz_read_signature();
    ASSERT_EQ(r->status, 1);
    EXPECT_STREQ(r->text, std::to_string(sim.part().partId[0]).c_str());
}

TEST_F(OpsTest, HalfDuplexProgramsAndReads)
{
    ConnectOptions o = vantrelOptions(sim.slavePath());
    o.half_duplex = 1;
    ASSERT_EQ(connect(o)->status, 1);
    const std::vector<std::uint8_t> image = firmwareImage(0x8000, 0x400, 8);
    const std::string hex = hexFile(image);
    ASSERT_EQ(qz_erase(-2, 0, 0, nullptr, 0, hex.c_str())->status, 1);
    ASSERT_EQ(qz_program(hex.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, 1);
    EXPECT_EQ(qz_verify(hex.c_str(), 1, nullptr, 0)->status, 1);
    EXPECT_EQ(sim.flash(), withVectorChecksum(image));
}

// A part that synchronises but refuses the oscillator frequency.
TEST(ConnectHandshake, RefusedOscillatorClosesThePort)
{
    qz::reset_session_slots();
    sim::Pty pty;
    enginetest::ScriptedPart part(pty);
    part.echo = false;
    bool synced = false;
    part.onByte = [&](unsigned char c, std::string& answer) {
        if (c != '?' || synced)
            return false;
        synced = true;
        answer = "Synchronized\r\n";
        return true;
    };
    part.onLine = [&](const std::string& line) -> std::string {
        if (line == "Synchronized")
            return "Synchronized\rOK\r\n";
        return line + "\r" + "1\r\n"; // echo of the frequency, then no "OK"
    };
    part.start();
    const ConnectOptions o = vantrelOptions(pty.slavePath());
    const IspResult* r = qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE);
    EXPECT_EQ(r->status, -18) << r->text;
    EXPECT_EQ(qz_get_comport_handle(), -1);
    part.stop();
    qz::reset_session_slots();
}

TEST_F(OpsTest, OperationsWithoutAPort)
{
    EXPECT_EQ(qz_disconnect()->status, -7);
    EXPECT_EQ(qz_verify("x.hex", 0, nullptr, 0)->status, -7);
    EXPECT_EQ(qz_program("x.hex", 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, -7);
    EXPECT_EQ(qz_read_signature()->status, -7);
    EXPECT_EQ(qz_reset(0, 0, 1)->status, -7);
    ASSERT_EQ(qz_select_device(4022, 0)->status, 1);
    const unsigned crp = 0;
    const IspResult* r = qz_program_security_bits(&crp);
    EXPECT_EQ(r->status, -2);
    EXPECT_STREQ(r->text, "Unable to communicate. (transmit/receive)");
}

} // namespace
