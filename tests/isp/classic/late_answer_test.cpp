// Answers that come late, in pieces or not at all: every read of the
// classic driver gives what the part holds for that read, or fails, and the
// next call works again on a part that answers. The simulated part holds
// back, splits or drops one line of an answer; a line held until the host
// writes again lands just as the retry goes out, behind which the part's
// answer to the retry waits, as with a busy part.
#include "isp/classic/command_templates.h"
#include "isp/classic/connect_commands.h"
#include "isp/classic/record_senders.h"
#include "isp/classic/settings_ops.h"
#include "isp/core/errorcodes.h"
#include "isp/core/ops_common.h"
#include "qz_interface.h"
#include "tests/file_text.h"
#include "tests/isp/classic/classicfixture.h"
#include "tests/isp/classic/partnumbers.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <functional>
#include <string>
#include <vector>

using namespace qz;
using sim::ClassicLineFault;
using sim::LineFaultKind;

namespace {

using namespace classictest;

// The part answers within a few milliseconds; a time-out this long (and
// its quiet gap of an eighth) leaves a loaded machine room to spare. Faults
// that must outlast it do so by a quarter, to keep the tables quick.
constexpr int kTimeoutMs = 2000;
constexpr int kPastTimeoutMs = kTimeoutMs + kTimeoutMs / 4;

const ClassicDeviceRecord& dev(int number)
{
    return *classic_device_at(classic_device_index(number));
}

// A result as text: its status and data bytes, and what the call filled.
std::string outcome(const IspResult* r, const std::string& filled = {})
{
    std::string s = std::to_string(r->status) + ":";
    for (int i = 0; i < 16; ++i) {
        char b[3];
        std::snprintf(b, sizeof b, "%02X", r->data[i]);
        s += b;
    }
    return s + " " + filled;
}

std::string hex(const unsigned char* p, std::size_t n)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        char b[3];
        std::snprintf(b, sizeof b, "%02X", p[i]);
        s += b;
    }
    return s;
}

std::string toBuffer(unsigned start, unsigned end)
{
    std::vector<unsigned char> buf(end - start + 1, 0);
    const IspResult* r = classic_read_data_to_buffer(start, end, buf.data(), nullptr, 0);
    return outcome(r, hex(buf.data(), buf.size()));
}

struct ReadCase {
    const char* name;
    int device;
    // The record whose answer loses a line, and that line (0 the echo).
    const char* strike;
    int line;
    // The status the call gives on a part that answers at once.
    int status;
    std::function<std::string(const std::string& dir)> call;
};

class LateAnswer : public ClassicFixture {
protected:
    void TearDown() override
    {
        ::unlink(file_.c_str());
        ::rmdir(dir_.c_str());
        ClassicFixture::TearDown();
    }

    // A fresh part with data and settings that no shifted text could match.
    void open(int number)
    {
        qz::close_port();
        const bool two = record_dialect(dev(number)) == kDialect2;
        sim::ClassicPersona p = two ? dialect2Persona() : sim::ClassicPersona{};
        p.icpAnswer = 'V'; // a version in digits
        startPart(p);
        connectPort(number);
        session().shortTimeoutMs = kTimeoutMs;
        session().longTimeoutMs = kTimeoutMs;
        use_short_timeouts();
        const char u = 'U';
        char c = 0;
        ASSERT_EQ(port_write(&u, 1), 1);
        ASSERT_EQ(port_read(&c, 1, 0), 1);
        const std::vector<std::uint8_t> data = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                                                0x99, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07,
                                                0x5A, 0xBA, 0xEE, 0xA3, 0x19, 0x28, 0x37, 0x46};
        if (two) {
            ASSERT_EQ(d2_program_record(dev(number), 0x0400, data.data(), data.size()), 1);
        } else {
            ASSERT_EQ(d1_program_record(dev(number), 0x0000, data.data(), data.size()), 1);
            const std::uint8_t late = 0x42;
            ASSERT_EQ(d1_program_record(dev(number), 0x0F37, &late, 1), 1);
        }
        sim::ClassicSettings s = part->settings();
        s.security = 0x05;
        s.statusByte = 0x01;
        s.bootVector = 0x00E7;
        s.config[0] = 0xC6;
        s.addlSecurity = 0x81;
        s.sectorSecurity = {0x01, 0x06, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02};
        part->setSettings(s);
        part->withReadback([](sim::ClassicReadback& r) {
            for (std::uint32_t a = 0; a < 8; ++a)
                r.eeprom.bytes[0xFF00 + a] = static_cast<std::uint8_t>(0x31 * (a + 1));
            r.eeprom.security = {0x02, 0x05, 0x03};
        });
    }

    std::string dir()
    {
        if (dir_.empty()) {
            char tmpl[] = "/tmp/qzclassiclateXXXXXX";
            if (::mkdtemp(tmpl))
                dir_ = tmpl;
            file_ = dir_ + "/read.hex";
        }
        ::unlink(file_.c_str());
        return file_;
    }

public:
    const std::vector<ReadCase>& cases()
    {
        static const std::vector<ReadCase> table = {
            {"read of 1 byte", k89C51RB2Hxx, ":0500000400100010", 1, 1, [](const std::string&) { return toBuffer(0x10, 0x10); }},
            {"read of 2 bytes", k89C51RB2Hxx, ":0500000400100011", 1, 1, [](const std::string&) { return toBuffer(0x10, 0x11); }},
            {"read of 4 bytes", k89C51RB2Hxx, ":0500000400100013", 1, 1, [](const std::string&) { return toBuffer(0x10, 0x13); }},
            {"read of 17 bytes, last piece", k89C51RB2Hxx, ":0500000400100010", 1, 1,
             [](const std::string&) { return toBuffer(0x00, 0x10); }},
            {"read of 17 bytes to a file, last piece", k89C51RB2Hxx, ":0500000400100010", 1, 1,
             [](const std::string& path) {
                 const IspResult* r = classic_read_data(0x00, 0x10, path.c_str(), nullptr, 0);
                 return outcome(r, file_text(path));
             }},
            {"dialect 1 blank check", k89C51RB2Hxx, ":050000040100", 1, QZ_STATUS_NOT_BLANK,
             [](const std::string&) { return outcome(classic_blank_check(0x0100, 0x3FFF)); }},
            {"dialect 1 signature", k89C51RB2Hxx, ":020000050000", 1, 1,
             [](const std::string&) { return outcome(qz_read_signature()); }},
            {"dialect 1 security bits", k89C51RB2Hxx, ":020000050700", 1, 1,
             [](const std::string&) { return outcome(classic_read_security_bits()); }},
            {"dialect 1 boot vector", k89C51RB2Hxx, ":020000050702", 1, 1,
             [](const std::string&) { return outcome(classic_read_boot_vector_status_byte()); }},
            {"dialect 1 status byte", k89C51RB2Hxx, ":020000050701", 1, 1,
             [](const std::string&) { return outcome(classic_read_boot_vector_status_byte()); }},
            {"89LPC922 blank check", k89LPC922, ":0200000510", 1, QZ_STATUS_BLANK,
             [](const std::string&) { return outcome(classic_blank_check(0x1000, 0x1FFF)); }},
            {"89LPC922 CRC of block 1", k89LPC922, ":0100000504", 1, 1,
             [](const std::string&) { return outcome(classic_read_crc(1)); }},
            {"89V52X2 EEPROM CRC of page 0", k89V52X2, ":0200000CFF00", 1, 1,
             [](const std::string&) { return outcome(classic_read_eeprom_crc(0)); }},
            {"89LPC966 MISR", k89LPC966, ":04000009", 1, 1,
             [](const std::string&) { return outcome(classic_read_misr(kWholeDeviceBlock)); }},
            {"dialect 2 signature", k89LPC922, ":0100000311", 1, 1,
             [](const std::string&) { return outcome(qz_read_signature()); }},
            {"dialect 2 sector security", k89LPC922, ":0100000309", 1, 1,
             [](const std::string&) { return outcome(classic_read_security_bits()); }},
            {"dialect 2 configuration", k89LPC922, ":0100000300", 1, 1,
             [](const std::string&) { return outcome(classic_read_configuration()); }},
            {"dialect 2 boot vector", k89LPC922, ":0100000302", 1, 1,
             [](const std::string&) { return outcome(classic_read_boot_vector_status_byte()); }},
            {"dialect 2 additional security", k89LPC966, ":0100000303", 1, 1,
             [](const std::string&) { return outcome(classic_read_addl_security_bits()); }},
            {"89V52X2 EEPROM security", k89V52X2, ":0100000316", 1, 1,
             [](const std::string&) { return outcome(classic_read_eeprom_security_bits()); }},
            {"89LPC922 boot loader version", k89LPC922, ":00000001FF", 1, 1,
             [](const std::string&) {
                 const IspResult* r = classic_bootloader_version();
                 return outcome(r, r->text);
             }},
        };
        return table;
    }

public:
    // What the call gives on a part that answers at once; then, with the
    // fault, the same; then the next call the same again.
    void expectUnshaken(const ReadCase& c, const ClassicLineFault& fault)
    {
        open(c.device);
        const std::string want = c.call(dir());
        ASSERT_EQ(want.substr(0, want.find(':')), std::to_string(c.status)) << want;
        if (c.device == k89C51RB2Hxx && std::string(c.name).rfind("read of", 0) == 0) {
            ASSERT_NE(want.find("5A"), std::string::npos) << "the byte at 0x0010 is read: " << want;
        }
        part->addLineFault(fault);
        EXPECT_EQ(c.call(dir()), want) << "with the fault";
        EXPECT_EQ(c.call(dir()), want) << "the call after it";
    }

private:
    std::string dir_, file_;
};

// Each read of one dialect, its answer's line held back by `delayMs`.
void lateLineCases(LateAnswer& t, int dialect, int delayMs)
{
    for (const ReadCase& c : t.cases()) {
        if (record_dialect(dev(c.device)) != dialect)
            continue;
        SCOPED_TRACE(c.name);
        ClassicLineFault f;
        f.match = c.strike;
        f.line = c.line;
        f.kind = LineFaultKind::Late;
        f.delayMs = delayMs;
        t.expectUnshaken(c, f);
    }
}

// The tables are cut into tests of a few time-outs each, so that they run
// side by side.
TEST_F(LateAnswer, DialectOneReadsAfterALateReplyLine)
{
    lateLineCases(*this, kDialect1, sim::kUntilHostWrites);
}

TEST_F(LateAnswer, DialectOneReadsAfterAReplyLinePastTheTimeOut)
{
    lateLineCases(*this, kDialect1, kPastTimeoutMs);
}

TEST_F(LateAnswer, DialectTwoReadsAfterALateReplyLine)
{
    lateLineCases(*this, kDialect2, sim::kUntilHostWrites);
}

TEST_F(LateAnswer, DialectTwoReadsAfterAReplyLinePastTheTimeOut)
{
    lateLineCases(*this, kDialect2, kPastTimeoutMs);
}

struct Shake {
    const char* name;
    int line;
    LineFaultKind kind;
    int delayMs;
    std::size_t splitAt;
};

// One read of each reply form, each shaken in the given ways.
void shakenForms(LateAnswer& t, const std::vector<Shake>& shakes)
{
    const char* const forms[] = {"read of 1 byte", "read of 17 bytes, last piece", "dialect 1 blank check",
                                 "dialect 1 signature", "89LPC922 blank check", "89LPC922 CRC of block 1",
                                 "89LPC966 MISR", "dialect 2 configuration"};
    for (const ReadCase& c : t.cases()) {
        if (std::find_if(std::begin(forms), std::end(forms), [&](const char* f) { return c.name == std::string(f); }) ==
            std::end(forms))
            continue;
        for (const Shake& s : shakes) {
            SCOPED_TRACE(std::string(c.name) + ", " + s.name);
            ClassicLineFault f;
            f.match = c.strike;
            f.line = s.line;
            f.kind = s.kind;
            f.delayMs = s.delayMs;
            f.splitAt = s.splitAt;
            t.expectUnshaken(c, f);
        }
    }
}

TEST_F(LateAnswer, ALateEchoADroppedLineOrASplitOneAnswersNothingElse)
{
    shakenForms(*this, {
                           {"late echo", 0, LineFaultKind::Late, sim::kUntilHostWrites, 0},
                           {"reply split within the time-out", 1, LineFaultKind::Split, kTimeoutMs / 4, 2},
                       });
}

TEST_F(LateAnswer, ADroppedEchoOrReplyAnswersNothingElse)
{
    shakenForms(*this, {
                           {"dropped reply", 1, LineFaultKind::Drop, 0, 0},
                           {"dropped echo", 0, LineFaultKind::Drop, 0, 0},
                       });
}

TEST_F(LateAnswer, AnEchoSplitPastTheTimeOutAnswersNothingElse)
{
    shakenForms(*this, {{"echo split past the time-out", 0, LineFaultKind::Split, kPastTimeoutMs, 5}});
}

TEST_F(LateAnswer, AReplySplitUntilTheRetryAnswersNothingElse)
{
    shakenForms(*this, {{"reply split until the retry", 1, LineFaultKind::Split, sim::kUntilHostWrites, 3}});
}

// Noise in a value's line: a stray digit in front of the value shifts its
// digits, and the retry gives the part's value; a stray character after the
// digits on every try fails the call. Digits whose line does not end as a
// value's are never given as the value.
TEST_F(LateAnswer, AValueLineWithNoiseInItGivesNoValue)
{
    const ReadCase icp = {"ICP version", k89LPC922, ":000000FF", 1, 1, [](const std::string&) {
                              int major = 1, minor = 0;
                              const int r = read_icp_version(major, minor);
                              return std::to_string(r) + ":" + std::to_string(major) + "." + std::to_string(minor);
                          }};
    struct Row {
        const char* name;
        // Value digits, and the tries the call makes.
        std::size_t digits;
        int tries;
    } const rows[] = {
        {"89LPC922 CRC of block 1", 8, kDeviceTries},
        {"89V52X2 EEPROM CRC of page 0", 8, kDeviceTries},
        {"89LPC966 MISR", 32, kDeviceTries},
        {"ICP version", 4, 1},
    };
    for (const Row& row : rows) {
        const auto named = std::find_if(cases().begin(), cases().end(),
                                        [&](const ReadCase& c) { return c.name == std::string(row.name); });
        const ReadCase& c = named != cases().end() ? *named : icp;
        SCOPED_TRACE(c.name);
        open(c.device);
        const std::string want = c.call(dir());
        ASSERT_EQ(want.substr(0, 2), "1:") << want;

        ClassicLineFault shifted;
        shifted.match = c.strike;
        shifted.kind = LineFaultKind::Stray;
        shifted.splitAt = 0;
        shifted.stray = '0';
        part->addLineFault(shifted);
        const std::string got = c.call(dir());
        EXPECT_TRUE(got == want || got.substr(0, 2) != "1:") << "shifted digits taken: " << got << ", part holds " << want;
        EXPECT_EQ(c.call(dir()), want) << "the call after the shifted one";

        ClassicLineFault garbled = shifted;
        garbled.splitAt = row.digits;
        garbled.stray = '#';
        garbled.times = row.tries;
        part->addLineFault(garbled);
        const std::string noisy = c.call(dir());
        EXPECT_NE(noisy.substr(0, 2), "1:") << "a value whose line ends in noise taken: " << noisy;
        EXPECT_EQ(c.call(dir()), want) << "the call after the noisy one";
    }
}

TEST_F(LateAnswer, HalfDuplexReadsAreNotShiftedEither)
{
    for (const ReadCase& c : cases()) {
        if (c.device != k89C51RB2Hxx)
            continue;
        SCOPED_TRACE(c.name);
        open(c.device);
        session().halfDuplex = 1;
        const std::string want = c.call(dir());
        ClassicLineFault f;
        f.match = c.strike;
        f.line = c.line;
        part->addLineFault(f);
        EXPECT_EQ(c.call(dir()), want) << "with the fault";
        EXPECT_EQ(c.call(dir()), want) << "the call after it";
        session().halfDuplex = 0;
    }
}

} // namespace
