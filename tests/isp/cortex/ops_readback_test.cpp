// Reading the flash back through the library's exports from the simulated
// LPC boot ROM, into a HEX file and into a buffer.
#include "tests/isp/cortex/opssimfixture.h"

#include "isp/core/hexreader.h"
#include "isp/core/hexwriter.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

using namespace opstest;

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

} // namespace
