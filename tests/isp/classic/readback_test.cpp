// Verify, read-out to a file and to a buffer, and the dialect 1 blank check
// against the simulated part's memory.
#include "isp/classic/command_templates.h"
#include "isp/classic/record_senders.h"
#include "isp/classic/settings_ops.h"
#include "isp/core/errorcodes.h"
#include "isp/core/hexwriter.h"
#include "tests/isp/classic/classicfixture.h"
#include "tests/isp/classic/partnumbers.h"
#include "tests/file_text.h"
#include "tests/isp/core/outputscene.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace qz;
using sim::ClassicFaultKind;

namespace {

using namespace classictest;

constexpr int kXAG49 = 11;

const ClassicDeviceRecord& dev(int number)
{
    return *classic_device_at(classic_device_index(number));
}

bool exists(const std::string& path)
{
    std::ifstream in(path);
    return in.good();
}

struct Event {
    int event, value, extra;
};
std::vector<Event> g_events;
int g_cancelAt = -1;
int record(int event, int value, int extra, int)
{
    g_events.push_back({event, value, extra});
    return static_cast<int>(g_events.size()) == g_cancelAt ? 0 : 1;
}

class Readback : public classictest::ClassicFixture {
protected:
    void SetUp() override
    {
        ClassicFixture::SetUp();
        g_events.clear();
        g_cancelAt = -1;
        // A name of a folder of the test's own, with nothing there yet: an
        // earlier file of the name would stay after a failed read-out.
        char tmpl[] = "/tmp/qzclassicreadXXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        out_ = dir_ + "/read.hex";
    }
    void TearDown() override
    {
        std::remove(out_.c_str());
        std::remove(hex_.c_str());
        ::rmdir(dir_.c_str());
        ClassicFixture::TearDown();
    }
    void open(int number, std::uint8_t readType = 0x04)
    {
        startPart();
        part->withReadback([&](sim::ClassicReadback& r) { r.readType = readType; });
        connectPort(number);
        const char u = 'U';
        char c = 0;
        ASSERT_EQ(port_write(&u, 1), 1);
        ASSERT_EQ(port_read(&c, 1, 0), 1);
    }
    // Puts bytes into the part's flash through data records.
    void fill(int number, std::uint32_t address, const std::vector<std::uint8_t>& bytes)
    {
        for (std::size_t i = 0; i < bytes.size(); i += 16) {
            const std::size_t n = bytes.size() - i < 16 ? bytes.size() - i : 16;
            ASSERT_EQ(d1_program_record(dev(number), address + static_cast<std::uint32_t>(i), &bytes[i], n), 1);
        }
    }
    std::string writeHex(std::uint16_t address, const std::vector<std::uint8_t>& bytes)
    {
        hex_ = out_ + ".hex";
        std::ofstream f(hex_);
        char line[64];
        make_data_record(address, bytes.size(), bytes.data(), line, sizeof line);
        f << line << "\n:00000001FF\n";
        return hex_;
    }
    static std::string dataRecord(std::uint16_t address, const std::vector<std::uint8_t>& bytes)
    {
        char line[64];
        make_data_record(address, bytes.size(), bytes.data(), line, sizeof line);
        return line;
    }
    static std::vector<std::uint8_t> counting(std::size_t n, std::uint8_t from = 0)
    {
        std::vector<std::uint8_t> v(n);
        for (std::size_t i = 0; i < n; ++i)
            v[i] = static_cast<std::uint8_t>(from + i);
        return v;
    }

    std::string dir_;
    std::string out_;
    std::string hex_;
};

TEST_F(Readback, ReadDataOfA64KPartHasTwoRecordsAndTheEndRecord)
{
    open(k89V51RD2);
    const auto bytes = counting(32, 0x40);
    fill(k89V51RD2, 0x0000, bytes);
    const IspResult* r = classic_read_data(0x0000, 0x001F, out_.c_str(), nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    const std::vector<std::uint8_t> first(bytes.begin(), bytes.begin() + 16), second(bytes.begin() + 16, bytes.end());
    EXPECT_EQ(file_text(out_), dataRecord(0x0000, first) + "\n" + dataRecord(0x0010, second) + "\n:00000001FF\n");
    EXPECT_TRUE(partGot(":050000040000000F00E8")) << "16 bytes a read";
}

TEST_F(Readback, ReadDataAbove64KPutsAnUpperAddressRecordAtEachHalf)
{
    open(k89C669, 0x07);
    fill(k89C669, 0xFFF8, counting(16, 1));
    const IspResult* r = classic_read_data(0xFFF8, 0x10007, out_.c_str(), nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    const auto b = counting(16, 1);
    EXPECT_EQ(file_text(out_), ":020000040000FA\n" + dataRecord(0xFFF8, {b.begin(), b.begin() + 8}) +
                               "\n:020000040001F9\n" + dataRecord(0x0000, {b.begin() + 8, b.end()}) +
                               "\n:00000001FF\n");
}

TEST_F(Readback, AFailedReadOutLeavesNoFile)
{
    open(k89V51RD2);
    part->addFault({":05000004001000", ClassicFaultKind::Status, 'S', 6});
    const IspResult* r = classic_read_data(0x0000, 0x003F, out_.c_str(), nullptr, 0);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (reading data - security violation in device)");
    EXPECT_FALSE(exists(out_));

    // A cancel too.
    g_cancelAt = 1;
    r = classic_read_data(0x0000, 0x00FF, out_.c_str(), record, 0);
    EXPECT_EQ(r->status, -20);
    EXPECT_FALSE(exists(out_));
}

// An output path that is no regular file (nor a link to one) gets the file
// error before the part is asked anything, and never blocks: a FIFO that
// nobody read held the call for good.
TEST_F(Readback, ReadDataRefusesAnOutputThatIsNoRegularFile)
{
    open(k89V51RD2);
    for (const outputscene::Case& c : outputscene::kRefused) {
        outputscene::Scene scene(c.kind);
        ASSERT_TRUE(scene.ok()) << c.name;
        const auto before = scene.picture();
        const std::size_t asked = part->records().size();
        const auto [status, text] = scene.run([&] {
            const IspResult* r = classic_read_data(0x0000, 0x001F, scene.path().c_str(), nullptr, 0);
            return std::make_pair(r->status, std::string(r->text));
        });
        EXPECT_EQ(status, -9) << c.name;
        EXPECT_EQ(text, "Error creating file. " + scene.path()) << c.name;
        EXPECT_EQ(part->records().size(), asked) << c.name << ": the part was asked";
        EXPECT_EQ(scene.picture(), before) << c.name;
    }
}

// A failed or cancelled read-out leaves the folder as it was: an old file
// keeps its contents, a link and its target stay, nothing of the new file
// is left. A whole one takes the named file's place (through a link, the
// target's).
TEST_F(Readback, ReadDataReplacesTheNamedFileOnlyWhenWhole)
{
    open(k89V51RD2);
    const auto bytes = counting(32, 0x40);
    fill(k89V51RD2, 0x0000, bytes);
    const std::string whole = dataRecord(0x0000, {bytes.begin(), bytes.begin() + 16}) + "\n" +
                              dataRecord(0x0010, {bytes.begin() + 16, bytes.end()}) + "\n:00000001FF\n";
    for (const outputscene::Case& c : outputscene::kWritable) {
        outputscene::Scene scene(c.kind);
        ASSERT_TRUE(scene.ok()) << c.name;
        auto expected = scene.picture();
        g_events.clear();
        g_cancelAt = 1;
        EXPECT_EQ(classic_read_data(0x0000, 0x00FF, scene.path().c_str(), record, 0)->status, -20) << c.name;
        EXPECT_EQ(scene.picture(), expected) << c.name;
        g_cancelAt = -1;
        part->addFault({":05000004001000", ClassicFaultKind::Status, 'S', 6});
        EXPECT_EQ(classic_read_data(0x0000, 0x003F, scene.path().c_str(), nullptr, 0)->status, -18) << c.name;
        EXPECT_EQ(scene.picture(), expected) << c.name;

        const IspResult* r = classic_read_data(0x0000, 0x001F, scene.path().c_str(), nullptr, 0);
        ASSERT_EQ(r->status, 1) << c.name << ": " << r->text;
        expected[expected.count("target") ? "target" : "out.hex"] = "file: " + whole;
        EXPECT_EQ(scene.picture(), expected) << c.name;
    }
}

TEST_F(Readback, ReadDataReportsEveryTenthPiece)
{
    open(k89V51RD2);
    ASSERT_EQ(classic_read_data(0x0000, 0x01FF, out_.c_str(), record, 0)->status, 1);
    ASSERT_EQ(g_events.size(), 3u);
    EXPECT_EQ(g_events[0].event, 7);
    EXPECT_EQ(g_events[0].value, 0x90);
    EXPECT_EQ(g_events[0].extra, 256);
    EXPECT_EQ(g_events[2].value, 0x1D0);
}

TEST_F(Readback, ReadToBufferReportsEach256BytesAndTheLastPart)
{
    open(k89V51RD2);
    const auto bytes = counting(0x220, 7);
    fill(k89V51RD2, 0x1000, bytes);
    std::vector<unsigned char> buffer(0x220);
    ASSERT_EQ(classic_read_data_to_buffer(0x1000, 0x121F, buffer.data(), record, 0)->status, 1);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), buffer.begin()));
    ASSERT_EQ(g_events.size(), 3u);
    EXPECT_EQ(g_events[0].value, 0x1000);
    EXPECT_EQ(g_events[1].value, 0x1100);
    EXPECT_EQ(g_events[2].value, 0x1200);
    // The last report cannot cancel what is read.
    g_events.clear();
    g_cancelAt = 3;
    EXPECT_EQ(classic_read_data_to_buffer(0x1000, 0x121F, buffer.data(), record, 0)->status, 1);
    g_events.clear();
    g_cancelAt = 2;
    EXPECT_EQ(classic_read_data_to_buffer(0x1000, 0x121F, buffer.data(), record, 0)->status, -20);
}

TEST_F(Readback, VerifySkipsTheChecksumBytesWhenAsked)
{
    open(k89C51RB2Hxx);
    auto bytes = counting(16, 0x80);
    const std::string hex = writeHex(0x1FF0, bytes);
    bytes[15] = 0x5A; // the part's checksum adjuster byte at the block's end
    fill(k89C51RB2Hxx, 0x1FF0, bytes);
    const IspResult* r = classic_verify(hex.c_str(), 1, record, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].event, 6);
    EXPECT_EQ(g_events[0].value, 0x1F00);
    r = classic_verify(hex.c_str(), 0, nullptr, 0);
    EXPECT_EQ(r->status, -17);
    EXPECT_STREQ(r->text, "Error verifying. There is a difference in the Hex file value and the stored value. "
                          "(address 0x1FFF)");
}

TEST_F(Readback, VerifyRefusesDataThePartCannotHold)
{
    open(k89C51RB2Hxx);
    const std::string hex = writeHex(0x4000, counting(4));
    const IspResult* r = classic_verify(hex.c_str(), 0, nullptr, 0);
    EXPECT_EQ(r->status, -15) << r->text;
    EXPECT_TRUE(part->records().empty()) << "nothing read";
}

TEST_F(Readback, Dialect1BlankCheckGivesTheFirstAddressWithData)
{
    open(k89C51RB2Hxx);
    EXPECT_EQ(classic_blank_check(0x0000, 0x3FFF)->status, 2);
    fill(k89C51RB2Hxx, 0x0123, {0x00});
    const IspResult* r = classic_blank_check(0x0000, 0x3FFF);
    EXPECT_EQ(r->status, 3);
    EXPECT_EQ(r->data[0], 0x00);
    EXPECT_EQ(r->data[1], 0x01);
    EXPECT_EQ(r->data[2], 0x23);
    EXPECT_EQ(classic_blank_check(0x0124, 0x3FFF)->status, 2);
    EXPECT_TRUE(logged("timeouts set to long"));
}

TEST_F(Readback, BlankCheckFailuresOfAnLfPart)
{
    open(kXAG49, 0x84);
    EXPECT_EQ(classic_blank_check(0x0000, 0xFFFF)->status, 2);
    part->addFault({":05000084", ClassicFaultKind::Status, 'S', 6});
    const IspResult* r = classic_blank_check(0x0000, 0xFFFF);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (blank check - security violation in device)");
}

TEST_F(Readback, HalfDuplexReadsTheSameBytes)
{
    open(k89V51RD2);
    const auto bytes = counting(40, 0x11);
    fill(k89V51RD2, 0x0200, bytes);
    session().halfDuplex = 1;
    std::vector<unsigned char> buffer(40);
    const IspResult* r = classic_read_data_to_buffer(0x0200, 0x0227, buffer.data(), nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), buffer.begin()));
    EXPECT_EQ(classic_blank_check(0x0200, 0x0227)->status, 3);
    EXPECT_EQ(classic_blank_check(0x0228, 0x02FF)->status, 2);
}

} // namespace
