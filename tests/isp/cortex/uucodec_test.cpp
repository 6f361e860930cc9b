// The boot ROM's UU flavour: grave accent for zero, one length character,
// and lines whose length character does not match are refused.
#include "isp/cortex/uucodec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string encode(const std::vector<std::uint8_t>& bytes)
{
    char line[qz::uu_line_length(qz::kUuBytesPerLine) + 1];
    const std::size_t n = qz::uu_encode_line(bytes.data(), bytes.size(), line);
    EXPECT_EQ(n, std::strlen(line));
    return std::string(line, n);
}

int decode(const std::string& line, std::vector<std::uint8_t>& out, std::size_t capacity)
{
    out.assign(capacity, 0xEE);
    return qz::uu_decode_line(line.data(), line.size(), out.data(), capacity);
}

TEST(UuCodec, ZeroBytesBecomeGraveAccents)
{
    EXPECT_EQ(encode({0, 0, 0}), "#````");
    EXPECT_EQ(encode({}), "`");
}

TEST(UuCodec, KnownLines)
{
    EXPECT_EQ(encode({'C', 'a', 't'}), "#0V%T");
    // A short last group is padded with zero bytes.
    EXPECT_EQ(encode({0xFF}), "!_P``");
    EXPECT_EQ(encode(std::vector<std::uint8_t>(45, 0xFF)).size(), 61u);
    EXPECT_EQ(encode(std::vector<std::uint8_t>(45, 0xFF))[0], 'M');
}

TEST(UuCodec, RoundTripsEveryLengthAndByte)
{
    for (std::size_t n = 0; n <= qz::kUuBytesPerLine; ++n) {
        std::vector<std::uint8_t> bytes(n);
        for (std::size_t i = 0; i < n; ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 37 + n * 11);
        const std::string line = encode(bytes);
        ASSERT_EQ(line.size(), qz::uu_line_length(n));
        std::vector<std::uint8_t> out;
        ASSERT_EQ(decode(line, out, n), static_cast<int>(n)) << n;
        out.resize(n);
        EXPECT_EQ(out, bytes) << n;
    }
    std::vector<std::uint8_t> all(45);
    for (int start = 0; start < 256; start += 45) {
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = static_cast<std::uint8_t>(start + i);
        std::vector<std::uint8_t> out;
        ASSERT_EQ(decode(encode(all), out, 45), 45);
        EXPECT_EQ(out, all);
    }
}

TEST(UuCodec, BlankDecodesLikeGraveAccent)
{
    std::vector<std::uint8_t> out;
    ASSERT_EQ(decode("#    ", out, 3), 3);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0, 0, 0}));
}

TEST(UuCodec, LinesThatDoNotMatchTheirLengthCharacterAreRefused)
{
    std::vector<std::uint8_t> out;
    const struct {
        const char* why;
        std::string line;
        std::size_t capacity;
    } cases[] = {
        {"empty line", "", 45},
        {"announces 45, carries 3", "M0V%T", 45},
        {"announces 3, carries 6", "#0V%T0V%T", 45},
        {"announces more than the buffer holds", "#0V%T", 2},
        {"length character beyond 45", std::string("N") + std::string(64, 'A'), 64},
        {"character outside the alphabet", "#0V%\x7f", 3},
        {"control character", "#0V\n", 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decode(c.line, out, c.capacity), -1) << c.why;
        for (std::size_t i = 0; i < c.capacity; ++i)
            ASSERT_EQ(out[i], 0xEE) << c.why << ": byte " << i << " written";
    }
}

TEST(UuCodec, EncodeRefusesMoreThanOneLine)
{
    std::vector<std::uint8_t> bytes(46, 1);
    char line[128];
    EXPECT_EQ(qz::uu_encode_line(bytes.data(), bytes.size(), line), 0u);
}

} // namespace
