// The serial-port layer on a pty: the rates it sets, the raw line it
// configures, and its time-outs.
#include "tests/isp/core/portfixture.h"

#include <cstdint>
#include <string>

using namespace qz;
using porttest::portReadable;

namespace {

using SerialPortTest = porttest::PortFixture;

// ---- configure --------------------------------------------------------------

TEST_F(SerialPortTest, EveryRateOfTheProtocolIsSet)
{
    openPort();
    for (unsigned baud : {9600u, 19200u, 38400u, 57600u, 115200u, 230400u}) {
        ASSERT_EQ(configure_port(baud, 0), 1) << baud;
        EXPECT_EQ(pty.baudRate(), baud);
        EXPECT_TRUE(logged("attempting to use baudrate " + std::to_string(baud)));
    }
    EXPECT_EQ(port_max_baud(), 230400u);
}

TEST_F(SerialPortTest, ConfiguredLinePassesBytesUntranslated)
{
    openPort();
    ASSERT_EQ(configure_port(9600, 0), 1);
    const std::string bytes("A\r\n\n\r\x00\x11\x13\x7f\xff", 10);
    ASSERT_TRUE(pty.writeAll(bytes));
    char buf[10];
    ASSERT_EQ(port_read(buf, sizeof buf, 0), 1);
    EXPECT_EQ(std::string(buf, sizeof buf), bytes);
    ASSERT_EQ(port_write(bytes.data(), bytes.size()), 1);
    EXPECT_EQ(fromProgram(bytes.size()), bytes);
}

TEST_F(SerialPortTest, ConfigureDiscardsWhatWaitedBefore)
{
    openPort();
    ASSERT_TRUE(pty.writeAll("stale"));
    ASSERT_TRUE(portReadable());
    push_back_byte('p');
    ASSERT_EQ(configure_port(9600, 0), 1);
    set_comm_timeouts(0, 0);
    char b;
    EXPECT_EQ(port_read(&b, 1, 0), 0);
}

// ---- baud rate ----------------------------------------------------------------

TEST_F(SerialPortTest, BaudSwitchWithoutPortFails)
{
    EXPECT_EQ(set_baudrate(9600), 0);
    EXPECT_TRUE(logged("SetCommState failed"));
}

// ---- time-outs ------------------------------------------------------------------

TEST_F(SerialPortTest, TimeoutSettersKeepTheirMinimums)
{
    struct Case {
        std::int64_t shortMs, longMs;
        std::int32_t wantShort, wantLong;
    } cases[] = {
        {1000, 5000, 4000, 15000},
        {4000, 15000, 4000, 15000},
        {9000, 90000, 9000, 90000},
        {-5000, -1, 4000, 15000},
        {std::int64_t(1) << 40, std::int64_t(1) << 40, 0x7fffffff, 0x7fffffff},
    };
    for (const Case& c : cases) {
        set_short_timeout(c.shortMs);
        set_long_timeout(c.longMs);
        EXPECT_EQ(session().shortTimeoutMs, c.wantShort) << c.shortMs;
        EXPECT_EQ(session().longTimeoutMs, c.wantLong) << c.longMs;
    }
    set_default_timeouts();
    EXPECT_EQ(session().shortTimeoutMs, 4000);
    EXPECT_EQ(session().longTimeoutMs, 60000);
    EXPECT_TRUE(logged("Short timeouts set to 4000 milliseconds"));
    EXPECT_TRUE(logged("Long timeouts set to 60000 milliseconds"));
}

TEST_F(SerialPortTest, PresetsSetBothTotalsAndShortSetterAppliesAtOnce)
{
    std::int32_t r = 1, w = 1;
    EXPECT_EQ(use_short_timeouts(), 0) << "no port to take them";
    EXPECT_TRUE(logged("SetCommTimeouts failed (short)"));
    openPort();
    set_long_timeout(20000);
    ASSERT_EQ(use_long_timeouts(), 1);
    get_comm_timeouts(&r, &w);
    EXPECT_EQ(r, 20000);
    EXPECT_EQ(w, 20000);
    set_short_timeout(5000);
    get_comm_timeouts(&r, &w);
    EXPECT_EQ(r, 5000);
    EXPECT_EQ(w, 5000);
    ASSERT_EQ(set_comm_timeouts(50, 150), 1);
    get_comm_timeouts(&r, &w);
    EXPECT_EQ(r, 50);
    EXPECT_EQ(w, 150);
    ASSERT_EQ(set_comm_timeouts(-7, kWaitWithoutLimit), 1);
    get_comm_timeouts(&r, &w);
    EXPECT_EQ(r, 0) << "a negative total is no waiting, never an endless one";
    EXPECT_EQ(w, kWaitWithoutLimit);
    close_port();
    get_comm_timeouts(&r, &w);
    EXPECT_EQ(r, 0) << "the totals survive closing";
}

} // namespace
