#include <gtest/gtest.h>

#include <cstdio>
#include <cctype>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "isp/core/hexreader.h"
#include "isp/core/hexrecord.h"
#include "isp/core/hexutil.h"

namespace qz {
namespace {

// A record with the right checksum, built here independently of the writer.
std::string rec(unsigned type, unsigned address, const std::vector<unsigned>& bytes)
{
    std::vector<unsigned> all = {unsigned(bytes.size()), (address >> 8) & 0xFF, address & 0xFF, type};
    all.insert(all.end(), bytes.begin(), bytes.end());
    unsigned sum = 0;
    std::string s = ":";
    char digits[3];
    for (unsigned b : all) {
        std::snprintf(digits, sizeof digits, "%02X", b & 0xFF);
        s += digits;
        sum += b;
    }
    std::snprintf(digits, sizeof digits, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return s + digits;
}

std::vector<unsigned> run(unsigned count, unsigned start)
{
    std::vector<unsigned> v;
    for (unsigned i = 0; i < count; ++i)
        v.push_back((start + i) & 0xFF);
    return v;
}

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct Bytes {
    std::uint32_t address;
    std::vector<unsigned> values;
};

struct Case {
    const char* name;
    std::string input;
    std::uint32_t first; // the buffer covers first..first + 0xFF
    std::vector<Bytes> buffer;
};

constexpr std::uint32_t kBufferSize = 0x100;

std::vector<Case> cases()
{
    const std::string end = ":00000001FF\r\n";
    const std::string long100 = rec(0, 0x0000, run(100, 0)); // 211 characters
    const std::string long255 = rec(0, 0x0000, run(255, 1)); // 521 characters
    return {
        {"PlainRecordAtItsAddress", rec(0, 0x0010, {1, 2, 3}) + "\r\n" + end, 0, {{0x10, {1, 2, 3}}}},
        {"NoLineEnds", rec(0, 0x0000, {9}) + rec(0, 0x0001, {8}) + ":00000001FF", 0, {{0, {9, 8}}}},
        {"LfOnlyAndGarbageBetween", "junk\n" + rec(0, 0x20, {5}) + "\n  ; note\n" + rec(0, 0x21, {6}) + "\n", 0,
         {{0x20, {5, 6}}}},
        {"SegmentBase02", rec(2, 0, {0x10, 0x00}) + "\n" + rec(0, 0x0004, {0xAA}) + "\n", 0x10000,
         {{0x10004, {0xAA}}}},
        {"LinearBase04", rec(4, 0, {0x1A, 0x00}) + "\n" + rec(0, 0x0080, {1, 2}) + "\n", 0x1A000000,
         {{0x1A000080, {1, 2}}}},
        {"LaterBaseReplacesEarlier",
         rec(4, 0, {0x1A, 0x00}) + "\n" + rec(2, 0, {0x00, 0x01}) + "\n" + rec(0, 0x0000, {7}) + "\n", 0,
         {{0x10, {7}}}},
        {"RecordPastTheBufferEndStoresNothing", rec(0, 0x00FE, {1, 2, 3}) + "\n" + rec(0, 0x00FC, {4}) + "\n", 0,
         {{0xFC, {4}}}},
        {"RecordBeforeTheBufferIsDropped", rec(0, 0x0FFF, {1, 2}) + "\n", 0x1000, {}},
        {"LowerCaseDigits", lower(rec(0, 0x00AB, {0xCD, 0xEF})) + "\n", 0, {{0xAB, {0xCD, 0xEF}}}},
        {"WrongChecksumStillLoads", ":0100000055" "00\n", 0, {{0, {0x55}}}},
        {"RecordsAfterTheEndRecord", rec(0, 0, {1}) + "\n" + end + rec(0, 1, {2}) + "\n", 0, {{0, {1, 2}}}},
        {"RecordOver200Characters", long100 + "\r\n", 0, {{0, run(100, 0)}}},
        {"RecordOf255Bytes", long255 + "\r\n" + rec(0, 0x00FF, {0xEE}) + "\r\n", 0,
         {{0, run(255, 1)}, {0xFF, {0xEE}}}},
        {"RecordCompleteAtItsCountRestOfLineIgnored",
         rec(0, 0x0000, {1, 2}) + "0304050607080910111213141516171819202122232425262728" + std::string(3000, 'F') +
             "\n" + rec(0, 2, {3}) + "\n",
         0, {{0, {1, 2, 3}}}},
        {"CountLargerThanTheLineIsCutByTheNextColon", ":10000000AABB\n" + rec(0, 0x40, {1}) + "\n", 0,
         {{0x40, {1}}}},
        {"ShortAndMalformedLinesSkipped",
         ":\n:0\n:00000001\n:0100000G55AA\n:zz0000000100\n" + rec(0, 0x30, {3}) + "\n", 0, {{0x30, {3}}}},
        {"DataRecordWithoutBytes", rec(0, 0x0010, {}) + "\n", 0, {}},
        {"AddressRecordTooShortKeepsTheBase",
         rec(4, 0, {0x1A, 0x00}) + "\n" + rec(4, 0, {}) + "\n" + rec(0, 0x0001, {5}) + "\n", 0x1A000000,
         {{0x1A000001, {5}}}},
        {"RecordsOutsideTheBufferLeaveItAlone",
         rec(0, 0x0000, {0x11}) + "\n" + rec(4, 0, {0x10, 0x00}) + "\n" + rec(0, 0x0000, {0x22}) + "\n", 0,
         {{0, {0x11}}}},
        {"AddressPast4GiBIsNotWrapped", rec(4, 0, {0xFF, 0xFF}) + "\n" + rec(0, 0xFFFF, run(16, 0)) + "\n",
         0xFFFFFF00, {}},
        {"TruncatedLastRecordWithItsData", rec(0, 0x0008, {1, 2}).substr(0, 13), 0, {{8, {1, 2}}}},
        {"TruncatedLastRecordWithoutItsData", rec(0, 0x0008, {1, 2, 3, 4}).substr(0, 15), 0, {}},
        {"EmbeddedControlCharacter", ":02000000\x01" "102" "FC\n" + rec(0, 0x50, {9}) + "\n", 0, {{0x50, {9}}}},
        {"OtherRecordTypesIgnored", rec(3, 0, {0, 0, 0x10, 0}) + "\n" + rec(5, 0, {0, 0, 0, 0}) + "\n" +
                                        rec(0, 0x60, {4}) + "\n",
         0, {{0x60, {4}}}},
    };
}

enum class Reader { File, Text };

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

void PrintTo(Reader r, std::ostream* os)
{
    *os << (r == Reader::File ? "file" : "text");
}

class HexReader : public ::testing::TestWithParam<std::tuple<Case, Reader>> {
protected:
    void load(const std::string& input, std::uint8_t* buf, std::uint32_t first, std::uint32_t last)
    {
        if (std::get<1>(GetParam()) == Reader::Text) {
            load_hex_text(input.c_str(), buf, first, last);
            return;
        }
        std::FILE* f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(input.data(), 1, input.size(), f), input.size());
        std::rewind(f);
        load_hex_file(f, buf, first, last);
        std::fclose(f);
    }
};

TEST_P(HexReader, PlacesExactlyTheUsableRecords)
{
    const Case& c = std::get<0>(GetParam());
    std::vector<std::uint8_t> buffer(kBufferSize, 0xFF);
    load(c.input, buffer.data(), c.first, c.first + kBufferSize - 1);

    std::vector<std::uint8_t> expected(kBufferSize, 0xFF);
    for (const Bytes& b : c.buffer) {
        for (std::size_t i = 0; i < b.values.size(); ++i)
            expected.at(b.address - c.first + i) = static_cast<std::uint8_t>(b.values[i]);
    }
    EXPECT_EQ(buffer, expected);
}

INSTANTIATE_TEST_SUITE_P(Inputs, HexReader,
                         ::testing::Combine(::testing::ValuesIn(cases()),
                                            ::testing::Values(Reader::File, Reader::Text)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == Reader::File ? "_File" : "_Text");
                         });

// ---- Without a buffer -----------------------------------------------------------

TEST(HexReaderTargets, NullInputsReadNothing)
{
    load_hex_text(rec(0, 0, {1}).c_str(), nullptr, 0, 0xFF);
    load_hex_text(nullptr, nullptr, 0, 0);
    load_hex_file(nullptr, nullptr, 0, 0);
}

// ---- The line check -----------------------------------------------------------

TEST(ValidateHexLine, CutsControlTailThenChecksTheShape)
{
    struct Line {
        const char* text;
        bool ok;
        const char* cut;
    };
    const Line lines[] = {
        {":00000001FF\r\n", true, ":00000001FF"},
        {":00000001ff", true, ":00000001ff"},
        {":0000000FF", false, ":0000000FF"},    // 10 characters
        {":000000001FF", false, ":000000001FF"}, // even length
        {"000000001FF", false, "000000001FF"},   // no colon
        {":0000 001FF", false, ":0000 001FF"},
        {":00000001FG", false, ":00000001FG"},
        {":00000001FF \r", false, ":00000001FF "},
        {"\r\n", false, ""},
    };
    for (const Line& l : lines) {
        char buf[64];
        std::strcpy(buf, l.text);
        EXPECT_EQ(validate_hex_line(buf), l.ok) << l.text;
        EXPECT_STREQ(buf, l.cut);
    }
}

TEST(ParseHexRecord, NeedsTheDataItsCountNames)
{
    HexRecord r;
    char whole[] = ":0300300002337A1E";
    ASSERT_TRUE(parse_hex_record(whole, std::strlen(whole), r));
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(r.address, 0x0030);
    EXPECT_EQ(r.type, 0);
    EXPECT_EQ(r.data[0], 0x02);
    EXPECT_EQ(r.data[2], 0x7A);

    char short_data[] = ":030030000233"; // odd, hex, but two data digits missing
    EXPECT_FALSE(parse_hex_record(short_data, std::strlen(short_data), r));

    // A zero byte in the middle is no hex digit, whatever strlen would say.
    char with_nul[] = ":0100000055\0" "00";
    EXPECT_FALSE(parse_hex_record(with_nul, sizeof with_nul - 1, r));
}

TEST(HexRecordAssembler, CompletesAtTheDeclaredLength)
{
    HexRecordAssembler a;
    const std::string r = rec(0, 0, run(255, 0));
    ASSERT_EQ(r.size(), kMaxHexRecordChars);
    std::size_t completed = 0;
    for (std::size_t i = 0; i < r.size(); ++i) {
        if (a.feed(r[i]))
            completed = i + 1;
    }
    EXPECT_EQ(completed, r.size());
    EXPECT_EQ(std::string(a.text(), a.length()), r);
    EXPECT_FALSE(a.finish()); // nothing left over
}

TEST(HexData, AddressesResolvedAndEndRecordDoesNotStop)
{
    const std::string text = rec(2, 0, {0x10, 0x00}) + "\n" + rec(0, 2, {1, 2}) + "\n" + ":00000001FF\n" +
                             rec(4, 0, {0xFF, 0xFF}) + "\n" + rec(0, 0xFFFF, {3, 4}) + "\n";
    std::vector<std::pair<std::uint32_t, std::uint64_t>> seen;
    for_each_hex_data(text.c_str(), [&](const HexData& d) { seen.emplace_back(d.address, d.last()); });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (std::pair<std::uint32_t, std::uint64_t>{0x10002, 0x10003}));
    EXPECT_EQ(seen[1], (std::pair<std::uint32_t, std::uint64_t>{0xFFFFFFFF, 0x100000000ull}));
}

} // namespace
} // namespace qz
