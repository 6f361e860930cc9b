#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "isp/core/hexrecord.h"
#include "isp/core/hexutil.h"
#include "isp/core/hexwriter.h"

namespace qz {
namespace {

std::string data_record(std::uint16_t address, const std::vector<std::uint8_t>& bytes)
{
    char out[kMaxHexRecordChars + 1];
    const std::size_t n = make_data_record(address, bytes.size(), bytes.data(), out, sizeof out);
    EXPECT_EQ(n, hex_record_length(bytes.size()));
    return std::string(out, n);
}

std::string linear_record(std::uint16_t upper)
{
    char out[16];
    const std::size_t n = make_linear_address_record(upper, out, sizeof out);
    EXPECT_EQ(n, 15u);
    return std::string(out, n);
}

TEST(HexWriter, RecordsReadExactly)
{
    EXPECT_EQ(data_record(0x0010, {0x01, 0x02}), ":020010000102EB");
    EXPECT_EQ(data_record(0xABCD, {0xFE}), ":01ABCD00FE89");
    EXPECT_EQ(data_record(0x0000, {}), ":0000000000");
    EXPECT_EQ(linear_record(0x0000), ":020000040000FA");
    EXPECT_EQ(linear_record(0x1A00), ":020000041A00E0");
    EXPECT_EQ(linear_record(0xFFFF), ":02000004FFFFFC");
    EXPECT_STREQ(kHexEndRecord, ":00000001FF");
}

TEST(HexWriter, ReadOutPieceOf64Bytes)
{
    std::vector<std::uint8_t> bytes(64);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(0xA0 + i);
    const std::string r = data_record(0xFFC0, bytes);
    ASSERT_EQ(r.size(), 139u);
    EXPECT_EQ(r.substr(0, 9), ":40FFC000");
    EXPECT_EQ(r.substr(9, 6), "A0A1A2");
    EXPECT_EQ(r.find_first_of("abcdef"), std::string::npos);
    // The bytes of a record, checksum included, sum to 0 modulo 256.
    unsigned sum = 0;
    for (std::size_t i = 1; i < r.size(); i += 2)
        sum += parse_hex_byte(r[i], r[i + 1]);
    EXPECT_EQ(sum & 0xFF, 0u);
}

TEST(HexWriter, RecordReadsBackThroughTheParser)
{
    std::vector<std::uint8_t> bytes(255);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    std::string r = data_record(0x1234, bytes);
    ASSERT_EQ(r.size(), kMaxHexRecordChars);
    HexRecord parsed;
    ASSERT_TRUE(parse_hex_record(&r[0], r.size(), parsed));
    EXPECT_EQ(parsed.address, 0x1234);
    EXPECT_EQ(parsed.count, 255);
    EXPECT_EQ(std::vector<std::uint8_t>(parsed.data, parsed.data + 255), bytes);
}

TEST(HexWriter, RefusesWhatDoesNotFit)
{
    const std::uint8_t two[2] = {1, 2};
    char out[32];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(make_data_record(0, 2, two, out, 15), 0u); // needs 15 + the zero
    EXPECT_EQ(out[0], 'x');
    EXPECT_EQ(make_data_record(0, 2, two, out, 16), 15u);
    std::vector<std::uint8_t> many(256);
    std::vector<char> big(1024);
    EXPECT_EQ(make_data_record(0, many.size(), many.data(), big.data(), big.size()), 0u);
    EXPECT_EQ(make_linear_address_record(0, out, 15), 0u);
}

// ---- Digit and checksum helpers -----------------------------------------------

TEST(HexDigits, UpperCaseOutEitherCaseIn)
{
    EXPECT_EQ(hex_high_digit(0xA7), 'A');
    EXPECT_EQ(hex_low_digit(0xA7), '7');
    EXPECT_EQ(hex_low_digit(0x0F), 'F');
    const char word[] = {hex_word_digit(0x1A2B, 0), hex_word_digit(0x1A2B, 1), hex_word_digit(0x1A2B, 2),
                         hex_word_digit(0x1A2B, 3), 0};
    EXPECT_STREQ(word, "1A2B");
    EXPECT_EQ(parse_hex_byte('f', 'E'), 0xFE);
    EXPECT_EQ(parse_hex_byte('0', '9'), 0x09);
    EXPECT_EQ(parse_hex_word('1', 'a', '2', 'B'), 0x1A2B);
    EXPECT_EQ(hex_digit_value('g'), -1);
    EXPECT_EQ(hex_digit_value(':'), -1);
}

TEST(HexChecksum, OverTheDigitPairsBelowTheLength)
{
    const char r[] = ":020010000102EB";
    // Up to the data: 02 + 00 + 10 + 00 + 01 + 02 = 0x15.
    EXPECT_EQ(hex_record_checksum(r, 13), 256 - 0x15);
    EXPECT_EQ(hex_record_checksum(r, 13) & 0xFF, 0xEB);
    EXPECT_EQ(hex_record_checksum(":00000001FF", 9) & 0xFF, 0xFF);
}

TEST(ByteSum, AdjusterMakesTheRangeSumToAB)
{
    std::vector<std::uint8_t> sector(4096);
    for (std::size_t i = 0; i < sector.size(); ++i)
        sector[i] = static_cast<std::uint8_t>(i * 31 + 5);
    std::uint8_t* last = &sector.back();
    *last = byte_sum(&sector.front(), last, last);
    unsigned sum = 0;
    for (std::uint8_t b : sector)
        sum += b;
    EXPECT_EQ(sum & 0xFF, 0xABu);

    const std::uint8_t blank[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(byte_sum(blank, blank + 3, blank + 3), static_cast<std::uint8_t>(0xAB - 3 * 0xFF));
}

} // namespace
} // namespace qz
