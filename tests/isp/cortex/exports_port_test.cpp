// The port, device-selection, time-out, handle, raw-transfer and start
// script exports, driven over a pty.
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

// ---- start scripts ---------------------------------------------------------------

// The far end of a start script: records what the program sends, echoes it
// when asked, and answers the closing byte once everything has come.
class ScriptPeer {
public:
    ScriptPeer(sim::Pty& pty, bool echo, std::size_t expected, int closing)
        : pty_(pty), echo_(echo), expected_(expected), closing_(closing)
    {
        thread_ = std::thread([this] { run(); });
    }
    ~ScriptPeer() { stop(); }
    std::string stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        return written_;
    }

private:
    void run()
    {
        bool answered = false;
        while (!stop_) {
            std::string got = pty_.readSome(10);
            written_ += got;
            if (echo_ && !got.empty())
                pty_.writeAll(got);
            // With nothing to wait for, the closing byte is repeated: one
            // sent before the program's configure is discarded by it.
            if ((!answered || expected_ == 0) && closing_ >= 0 && written_.size() >= expected_) {
                const char c = static_cast<char>(closing_);
                pty_.writeAll(&c, 1);
                answered = true;
            }
        }
    }

    sim::Pty& pty_;
    bool echo_;
    std::size_t expected_;
    int closing_;
    std::atomic<bool> stop_{false};
    std::string written_;
    std::thread thread_;
};

struct ScriptCase {
    const char* name;
    std::string script;
    int byteByByte;
    bool peerEchoes;
    int closing;         // byte the peer sends at the end, -1 none
    std::string written; // what the program must send
    int status;
    const char* detail;  // after the table text, for failures
    Events pauses;       // pauses and breaks, in order
};

class StartScript : public ExportsTest, public ::testing::WithParamInterface<ScriptCase> {
protected:
    void SetUp() override
    {
        ExportsTest::SetUp();
        // A missing echo is noticed after a short wait, not four seconds.
        session().shortTimeoutMs = 300;
    }
};

Events onlyPausesAndBreaks(const Events& all)
{
    Events out;
    for (const std::string& e : all)
        if (e.rfind("sleep", 0) == 0 || e.rfind("BRK", 0) == 0)
            out.push_back(e);
    return out;
}

TEST_P(StartScript, SendsBytesPausesAndControlCodes)
{
    const ScriptCase& c = GetParam();
    ScriptPeer peer(pty, c.peerEchoes, c.written.size(), c.closing);
    const IspResult* r =
        qz_start_bootloader(pty.slavePath().c_str(), 9600, c.script.c_str(), c.byteByByte, 0);
    const std::string written = peer.stop();
    EXPECT_EQ(r->status, c.status) << r->text;
    if (c.detail) {
        EXPECT_EQ(std::string(r->text), std::string(c.status == -2 ? kUnable : "Operation Failed.") + " " + c.detail);
    }
    EXPECT_EQ(written, c.written);
    EXPECT_EQ(onlyPausesAndBreaks(rec.take()), c.pauses);
    EXPECT_FALSE(port_is_open()) << "the port is always left closed";
}

const std::string kLong(250, 'x');

INSTANTIATE_TEST_SUITE_P(
    Scripts, StartScript,
    ::testing::Values(
        ScriptCase{"ByteThenPause", "%3F$05", 0, true, '.', "\x3F", 1, nullptr, {"sleep 500", "sleep 8000"}},
        ScriptCase{"Literal", "AB%0D", 0, true, '.', "AB\r", 1, nullptr, {"sleep 8000"}},
        ScriptCase{"LiteralByteByByte", "AB%0DC", 1, true, '.', "AB\rC", 1, nullptr, {"sleep 8000"}},
        ScriptCase{"LongerThanTheBuffer", kLong, 0, true, '.', kLong, 1, nullptr, {"sleep 8000"}},
        ScriptCase{"LongByteByByte", kLong + "%00", 1, true, '.', kLong + std::string(1, '\0'), 1, nullptr,
                   {"sleep 8000"}},
        ScriptCase{"EchoOff", "&02ABC", 0, false, '.', "ABC", 1, nullptr, {"sleep 8000"}},
        ScriptCase{"EchoOffThenOn", "&02A&01B", 0, false, -1, "AB", -18,
                   "(Start BootROM command - no echo)", {}},
        ScriptCase{"NoEcho", "A", 0, false, -1, "A", -18, "(Start BootROM command - no echo)", {}},
        ScriptCase{"NoDot", "A", 0, true, -1, "A", -18, "(Start BootROM command - no '.' echoed)", {}},
        ScriptCase{"WrongDot", "A", 0, true, 'x', "A", -18,
                   "(Start BootROM command - '.' incorrectly echoed)", {}},
        ScriptCase{"Break", "A&03B", 0, true, '.', "AB", 1, nullptr, {"BRK+", "sleep 266", "BRK-", "sleep 8000"}},
        ScriptCase{"UnknownCodeDoesNothing", "A&04&7FB", 0, true, '.', "AB", 1, nullptr, {"sleep 8000"}},
        ScriptCase{"CutShortAfterPercent", "AB%3", 0, true, '.', "AB", 1, nullptr, {"sleep 8000"}},
        ScriptCase{"CutShortAfterDollar", "AB$", 0, true, '.', "AB", 1, nullptr, {"sleep 8000"}},
        ScriptCase{"NotHexIsLiteral", "%GG", 0, true, '.', "%GG", 1, nullptr, {"sleep 8000"}},
        ScriptCase{"LowerCaseHex", "%3f%0a", 0, true, '.', "?\n", 1, nullptr, {"sleep 8000"}},
        ScriptCase{"EmptyScript", "", 0, true, '.', "", 1, nullptr, {"sleep 8000"}}),
    [](const ::testing::TestParamInfo<ScriptCase>& info) { return std::string(info.param.name); });

TEST_F(ExportsTest, BreakFlagIgnoresTheScript)
{
    ScriptPeer peer(pty, true, 0, -1);
    const IspResult* r = qz_start_bootloader(pty.slavePath().c_str(), 9600, "%3F$05", 0, 1);
    EXPECT_EQ(peer.stop(), "");
    EXPECT_EQ(r->status, 1);
    EXPECT_EQ(onlyPausesAndBreaks(rec.take()), (Events{"BRK+", "sleep 266", "BRK-", "sleep 8000"}));
    EXPECT_FALSE(port_is_open());
}

TEST_F(ExportsTest, PurgeCodeDropsWhatArrivedBeforeIt)
{
    session().shortTimeoutMs = 300;
    // The peer echoes and adds junk; the pause lets the junk arrive, the
    // purge that follows must drop it or the closing check reads it.
    std::atomic<bool> stop{false};
    std::string written;
    std::thread peer([&] {
        while (!stop) {
            std::string got = pty.readSome(10);
            written += got;
            if (got == "A")
                pty.writeAll("Azz");
            else if (got == "B")
                pty.writeAll("B.");
        }
    });
    rec.onSleep = [](unsigned ms) {
        if (ms == 100)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    };
    const IspResult* r = qz_start_bootloader(pty.slavePath().c_str(), 9600, "A$01&00B", 0, 0);
    rec.onSleep = nullptr;
    stop = true;
    peer.join();
    EXPECT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(written, "AB");
}

TEST_F(ExportsTest, StartScriptReportsPortFailures)
{
    const IspResult* r = qz_start_bootloader("/dev/no-such-port", 9600, "A", 0, 0);
    EXPECT_EQ(r->status, -2);
    EXPECT_EQ(std::string(r->text), std::string(kUnable) + " (in use)");
    r = qz_start_bootloader(pty.slavePath().c_str(), -5, "A", 0, 0);
    EXPECT_EQ(std::string(r->text), std::string(kUnable) + " (configuration)");
    EXPECT_FALSE(port_is_open());
}

TEST_F(ExportsTest, StartBootromPassesItsArgumentsOn)
{
    session().shortTimeoutMs = 300;
    ScriptPeer peer(pty, true, 2, '.');
    const IspResult* r = qz_start_bootrom(pty.slavePath().c_str(), 19200, "%55%AA", 0, 0);
    EXPECT_EQ(peer.stop(), "\x55\xAA");
    EXPECT_EQ(r->status, 1) << r->text;
    EXPECT_TRUE(logged("attempting to use baudrate 19200"));
}

} // namespace
