// The start script exports, driven over a pty: the bytes, pauses, control
// codes and echoes of a script, and how port failures are reported.
#include "tests/isp/core/portfixture.h"

#include "qz_interface.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

using namespace qz;
using porttest::Events;

namespace {

const char* kUnable = "Unable to communicate.";

using ExportsTest = porttest::PortFixture;

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
