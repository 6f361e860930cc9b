// Reading the flash back through the library's exports from the simulated
// LPC boot ROM, into a HEX file and into a buffer.
#include "tests/isp/cortex/opssimfixture.h"

#include "isp/core/hexreader.h"
#include "isp/core/hexwriter.h"
#include "tests/isp/core/outputscene.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

using namespace opstest;
using outputscene::Scene;

namespace {

TEST_F(OpsTest, ReadBackFileLoadsBackToTheSameBytes)
{
    const std::vector<std::uint8_t> image = withVectorChecksum(firmwareImage(0x8000, 0x8000, 9));
    sim.setFlash(image);
    connectOrFail();
    const std::string out = file("readback.hex");
    ASSERT_EQ(qz_read_data(0, 0x7FFF, out.c_str(), record, 0)->status, 1);
    const std::vector<int> progress = valuesOf(7);
    EXPECT_EQ(progress.size(), 0x8000u / 640);
    EXPECT_EQ(progress.front(), 9 * 64);

    std::vector<std::uint8_t> loaded(0x8000, 0x00);
    FILE* f = std::fopen(out.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    qz::load_hex_file(f, loaded.data(), 0, 0x7FFF);
    std::fclose(f);
    EXPECT_EQ(loaded, image);
    const std::string text = readFile(out);
    EXPECT_EQ(text.substr(0, 16), ":020000040000FA\n");
    EXPECT_EQ(text.substr(text.size() - 12), ":00000001FF\n");

    std::vector<std::uint8_t> buffer(0x1001, 0xEE);
    ASSERT_EQ(qz_read_data_to_buffer(0x100, 0x1100, buffer.data(), nullptr, 0)->status, 1);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), image.begin() + 0x100));
}

// A read-back that runs past the flash (32 KiB on the LPC11C24) is refused
// before the part is asked anything, and no file is made.
TEST_F(OpsTest, ReadBackPastTheFlashIsRefusedAtOnce)
{
    connectOrFail();
    sim.clearRecords();
    const std::string out = file("past.hex");
    const IspResult* r = qz_read_data(0x7F00, 0x8000, out.c_str(), nullptr, 0);
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, "Invalid value or command sent. Please try the operation again. (end address 0x8000 beyond the part's flash)");
    EXPECT_EQ(::access(out.c_str(), F_OK), -1);
    std::vector<std::uint8_t> buffer(0x100);
    r = qz_read_data_to_buffer(0x7FC0, 0x80BF, buffer.data(), nullptr, 0);
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, "Invalid value or command sent. Please try the operation again. (end address 0x80BF beyond the part's flash)");
    EXPECT_TRUE(sim.commands().empty());
    ASSERT_EQ(qz_read_data_to_buffer(0x7F00, 0x7FFF, buffer.data(), nullptr, 0)->status, 1);
    // The part's RAM lies above its flash and is read as asked.
    EXPECT_EQ(qz_read_data_to_buffer(0x10000100, 0x100001FF, buffer.data(), nullptr, 0)->status, 1);
}

class TwoBankReadBackTest : public OpsTest {
protected:
    TwoBankReadBackTest() : OpsTest(sim::lpc::lpc4357()) {}
};

// On a part whose banks have a gap between them (LPC4357: 0x1A000000 and
// 0x1B000000, 512 KiB each) a read-back must lie within one bank or the RAM;
// any other range is refused before the part is asked anything.
TEST_F(TwoBankReadBackTest, AReadBackOutsideTheBanksIsRefusedAtOnce)
{
    ConnectOptions o = vantrelOptions(sim.slavePath());
    o.device_id = 19003;
    ASSERT_EQ(connect(o)->status, 1);
    const char* const prefix = "Invalid value or command sent. Please try the operation again. ";
    const struct {
        std::uint32_t start, end;
        const char* detail;
    } refused[] = {
        {0x19FFFF00, 0x1A0000FF, "(start address 0x19FFFF00 outside the part's flash and RAM)"},
        {0x00000000, 0x000000FF, "(start address 0x0 outside the part's flash and RAM)"},
        {0x1A100000, 0x1A1000FF, "(start address 0x1A100000 outside the part's flash and RAM)"},
        {0x1A07FF00, 0x1A0800FF, "(end address 0x1A0800FF beyond the part's flash)"},
        {0x1A07FF00, 0x1B0000FF, "(end address 0x1B0000FF beyond the part's flash)"},
    };
    std::vector<std::uint8_t> buffer(0x200);
    for (const auto& c : refused) {
        sim.clearRecords();
        const IspResult* r = qz_read_data_to_buffer(c.start, c.end, buffer.data(), nullptr, 0);
        EXPECT_EQ(r->status, -5) << std::hex << c.start;
        EXPECT_EQ(std::string(r->text), std::string(prefix) + c.detail);
        EXPECT_TRUE(sim.commands().empty()) << std::hex << c.start;
    }
    EXPECT_EQ(qz_read_data_to_buffer(0x1B07FF00, 0x1B07FFFF, buffer.data(), nullptr, 0)->status, 1);
    EXPECT_EQ(qz_read_data_to_buffer(0x10000100, 0x100001FF, buffer.data(), nullptr, 0)->status, 1);
}

// The read-out asks for up to 900 bytes per "R", as the boot ROM allows,
// and still writes 64-byte records and the same events.
TEST_F(OpsTest, ReadBackAsksForLargeChunks)
{
    const std::vector<std::uint8_t> image = withVectorChecksum(firmwareImage(0x8000, 0x8000, 2));
    sim.setFlash(image);
    connectOrFail();
    sim.clearRecords();
    const std::string out = file("chunks.hex");
    ASSERT_EQ(qz_read_data(0x10, 0x7FF0, out.c_str(), record, 0)->status, 1);

    std::size_t reads = 0;
    for (const std::string& c : sim.commands())
        reads += c.rfind("R ", 0) == 0 ? 1 : 0;
    EXPECT_LE(reads, 1 + (0x7FE1 + 899) / 900) << "one for the CRP word, then 900 bytes a read";

    std::string expected = ":020000040000FA\n";
    char line[qz::hex_record_length(64) + 1];
    std::vector<int> events;
    int pieces = 0;
    for (std::uint32_t a = 0x10; a <= 0x7FF0; a += 64) {
        const std::uint32_t n = std::min<std::uint32_t>(64, 0x7FF0 - a + 1);
        if (n == 64 && ++pieces % 10 == 0)
            events.push_back(static_cast<int>(a));
        const std::size_t length = qz::make_data_record(static_cast<std::uint16_t>(a), n, image.data() + a, line, sizeof line);
        expected += std::string(line, length) + "\n";
    }
    expected += ":00000001FF\n";
    EXPECT_EQ(readFile(out), expected);
    EXPECT_EQ(valuesOf(7), events);
    for (const Event& e : g_events)
        EXPECT_EQ(e.extra, 1024);
}

class LargeFlashTest : public OpsTest {
protected:
    LargeFlashTest() : OpsTest(sim::lpc::lpc1768()) {}
};

// A read-out record never runs over a 64 KiB boundary.
TEST_F(LargeFlashTest, ReadBackAcrossA64KiBBoundary)
{
    std::vector<std::uint8_t> image(0x20000);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i ^ (i >> 9));
    sim.setFlash(image);
    ConnectOptions o = vantrelOptions(sim.slavePath());
    o.device_id = 2008;
    ASSERT_EQ(connect(o)->status, 1);
    const std::string out = file("boundary.hex");
    const IspResult* r = qz_read_data(0xFFF0, 0x1002F, out.c_str(), nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    std::vector<std::uint8_t> loaded(0x20000, 0xEE);
    FILE* f = std::fopen(out.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    qz::load_hex_file(f, loaded.data(), 0, 0x1FFFF);
    std::fclose(f);
    EXPECT_TRUE(std::equal(loaded.begin() + 0xFFF0, loaded.begin() + 0x10030, image.begin() + 0xFFF0));
    EXPECT_EQ(loaded[0xFFEF], 0xEE);
    EXPECT_EQ(loaded[0x10030], 0xEE);
    EXPECT_NE(readFile(out).find(":020000040001F9\n"), std::string::npos);
}

// An output path that is no regular file (nor a link to one) gets the file
// error before the part is asked anything, and never blocks: a FIFO that
// nobody read held the call for good.
TEST_F(OpsTest, ReadBackRefusesAnOutputThatIsNoRegularFile)
{
    sim.setFlash(withVectorChecksum(firmwareImage(0x8000, 0x800, 3)));
    connectOrFail();
    for (const outputscene::Case& c : outputscene::kRefused) {
        Scene scene(c.kind);
        ASSERT_TRUE(scene.ok()) << c.name;
        const auto before = scene.picture();
        sim.clearRecords();
        const auto [status, text] = scene.run([&] {
            const IspResult* r = qz_read_data(0, 0xFF, scene.path().c_str(), nullptr, 0);
            return std::make_pair(r->status, std::string(r->text));
        });
        EXPECT_EQ(status, -9) << c.name;
        EXPECT_EQ(text, "Error creating file. " + scene.path()) << c.name;
        EXPECT_TRUE(sim.commands().empty()) << c.name << ": the part was asked";
        EXPECT_EQ(scene.picture(), before) << c.name;
    }
}

// A read-back that does not come to its end (here cancelled) leaves the
// folder as it was: an old file keeps its contents, a link and its target
// stay, nothing of the new file is left. A whole one takes the named file's
// place (through a link, the target's).
TEST_F(OpsTest, ReadBackReplacesTheNamedFileOnlyWhenWhole)
{
    const std::vector<std::uint8_t> image = withVectorChecksum(firmwareImage(0x8000, 0x800, 3));
    sim.setFlash(image);
    connectOrFail();
    char line[qz::hex_record_length(64) + 1];
    const std::size_t n = qz::make_data_record(0, 64, image.data(), line, sizeof line);
    const std::string whole = ":020000040000FA\n" + std::string(line, n) + "\n:00000001FF\n";
    for (const outputscene::Case& c : outputscene::kWritable) {
        Scene scene(c.kind);
        ASSERT_TRUE(scene.ok()) << c.name;
        auto expected = scene.picture();
        g_cancelOnEvent = 7;
        EXPECT_EQ(qz_read_data(0, 0x7FF, scene.path().c_str(), record, 0)->status, -20) << c.name;
        EXPECT_EQ(scene.picture(), expected) << c.name;

        g_cancelOnEvent = 0;
        const IspResult* r = qz_read_data(0, 0x3F, scene.path().c_str(), nullptr, 0);
        ASSERT_EQ(r->status, 1) << c.name << ": " << r->text;
        expected[expected.count("target") ? "target" : "out.hex"] = "file: " + whole;
        EXPECT_EQ(scene.picture(), expected) << c.name;
    }
}

} // namespace
