// qz_connect of the classic driver against the simulated part: the steps
// after the port opens, the high-speed switch, ICP versions and the
// failures each step reports.
#include "isp/classic/autobaud.h"
#include "isp/core/errorcodes.h"
#include "tests/isp/classic/classicfixture.h"

#include "qz_interface.h"
#include "tests/isp/classic/partnumbers.h"

#include <cstring>
#include <future>
#include <limits>

using namespace qz;

namespace {

using namespace classictest;

class Connect : public classictest::ClassicFixture {
protected:
    ConnectOptions options(int device, int baud = 9600)
    {
        ConnectOptions o{};
        o.oscillator_mhz = 11.0592;
        std::snprintf(o.port_name, sizeof o.port_name, "%s", part->slavePath().c_str());
        o.baud_rate = baud;
        o.device_id = device;
        o.clocks = 12;
        o.max_baud_rate = 115200;
        return o;
    }
    static std::uint32_t baudOf(const IspResult* r)
    {
        return std::uint32_t(r->data[0]) << 24 | std::uint32_t(r->data[1]) << 16 | std::uint32_t(r->data[2]) << 8 |
               r->data[3];
    }
};

TEST_F(Connect, SynchronisesAndSendsTheOscillatorInWholeMegahertz)
{
    startPart();
    ConnectOptions o = options(k89C51RB2Hxx);
    const IspResult* r = qz_connect(&o, sizeof o);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(baudOf(r), 9600u);
    EXPECT_EQ(part->oscillatorSent(), 11);
    EXPECT_TRUE(port_is_open());
    EXPECT_TRUE(logged("Quasmerite Driver, Version 3.03.3043"));
    EXPECT_TRUE(logged("Device = 89C51RB2Hxx"));
    EXPECT_EQ(qz_disconnect()->status, 1);
    EXPECT_FALSE(port_is_open());
}

TEST_F(Connect, DialectTwoSendsNoOscillator)
{
    startPart(classictest::dialect2Persona());
    ConnectOptions o = options(k89LPC935);
    ASSERT_EQ(qz_connect(&o, sizeof o)->status, 1);
    EXPECT_TRUE(part->records().empty());
}

sim::ClassicPersona fastPart()
{
    // 22.1184 MHz at 6 clocks makes 57600 with reload 65512.
    sim::ClassicPersona p;
    p.oscillatorMHz = 22.1184;
    p.clocks = 6;
    return p;
}

TEST_F(Connect, HighSpeedSwitchReportsTheNewRate)
{
    startPart(fastPart());
    ConnectOptions o = options(k89C51RB2Hxx);
    o.high_speed = 1;
    o.oscillator_mhz = 22.1184;
    o.clocks = 6;
    o.max_baud_rate = 57600;
    waitForReload(":02000006FFE811");
    const IspResult* r = qz_connect(&o, sizeof o);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(r->data[0], 0x00);
    EXPECT_EQ(r->data[1], 0x00);
    EXPECT_EQ(r->data[2], 0xE1);
    EXPECT_EQ(r->data[3], 0x00);
    EXPECT_EQ(part->oscillatorSent(), 22);
}

TEST_F(Connect, PartAlreadyRunningFastIsFoundByTheSwitch)
{
    startPart(fastPart());
    ConnectOptions o = options(k89C51RB2Hxx);
    o.high_speed = 1;
    o.oscillator_mhz = 22.1184;
    o.clocks = 6;
    o.max_baud_rate = 57600;
    waitForReload(":02000006FFE811");
    ASSERT_EQ(qz_connect(&o, sizeof o)->status, 1);
    qz_disconnect();
    // At 9600 the part hears nothing now (autobaud -3), yet it answers at 57600.
    const IspResult* r = qz_connect(&o, sizeof o);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(baudOf(r), 57600u);
}

sim::ClassicPersona heldPart()
{
    sim::ClassicPersona p;
    p.heldUntilReset = true;
    return p;
}

TEST_F(Connect, HighSpeedWithoutAnySignOfThePartFails)
{
    startPart(heldPart());
    ConnectOptions o = options(k89C51RB2Hxx);
    o.high_speed = 1;
    o.oscillator_mhz = 1.0; // no rate is usable: the switch has nothing to do
    const IspResult* r = qz_connect(&o, sizeof o);
    EXPECT_EQ(r->status, -3);
    EXPECT_EQ(std::string(r->text).find("Unable to connect at the specified baud rate. Try reducing the baud rate.  "
                                        "Failed to autobaud."),
              0u)
        << r->text;
    EXPECT_FALSE(port_is_open());
}

TEST_F(Connect, NoEchoFailsWithTheAutobaudText)
{
    startPart(heldPart());
    ConnectOptions o = options(k89C51RB2Hxx);
    const IspResult* r = qz_connect(&o, sizeof o);
    EXPECT_EQ(r->status, -3);
    EXPECT_NE(std::string(r->text).find(" Failed to autobaud."), std::string::npos);
    EXPECT_FALSE(port_is_open());
}

TEST_F(Connect, CancelDuringTheThreadedAutobaudEndsWithMinusTwenty)
{
    startPart(heldPart());
    ConnectOptions o = options(k89V51RD2);
    auto result = std::async(std::launch::async, [&o] {
        const IspResult* r = qz_connect(&o, sizeof o);
        return std::make_pair(r->status, std::string(r->text));
    });
    ASSERT_TRUE(part->waitForBytes(10, 5000));
    EXPECT_EQ(qz_cancelautobaud()->status, 1);
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const auto got = result.get();
    EXPECT_EQ(got.first, -20);
    EXPECT_EQ(got.second, "The operation was cancelled.");
    EXPECT_FALSE(port_is_open());
}

TEST_F(Connect, ThreadedPartConnectsOnceItLeavesReset)
{
    startPart(heldPart());
    ConnectOptions o = options(k89V51RD2);
    auto result = std::async(std::launch::async, [&o] { return qz_connect(&o, sizeof o)->status; });
    ASSERT_TRUE(part->waitForBytes(50, 5000));
    part->reset();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(result.get(), 1);
}

TEST_F(Connect, IcpOfUnknownProtocolIsAccepted)
{
    sim::ClassicPersona p;
    p.icpAnswer = 'R';
    startPart(p);
    ConnectOptions o = options(k89C51RB2Hxx);
    o.use_icp = 1;
    const IspResult* r = qz_connect(&o, sizeof o);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_TRUE(logged("Using ICP interface with unknown protocol version"));
    EXPECT_TRUE(partGot(":0400000B00000000F1"));
}

TEST_F(Connect, IcpVersionTwoSelectsWithTheLongRecord)
{
    sim::ClassicPersona p = classictest::dialect2Persona();
    p.icpAnswer = 'V';
    p.icpMajor = 2;
    p.icpMinor = 1;
    startPart(p);
    ConnectOptions o = options(69); // 89V52X2
    o.use_icp = 1;
    o.icp_interface = 6;
    ASSERT_EQ(qz_connect(&o, sizeof o)->status, 1);
    EXPECT_TRUE(logged("Using ICP interface with protocol version 2.1"));
    EXPECT_TRUE(partGot(":0600000B000000000101ED"));
}

TEST_F(Connect, IcpVersionThreeAsksForANewerLibrary)
{
    sim::ClassicPersona p;
    p.icpAnswer = 'V';
    p.icpMajor = 3;
    p.icpMinor = 0;
    startPart(p);
    ConnectOptions o = options(k89C51RB2Hxx);
    o.use_icp = 1;
    const IspResult* r = qz_connect(&o, sizeof o);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (Your ICP interface firmware is not compatible [protocol 3.0]. Please "
                          "upgrade your copy of Quasmerite)");
    EXPECT_FALSE(port_is_open());
}

TEST_F(Connect, IcpVersionZeroAsksForANewerInterface)
{
    sim::ClassicPersona p;
    p.icpAnswer = 'V';
    p.icpMajor = 0;
    p.icpMinor = 9;
    startPart(p);
    ConnectOptions o = options(k89C51RB2Hxx);
    o.use_icp = 1;
    const IspResult* r = qz_connect(&o, sizeof o);
    EXPECT_EQ(r->status, -18);
    EXPECT_NE(std::string(r->text).find("[protocol 0.9]. Please upgrade your ICP interface)"), std::string::npos);
}

struct OscillatorFault {
    char status;
    int code;
    const char* detail;
};

class OscillatorStep : public Connect, public ::testing::WithParamInterface<OscillatorFault> {};

TEST_P(OscillatorStep, RefusalsEndTheConnect)
{
    startPart();
    part->addFault({":01000002", sim::ClassicFaultKind::Status, GetParam().status, 1});
    ConnectOptions o = options(k89C51RB2Hxx);
    const IspResult* r = qz_connect(&o, sizeof o);
    EXPECT_EQ(r->status, GetParam().code);
    EXPECT_NE(std::string(r->text).find(GetParam().detail), std::string::npos) << r->text;
    EXPECT_FALSE(port_is_open());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, OscillatorStep,
    ::testing::Values(OscillatorFault{'S', -18, "(Security violation in device)"},
                      OscillatorFault{'P', -18, "(please unlock the device by supplying a password)"},
                      OscillatorFault{'N', -18, "(sending oscillator frequency - I2C Communication error"},
                      OscillatorFault{'X', -18, "(Try adjusting the oscillator frequency)"}));

TEST_F(Connect, SilenceAfterTheOscillatorRecordIsATransmitFailure)
{
    startPart();
    part->addFault({":01000002", sim::ClassicFaultKind::Short, 0, 1});
    ConnectOptions o = options(k89C51RB2Hxx);
    const IspResult* r = qz_connect(&o, sizeof o);
    EXPECT_EQ(r->status, -2);
    EXPECT_STREQ(r->text, "Unable to communicate. (transmit/receive)");
}

TEST_F(Connect, AutobaudSettingsAreNotKept)
{
    qz_set_autobaud_configuration(1, 2, 3);
    EXPECT_EQ(session().autobaudReadTimeoutMs, kDefaultAutobaudReadTimeoutMs);
    EXPECT_EQ(session().autobaudWriteTimeoutMs, kDefaultAutobaudWriteTimeoutMs);
    EXPECT_EQ(session().autobaudAttempts, kDefaultAutobaudAttempts);
}

TEST_F(Connect, UnknownDeviceKeepsTheSelectionAndOpensNothing)
{
    startPart();
    ASSERT_EQ(qz_select_device(k89V51RD2, 0)->status, 1);
    ConnectOptions o = options(18);
    EXPECT_EQ(qz_connect(&o, sizeof o)->status, -5);
    EXPECT_FALSE(port_is_open());
    EXPECT_STREQ(selected_classic_device()->name, "89V51RD2");
}

TEST_F(Connect, OscillatorWithoutAUsableValueIsRefusedBeforeThePortOpens)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        int highSpeed;
        double mhz;
    };
    // Without high speed the 89C51RB2Hxx is still sent its oscillator.
    const Case cases[] = {{1, nan}, {1, inf}, {1, 0.0}, {1, -11.0592}, {0, nan}, {0, inf}};
    startPart(fastPart());
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.highSpeed) + " " + std::to_string(c.mhz));
        ConnectOptions o = options(k89C51RB2Hxx);
        o.high_speed = c.highSpeed;
        o.oscillator_mhz = c.mhz;
        const IspResult* r = qz_connect(&o, sizeof o);
        EXPECT_EQ(r->status, -5) << r->text;
        EXPECT_FALSE(port_is_open());
        EXPECT_EQ(part->bytesReceived(), 0u);
    }
}

} // namespace
