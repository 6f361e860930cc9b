// qz_start_bootloader of the classic driver: its script knows the control
// code that switches the closing '.' check off.
#include "tests/isp/classic/classicfixture.h"

#include "qz_interface.h"

#include <string>

namespace {

class StartScript : public classictest::ClassicFixture {};

TEST_F(StartScript, ControlCodeFourEndsWithoutReadingAnything)
{
    sim::Pty line;
    ASSERT_TRUE(line.ok());
    const IspResult* r = qz_start_bootloader(line.slavePath().c_str(), 9600, "&02ABC&04", 0, 0);
    EXPECT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(line.readSome(1000), "ABC");
    EXPECT_FALSE(qz::port_is_open());
}

TEST_F(StartScript, WithoutItTheClosingDotIsAwaited)
{
    sim::Pty line;
    ASSERT_TRUE(line.ok());
    const IspResult* r = qz_start_bootloader(line.slavePath().c_str(), 9600, "&02ABC", 0, 0);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (Start BootROM command - no '.' echoed)");
}

} // namespace
