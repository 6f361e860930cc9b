// The port, device-selection, time-out, handle and raw-transfer exports,
// driven over a pty.
#include "tests/isp/core/portfixture.h"

#include "isp/cortex/devicetable.h"
#include "isp/cortex/ramimage.h"
#include "isp/core/result.h"
#include "isp/cortex/selecteddevice.h"
#include "platform/serialline.h"

#include "qz_interface.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <iterator>
#include <thread>

using namespace qz;
using porttest::Events;
using porttest::join;

namespace {

const char* kUnable = "Unable to communicate.";
const char* kInvalid = "Invalid value or command sent. Please try the operation again.";

using ExportsTest = porttest::PortFixture;

// ---- debug mode, device, settings -------------------------------------------

TEST_F(ExportsTest, DebugModeKeepsThePathUntilAnotherIsGiven)
{
    std::snprintf(isp_result()->text, sizeof isp_result()->text, "old");
    const IspResult* r = qz_select_debug_mode(1, "/tmp/first.qzd");
    EXPECT_EQ(r->status, 1);
    EXPECT_STREQ(r->text, "");
    EXPECT_STREQ(session().logPath, "/tmp/first.qzd");
    qz_select_debug_mode(0, nullptr);
    EXPECT_EQ(session().debugLog, 0);
    EXPECT_STREQ(session().logPath, "/tmp/first.qzd");

    const std::string longPath(400, 'p');
    qz_select_debug_mode(1, longPath.c_str());
    EXPECT_EQ(std::string(session().logPath), longPath.substr(0, 259));
}

TEST_F(ExportsTest, UnknownDeviceKeepsThePreviousSelection)
{
    ASSERT_EQ(qz_select_device(2005, 0)->status, 1); // LPC1764
    const int index = session().deviceIndex;
    const IspResult* r = qz_select_device(424242, 0);
    EXPECT_EQ(r->status, -5);
    EXPECT_EQ(std::string(r->text), std::string(kInvalid) + " (device not found)");
    EXPECT_EQ(session().deviceIndex, index);
    EXPECT_EQ(sector_count(), 18);
    EXPECT_EQ(qz_select_device(0, 0)->status, -5) << "id 0 ends the table, it is no part";
}

struct BankCase {
    int id;
    unsigned askedBank;
    unsigned bank;
    std::uint32_t bankStart;
    int sectors;
};

class BankSelection : public ExportsTest, public ::testing::WithParamInterface<BankCase> {};

TEST_P(BankSelection, BankIsKeptWithinTheRecord)
{
    const BankCase& c = GetParam();
    ASSERT_EQ(qz_select_device(c.id, c.askedBank)->status, 1);
    EXPECT_EQ(session().flashBank, c.bank);
    EXPECT_EQ(selected_bank().start, c.bankStart);
    EXPECT_EQ(sector_count(), c.sectors);
    if (c.sectors > 0) {
        EXPECT_EQ(current_sector_table().type, static_cast<int>(selected_bank().sector_table));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Devices, BankSelection,
    ::testing::Values(BankCase{2005, 0, 0, 0x0, 18},                 // LPC1764
                      BankCase{2005, 3, 0, 0x0, 18},                 // one bank: lowered
                      BankCase{18001, 1, 1, 0x1B000000, 11},         // LPC1853, second bank
                      BankCase{18001, 0xFFFFFFFFu, 1, 0x1B000000, 11},
                      BankCase{18000, 0, 0, 0x0, 0},                 // LPC1850: no flash
                      BankCase{18000, 7, 0, 0x0, 0},
                      BankCase{18000, 0xFFFFFFFFu, 0, 0x0, 0}));

TEST_F(ExportsTest, SelectingADeviceForgetsTheRamImage)
{
    ASSERT_EQ(qz_select_device(2005, 0)->status, 1);
    ASSERT_EQ(ram_image_alloc(), 1);
    ASSERT_NE(ram_image(), nullptr);
    ASSERT_EQ(qz_select_device(2005, 0)->status, 1);
    EXPECT_EQ(ram_image(), nullptr);
    EXPECT_EQ(session().ramImageValid, 0);
}

TEST_F(ExportsTest, AutobaudSettingsAreStoredWithoutEndlessWaits)
{
    qz_set_autobaud_configuration(70, 200, 5);
    EXPECT_EQ(session().autobaudReadTimeoutMs, 70);
    EXPECT_EQ(session().autobaudWriteTimeoutMs, 200);
    EXPECT_EQ(session().autobaudAttempts, 5);
    qz_set_autobaud_configuration(-1, -1, 3);
    EXPECT_EQ(session().autobaudReadTimeoutMs, 0);
    EXPECT_EQ(session().autobaudWriteTimeoutMs, 0);
}

TEST_F(ExportsTest, TimeoutsAreSecondsWithMinimums)
{
    qz_set_timeouts(1, 5);
    EXPECT_EQ(session().shortTimeoutMs, 4000);
    EXPECT_EQ(session().longTimeoutMs, 15000);
    qz_set_timeouts(10, 100);
    EXPECT_EQ(session().shortTimeoutMs, 10000);
    EXPECT_EQ(session().longTimeoutMs, 100000);
    qz_set_timeouts(0x7fffffff, -3);
    EXPECT_EQ(session().shortTimeoutMs, 0x7fffffff) << "no overflow into a small value";
    EXPECT_EQ(session().longTimeoutMs, 15000);
    qz_set_default_timeouts();
    EXPECT_EQ(session().shortTimeoutMs, 4000);
    EXPECT_EQ(session().longTimeoutMs, 60000);
}

TEST_F(ExportsTest, CancelAutobaudHasNothingToCancel)
{
    EXPECT_EQ(qz_cancelautobaud()->status, 1);
}

// ---- port handle --------------------------------------------------------------

TEST_F(ExportsTest, HandleIsTheDescriptorAndCanBeHandedOver)
{
    EXPECT_EQ(qz_get_comport_handle(), -1);
    ASSERT_EQ(qz_raw_connect(pty.slavePath().c_str(), 9600, 0)->status, 1);
    const int own = qz_get_comport_handle();
    EXPECT_GE(own, 0);
    ASSERT_EQ(qz_raw_disconnect()->status, 1);
    EXPECT_EQ(qz_get_comport_handle(), -1);

    sim::Pty other;
    int err = 0;
    int fd = platform::serialOpen(other.slavePath(), &err);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(platform::serialConfigureRaw(fd, 9600, &err));
    qz_set_comport_handle(fd, 57600);
    EXPECT_EQ(qz_get_comport_handle(), fd);
    EXPECT_EQ(other.baudRate(), 57600u);
    ASSERT_EQ(qz_raw_transmit("via", 3)->status, 1);
    EXPECT_EQ(other.readSome(2000), "via");
}

// ---- raw transfer ---------------------------------------------------------------

struct LineModeCase {
    int mode;
    Events lines; // after the releases of the configuration
};

class RawLineMode : public ExportsTest, public ::testing::WithParamInterface<LineModeCase> {};

TEST_P(RawLineMode, SetsTheLinesOfTheMode)
{
    session().hardwareConfig = 3;
    session().halfDuplex = 1;
    const IspResult* r = qz_raw_connect(pty.slavePath().c_str(), 19200, GetParam().mode);
    ASSERT_EQ(r->status, 1);
    EXPECT_EQ(r->data[0], 0x00);
    EXPECT_EQ(r->data[1], 0x00);
    EXPECT_EQ(r->data[2], 0x4B);
    EXPECT_EQ(r->data[3], 0x00);
    EXPECT_EQ(session().hardwareConfig, 0);
    EXPECT_EQ(session().halfDuplex, 0);
    EXPECT_EQ(session().t1Ms, 120);
    EXPECT_EQ(session().t2Ms, 240);
    EXPECT_EQ(pty.baudRate(), 19200u);
    EXPECT_EQ(rec.take(), join({{"RTS-", "DTR-", "DTR-", "RTS-"}, GetParam().lines}));
    EXPECT_TRUE(logged("Raw connection started"));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RawLineMode,
    ::testing::Values(LineModeCase{0, {}}, LineModeCase{1, {"RTS-", "DTR-", "DTR-", "RTS-"}},
                      LineModeCase{2, {"RTS+", "DTR-", "DTR-", "RTS+"}},
                      LineModeCase{3, {"RTS-", "DTR-", "DTR+", "RTS-"}},
                      LineModeCase{4, {"RTS+", "DTR-", "DTR+", "RTS+"}}, LineModeCase{5, {}}));

TEST_F(ExportsTest, RawBytesGoBothWays)
{
    ASSERT_EQ(qz_raw_connect(pty.slavePath().c_str(), 115200, 1)->status, 1);
    const std::string out("\x00\x01?\r\nSynchronized\xff", 18);
    ASSERT_EQ(qz_raw_transmit(out.data(), static_cast<int>(out.size()))->status, 1);
    EXPECT_EQ(fromProgram(out.size()), out);

    const std::string in("OK\r\n\x00\x80", 6);
    ASSERT_TRUE(pty.writeAll(in));
    char buf[6];
    unsigned got = 0;
    ASSERT_EQ(qz_raw_receive(buf, 6, &got)->status, 1);
    EXPECT_EQ(std::string(buf, got), in);

    ASSERT_EQ(qz_raw_disconnect()->status, 1);
    EXPECT_TRUE(logged("Raw connection ended"));
    EXPECT_FALSE(port_is_open());
}

TEST_F(ExportsTest, RawReceiveIsEndedByCancelFromAnotherThread)
{
    ASSERT_EQ(qz_raw_connect(pty.slavePath().c_str(), 9600, 0)->status, 1);
    session().shortTimeoutMs = 60000;
    ASSERT_EQ(use_short_timeouts(), 1);
    std::atomic<bool> done{false};
    int status = 0;
    std::thread reader([&] {
        char buf[16];
        unsigned got = 0;
        status = qz_raw_receive(buf, sizeof buf, &got)->status;
        done = true;
    });
    // A cancel before the wait starts is dropped by it, so it is repeated;
    // only after a long pause, since each one also writes the shared result
    // that the reader is about to copy.
    for (int i = 0; i < 20 && !done; ++i) {
        qz_raw_cancelreceive();
        for (int k = 0; k < 200 && !done; ++k)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    reader.join();
    EXPECT_EQ(status, -2);
    EXPECT_EQ(std::string(isp_result()->text), std::string(kUnable) + " (receive)");
}

TEST_F(ExportsTest, RawExportsNeedAConnection)
{
    char buf[4];
    unsigned got = 0;
    // Each call is checked before the next: all share the one result.
    const std::function<const IspResult*()> calls[] = {
        [] { return qz_raw_disconnect(); },
        [] { return qz_raw_transmit("x", 1); },
        [&] { return qz_raw_receive(buf, 4, &got); },
        [] { return qz_raw_cancelreceive(); },
    };
    for (std::size_t i = 0; i < std::size(calls); ++i) {
        set_success();
        const IspResult* r = calls[i]();
        EXPECT_EQ(r->status, -7) << "call " << i;
        EXPECT_STREQ(r->text, "There is no connection to the device.") << "call " << i;
    }
}

TEST_F(ExportsTest, RawConnectFailuresAreReported)
{
    const IspResult* r = qz_raw_connect("/dev/no-such-port", 9600, 0);
    EXPECT_EQ(r->status, -2);
    EXPECT_EQ(std::string(r->text), std::string(kUnable) + " (in use)");
    r = qz_raw_connect(pty.slavePath().c_str(), 0, 0);
    EXPECT_EQ(r->status, -2);
    EXPECT_EQ(std::string(r->text), std::string(kUnable) + " (configuration)");
    EXPECT_FALSE(port_is_open());

    ASSERT_EQ(qz_raw_connect(pty.slavePath().c_str(), 9600, 0)->status, 1);
    EXPECT_EQ(qz_raw_transmit(nullptr, 3)->status, -5);
    char buf[1];
    EXPECT_EQ(qz_raw_receive(buf, -1, nullptr)->status, -5);
}

} // namespace
