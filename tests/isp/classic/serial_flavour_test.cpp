// The classic flavour of the serial layer, watched with the line recorder:
// PSEN before RST on ISP entry, no pause after the ISP release, the queues
// discarded before the lines move, no push-back, its presets and log lines.
#include "isp/classic/classic_port.h"
#include "isp/core/serialflavour.h"
#include "tests/isp/core/portfixture.h"

#include <string>

using namespace qz;
using porttest::Events;
using porttest::join;

namespace {

class ClassicSerial : public porttest::PortFixture {
protected:
    void SetUp() override
    {
        porttest::PortFixture::SetUp();
        classic_library_loaded();
    }
    void TearDown() override
    {
        porttest::PortFixture::TearDown();
        set_serial_flavour(kCortexSerialFlavour);
    }
};

const Events kReleasePsenThenRst = {"RTS-", "DTR-", "DTR-", "RTS-"};
const Events kEnterIspPsenFirst = {"RTS+", "DTR-", "DTR+", "RTS+", "sleep 120"};

TEST_F(ClassicSerial, EnteringIspAssertsPsenBeforeRst)
{
    openPort();
    enter_isp_lines();
    EXPECT_EQ(rec.take(), kEnterIspPsenFirst);
}

TEST_F(ClassicSerial, ConfigureDiscardsFirstAndReleasesWithoutTheLongPause)
{
    session().hardwareConfig = 1;
    openPort();
    ASSERT_EQ(configure_port(9600, 1), 1);
    EXPECT_EQ(rec.take(), join({kReleasePsenThenRst, kEnterIspPsenFirst,
                                {"DTR-", "RTS+", "sleep 240", "RTS-", "DTR-"}}));
    const std::string log = logText();
    const auto rx = log.find("COM Port RX flushed");
    const auto tx = log.find("COM Port TX flushed");
    const auto lines = log.find("DTR and RTS deasserted");
    ASSERT_NE(rx, std::string::npos);
    EXPECT_LT(log.find("comport configuration completed."), rx);
    EXPECT_LT(rx, tx);
    EXPECT_LT(tx, lines);
    EXPECT_LT(lines, log.find("PSEN unasserted (RTS TTL = 1)", lines));
    // Nothing is discarded after the lines moved.
    EXPECT_EQ(log.find("flushed", log.find("deasserting PSEN")), std::string::npos);
}

TEST_F(ClassicSerial, WhatThePartSaysWhileTheLinesMoveStaysForTheReader)
{
    session().hardwareConfig = 2;
    openPort();
    rec.onSleep = [&](unsigned ms) {
        if (ms == 240)
            pty.writeAll("U");
    };
    ASSERT_EQ(configure_port(9600, 1), 1);
    rec.onSleep = nullptr;
    ASSERT_TRUE(porttest::portReadable());
    char c = 0;
    ASSERT_EQ(port_read(&c, 1, 0), 1);
    EXPECT_EQ(c, 'U');
}

TEST_F(ClassicSerial, ClosingAlwaysRunsTheResetSequence)
{
    session().hardwareConfig = 1;
    openPort();
    skip_close_line_sequence();
    close_port();
    EXPECT_EQ(rec.take(), join({kEnterIspPsenFirst, {"RTS-", "DTR+", "sleep 240", "DTR-", "RTS-", "sleep 300"}}));
}

TEST_F(ClassicSerial, ReadsTakeNoPushedBackBytes)
{
    openPort();
    use_short_timeouts();
    push_back_byte('a');
    pty.writeAll("b");
    char c = 0;
    ASSERT_EQ(port_read(&c, 1, 0), 1);
    EXPECT_EQ(c, 'b');
}

TEST_F(ClassicSerial, LogsItsOwnLines)
{
    EXPECT_EQ(open_port("/dev/no-such-port"), 0);
    EXPECT_TRUE(logged("failed to open com /dev/no-such-port"));
    openPort();
    EXPECT_TRUE(logged("comport=" + std::to_string(get_port_handle()) + "\n"));
    port_write("ab", 2);
    EXPECT_TRUE(logged("comport=" + std::to_string(get_port_handle()) + ",bytestowrite=2"));
}

TEST_F(ClassicSerial, PresetsSetTheirTimeOuts)
{
    openPort();
    std::int32_t rd = 0, wr = 0;
    ASSERT_EQ(use_short_write_1s_read_timeouts(), 1);
    get_comm_timeouts(&rd, &wr);
    EXPECT_EQ(rd, 1000);
    EXPECT_EQ(wr, 4000);
    EXPECT_TRUE(logged("timeouts set to short write, 1s read"));
    ASSERT_EQ(use_no_timeouts(), 1);
    get_comm_timeouts(&rd, &wr);
    EXPECT_EQ(rd, kWaitWithoutLimit);
    EXPECT_EQ(wr, kWaitWithoutLimit);
    close_port();
    EXPECT_EQ(use_short_write_1s_read_timeouts(), 0);
    EXPECT_TRUE(logged("SetCommTimeouts failed (short write, 1s read)"));
}

TEST_F(ClassicSerial, SinkDropsWhatArrivesThenRestoresTheShortTimeOuts)
{
    openPort();
    pty.writeAll("UUUU");
    ASSERT_TRUE(porttest::portReadable());
    port_sink(100);
    std::int32_t rd = 0, wr = 0;
    get_comm_timeouts(&rd, &wr);
    EXPECT_EQ(rd, 4000);
    const std::string log = logText();
    EXPECT_LT(log.find("Sinking received data"), log.find("rx> U"));
    EXPECT_LT(log.find("rx> U"), log.find("Finished sinking received data"));
    use_short_timeouts();
    set_comm_timeouts(0, 0);
    char c = 0;
    EXPECT_EQ(port_read(&c, 1, 0), 0) << "nothing left";
}

TEST(ClassicPort, MaximumRateIsThatOfAPortWithoutAFixedOne)
{
    EXPECT_EQ(classic_port_max_baud(), 115200);
}

} // namespace
