// The diagnostic log: line kinds and prefixes, byte escapes, the
// substitution of every byte, one open per line, and the connect header.
#include "isp/core/debuglog.h"
#include "isp/core/session.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace qz;
namespace fs = std::filesystem;

namespace {

class DebugLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_session_slots();
        char pattern[] = "/tmp/qzlogXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        path_ = dir_ + "/isp.qzd";
        enable(path_);
        for (int b = 0; b < 256; ++b)
            inverse_[log_substitute(static_cast<unsigned char>(b))] = static_cast<unsigned char>(b);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static void enable(const std::string& path)
    {
        session().debugLog = 1;
        std::snprintf(session().logPath, kLogPathSize, "%s", path.c_str());
    }

    std::string raw() const
    {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The file as meant, through the inverse of the substitution table.
    std::string plain() const
    {
        std::string s = raw();
        for (char& c : s)
            c = static_cast<char>(inverse_[static_cast<unsigned char>(c)]);
        return s;
    }

    std::vector<std::string> lines() const
    {
        std::vector<std::string> out;
        std::string s = plain();
        std::size_t pos = 0, nl;
        while ((nl = s.find('\n', pos)) != std::string::npos) {
            out.push_back(s.substr(pos, nl - pos));
            pos = nl + 1;
        }
        EXPECT_EQ(pos, s.size()) << "last line without LF";
        return out;
    }

    std::string dir_;
    std::string path_;
    std::array<unsigned char, 256> inverse_{};
};

TEST_F(DebugLogTest, SubstitutionIsAPermutation)
{
    std::array<bool, 256> seen{};
    for (int b = 0; b < 256; ++b)
        seen[log_substitute(static_cast<unsigned char>(b))] = true;
    for (bool s : seen)
        EXPECT_TRUE(s);
}

TEST_F(DebugLogTest, EachKindHasItsPrefix)
{
    debug_log(kLogDebug, "qz_connect started");
    debug_log(kLogTx, "J");
    debug_log(kLogRx, "0");
    EXPECT_EQ(lines(), (std::vector<std::string>{"debug> qz_connect started", "tx> J", "rx> 0"}));
}

TEST_F(DebugLogTest, FileHoldsSubstitutedBytes)
{
    debug_log(kLogDebug, "Comport closed");
    std::string expected = "debug> Comport closed\n";
    std::string r = raw();
    ASSERT_EQ(r.size(), expected.size());
    for (std::size_t i = 0; i < r.size(); ++i)
        EXPECT_EQ(static_cast<unsigned char>(r[i]), log_substitute(static_cast<unsigned char>(expected[i])));
    EXPECT_NE(r, expected);
}

TEST_F(DebugLogTest, FormattedLineAddsNoLineEnd)
{
    debug_logf("EEPROM address = 0x%8.8lX, RAM address = 0x%8.8lX, Length = %d bytes\n", 0x40UL,
               0x10000300UL, 512);
    debug_logf("max baudrate supported = %lu", 230400UL);
    debug_logf("!\n");
    EXPECT_EQ(plain(), "debug> EEPROM address = 0x00000040, RAM address = 0x10000300, Length = 512 bytes\n"
                       "debug> max baudrate supported = 230400debug> !\n");
}

TEST_F(DebugLogTest, BytesOtherThanPrintableAreEscaped)
{
    const unsigned char ok[] = {'O', 'K', 0x0D, 0x0A};
    log_bytes(kLogRx, ok, sizeof ok);
    const unsigned char mixed[] = {0x00, ' ', '~', 0x7F, 0xFF, '\\', 0x1B};
    log_bytes(kLogTx, mixed, sizeof mixed);
    log_bytes(kLogTx, nullptr, 0);
    EXPECT_EQ(lines(), (std::vector<std::string>{"rx> OK\\0d\\0a", "tx> \\00 ~\\7f\\ff\\\\1b", "tx> "}));
}

TEST_F(DebugLogTest, NothingIsWrittenWhileOff)
{
    session().debugLog = 0;
    debug_log(kLogDebug, "a");
    debug_logf("b\n");
    const char c = 'c';
    log_bytes(kLogTx, &c, 1);
    EXPECT_FALSE(fs::exists(path_));
}

TEST_F(DebugLogTest, FileIsOpenedForEveryLine)
{
    debug_log(kLogDebug, "first");
    fs::remove(path_);
    debug_log(kLogDebug, "second");
    EXPECT_EQ(lines(), (std::vector<std::string>{"debug> second"}));
}

TEST_F(DebugLogTest, UnopenableLogLosesTheLineOnly)
{
    enable(dir_ + "/missing/folder/isp.qzd");
    debug_log(kLogDebug, "lost");
    enable(path_);
    debug_log(kLogDebug, "kept");
    EXPECT_EQ(lines(), (std::vector<std::string>{"debug> kept"}));
}

TEST_F(DebugLogTest, LongTextIsWrittenWhole)
{
    std::string big(10000, 'y');
    debug_log(kLogDebug, big.c_str());
    debug_logf("%s\n", big.c_str());
    EXPECT_EQ(lines(), (std::vector<std::string>{"debug> " + big, "debug> " + big}));
}

ConnectOptions sampleOptions()
{
    ConnectOptions o;
    std::memset(&o, 0, sizeof o);
    o.oscillator_mhz = 12.0;
    std::strcpy(o.port_name, "ttyUSB0");
    o.baud_rate = 9600;
    o.device_id = 4022;
    o.high_speed = 0;
    o.clocks = 2;
    o.half_duplex = 1;
    o.hardware_config = 3;
    o.t1_ms = 50;
    o.t2_ms = 100;
    o.max_baud_rate = 115200;
    return o;
}

std::string systemLine()
{
    struct utsname u;
    EXPECT_EQ(uname(&u), 0);
    return std::string("debug> System version = ") + u.sysname + " (" + u.release + ") build " + u.version +
           ", " + u.machine;
}

TEST_F(DebugLogTest, ConnectHeader)
{
    log_connect_header(sampleOptions(), "LPC11C24/301");
    std::vector<std::string> expected = {
        "debug> QuasmeriteARMCortex Driver, Version 4.45.3043",
        systemLine(),
        "debug> General configuration:",
        "debug> Oscillator Frequency = 12.000000 MHz",
        "debug> Port = ttyUSB0, baudrate = 9600",
        "debug> Device = LPC11C24/301",
        "debug> Not using ICP",
        "debug> Communications configuration:",
        "debug> Highspeed = 0, clocks = 2, maximum baudrate = 115200",
        "debug> Half-duplex = 1, t1 = 50, t2 = 100, hardware config = 3",
    };
    EXPECT_EQ(lines(), expected);
    EXPECT_EQ(plain().find("Windows"), std::string::npos);
}

TEST_F(DebugLogTest, ConnectHeaderVariants)
{
    ConnectOptions o = sampleOptions();
    o.use_icp = 1;
    o.icp_interface = 7;
    o.device_id = 99999;
    std::memset(o.port_name, 'P', sizeof o.port_name); // not terminated in its field
    log_connect_header(o, nullptr);
    log_connect_header(o, "ignored", false);
    std::vector<std::string> l = lines();
    ASSERT_EQ(l.size(), 19u);
    EXPECT_EQ(l[4], "debug> Port = " + std::string(50, 'P') + ", baudrate = 9600");
    EXPECT_EQ(l[5], "debug> Device = 99999 (<unknown device>)");
    EXPECT_EQ(l[6], "debug> ICP interface = 7");
    EXPECT_EQ(l[10 + 4], "debug> Port = " + std::string(50, 'P') + ", baudrate = 9600");
    EXPECT_EQ(l[10 + 5], "debug> ICP interface = 7"); // no device line
}

} // namespace
