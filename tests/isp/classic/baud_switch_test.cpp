// The high-speed switch against the simulated part: the walk down the rate
// list, the probe at a candidate, the reload record and the check at the
// new rate.
#include "isp/classic/autobaud.h"
#include "isp/classic/baud_switch.h"
#include "isp/core/errorcodes.h"
#include "tests/isp/classic/classicfixture.h"
#include "tests/isp/classic/partnumbers.h"

using namespace qz;

namespace {

using namespace classictest;

class BaudSwitch : public classictest::ClassicFixture {};

TEST_F(BaudSwitch, DialectOneSkipsReloadsAboveTheLimitAndSwitchesTo19200)
{
    startPart();
    connectPort(k89C51RB2Hxx);
    ASSERT_EQ(classic_autobaud(), 1);
    waitForReload(":02000006FFEE0B");
    int newBaud = 0;
    bool answered = false;
    EXPECT_EQ(d1_highspeed_baud(11.0592, part->slavePath().c_str(), 9600, 12, &newBaud, 1, 115200, &answered), 1);
    EXPECT_EQ(newBaud, 19200);
    EXPECT_TRUE(answered);
    EXPECT_NEAR(part->baud(), 19200.0, 1.0);
    const std::string log = logText();
    EXPECT_TRUE(logged("getting max baudrate supported..."));
    EXPECT_TRUE(logged("max baudrate supported = 115200"));
    EXPECT_TRUE(logged("baud=57600 error=0.000000 reload=65530 max error=3.000000"));
    EXPECT_TRUE(logged("baud=19200 error=0.000000 reload=65518 max error=3.000000"));
    EXPECT_TRUE(logged("calculating baudrate error for osc=11.059200 clocks=12 baudrate=38400..."));
    // Port closed and opened again on configuration 0.
    EXPECT_LT(log.find("tx> :02000006FFEE0B"), log.find("Comport closed"));
}

TEST_F(BaudSwitch, PartAlreadyAtTheNewRateNeedsNoReload)
{
    startPart();
    connectPort(k89C51RB2Hxx);
    ASSERT_EQ(classic_autobaud(), 1);
    waitForReload(":02000006FFEE0B");
    int newBaud = 0;
    ASSERT_EQ(d1_highspeed_baud(11.0592, part->slavePath().c_str(), 9600, 12, &newBaud, 1, 115200), 1);
    const std::size_t records = part->records().size();
    // Next connect: the port starts at 9600 again, the part is at 19200.
    ASSERT_EQ(configure_port(9600, 0), 1);
    newBaud = 0;
    bool answered = false;
    EXPECT_EQ(d1_highspeed_baud(11.0592, part->slavePath().c_str(), 9600, 12, &newBaud, 1, 115200, &answered), 1);
    EXPECT_EQ(newBaud, 19200);
    EXPECT_TRUE(answered);
    EXPECT_EQ(part->records().size(), records) << "no reload sent";
}

TEST_F(BaudSwitch, APartThatDoesNotFollowLeavesTheNewRateSilent)
{
    sim::ClassicPersona p;
    p.baudType = 0x55; // takes the reload record as something else
    startPart(p);
    connectPort(k89C51RB2Hxx);
    ASSERT_EQ(classic_autobaud(), 1);
    waitForReload(":02000006FFEE0B");
    int newBaud = 0;
    EXPECT_EQ(d1_highspeed_baud(11.0592, part->slavePath().c_str(), 9600, 12, &newBaud, 1, 115200),
              kErrCommunicate) << "no answer at all at 19200";
    EXPECT_EQ(newBaud, 0);
}

TEST_F(BaudSwitch, UserMaximumStartsTheWalkLower)
{
    startPart();
    connectPort(k89C51RB2Hxx);
    int newBaud = 0;
    // 1 MHz makes none of 38400, 19200, 14400 within 3 %.
    EXPECT_EQ(d1_highspeed_baud(1.0, part->slavePath().c_str(), 9600, 12, &newBaud, 1, 38400), 1);
    EXPECT_EQ(newBaud, 0);
    EXPECT_TRUE(logged("max baudrate limited by user to = 38400"));
    EXPECT_TRUE(logged("baudrate=38400..."));
    EXPECT_FALSE(logged("baudrate=56000..."));
    EXPECT_FALSE(logged("baudrate=9600..."));
    EXPECT_FALSE(logged("tx> ?"));
}

TEST_F(BaudSwitch, AtThePortMaximumNothingChanges)
{
    startPart();
    connectPort(k89C51RB2Hxx, 115200);
    int newBaud = 0;
    EXPECT_EQ(d1_highspeed_baud(11.0592, part->slavePath().c_str(), 115200, 12, &newBaud, 1, 115200), 1);
    EXPECT_EQ(newBaud, 0);
    EXPECT_FALSE(logged("calculating baudrate error"));
}

TEST_F(BaudSwitch, NeverSwitchesDownToOrBelowTheRateInUse)
{
    startPart();
    connectPort(k89C51RB2Hxx);
    int newBaud = 0;
    // 20000 is no list rate; 19200 below it would be a step down.
    EXPECT_EQ(d1_highspeed_baud(11.0592, part->slavePath().c_str(), 20000, 12, &newBaud, 1, 115200), 1);
    EXPECT_EQ(newBaud, 0);
    EXPECT_FALSE(logged("baudrate=19200..."));
    EXPECT_FALSE(logged("tx> ?"));
}

TEST_F(BaudSwitch, DialectTwoSwitchesWithTheGeneratorReload)
{
    startPart(classictest::dialect2Persona(7.3728));
    connectPort(k89LPC935);
    ASSERT_EQ(classic_autobaud(), 1);
    waitForReload(":020000070030C7");
    int newBaud = 0;
    EXPECT_EQ(d2_highspeed_baud(7.3728, part->slavePath().c_str(), 9600, 0, &newBaud, 1, 115200), 1);
    EXPECT_EQ(newBaud, 115200);
    EXPECT_FALSE(logged("getting max baudrate supported..."));
    EXPECT_FALSE(logged("calculating baudrate error"));
    EXPECT_TRUE(logged("timeouts set to short write, 1s read"));
    EXPECT_TRUE(logged("rx> :020000070030C7."));
}

} // namespace
