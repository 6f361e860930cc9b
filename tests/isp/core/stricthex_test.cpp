// The checked HEX reader of the program-source loader: which lines fail and
// why, what is harmless, and how each addressing moves the data records.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "isp/core/stricthex.h"

namespace qz {
namespace {

// A record with the right checksum.
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

struct Piece {
    std::uint64_t address;
    std::size_t count;
    bool operator==(const Piece& o) const { return address == o.address && count == o.count; }
};

// Takes everything below `limit`; refuses the rest.
class RecordingSink : public ProgramSink {
public:
    Placement place(std::uint64_t address, const std::uint8_t*, std::size_t count) override
    {
        if (address + count - 1 >= limit)
            return {Placement::kOutside, address < limit ? limit : address};
        pieces.push_back({address, count});
        return {};
    }
    std::uint64_t limit = 0x100000000ull;
    std::vector<Piece> pieces;
};

struct Case {
    const char* name;
    std::string text;
    HexFault::Kind kind;
    unsigned line;
};

TEST(StrictHex, FaultsNameTheFirstBadLine)
{
    const std::string ok = rec(0, 0, {1, 2}) + "\n";
    std::string badSum = rec(0, 0x10, {3});
    badSum[badSum.size() - 1] = badSum.back() == '0' ? '1' : '0';
    const Case cases[] = {
        {"letter among the digits", ok + ":01001000G3EC\n", HexFault::kNotARecord, 2},
        {"no colon", ok + "0100100003EC\n", HexFault::kNotARecord, 2},
        {"garbage", "hello\n", HexFault::kNotARecord, 1},
        {"too short", ":0000\n", HexFault::kNotARecord, 1},
        {"count beyond the line", ok + ":10000000AABB\n", HexFault::kLength, 2},
        {"truncated at the end", ok + rec(0, 0x20, {1, 2, 3, 4}).substr(0, 15), HexFault::kLength, 2},
        {"line far too long", ok + rec(0, 0x20, {1}) + std::string(3000, 'F') + "\n", HexFault::kLength, 2},
        {"wrong checksum", ok + ok + badSum + "\n" + "garbage\n", HexFault::kChecksum, 3},
        {"address record of one byte", rec(4, 0, {0x10}) + "\n" + ok, HexFault::kAddressRecord, 1},
        {"unknown record type", ok + rec(6, 0, {0}) + "\n", HexFault::kRecordType, 2},
        {"end record only", ":00000001FF\n", HexFault::kNoData, 0},
        {"empty data record only", rec(0, 0x10, {}) + "\n", HexFault::kNoData, 0},
        {"nothing at all", "", HexFault::kNoData, 0},
        {"data past 4 GiB", ok + rec(4, 0, {0xFF, 0xFF}) + "\n" + rec(0, 0xFFFF, {1, 2}) + "\n", HexFault::kOutside, 3},
    };
    for (const Case& c : cases) {
        RecordingSink sink;
        const HexFault f = read_hex_into(c.text.c_str(), sink);
        EXPECT_EQ(f.kind, c.kind) << c.name;
        EXPECT_EQ(f.line, c.line) << c.name;
    }
}

TEST(StrictHex, OutsideNamesTheFirstAddressWithoutAPlace)
{
    RecordingSink sink;
    sink.limit = 0x8000;
    const HexFault f = read_hex_into((rec(0, 0x7FF0, std::vector<unsigned>(32, 0xA5)) + "\n").c_str(), sink);
    EXPECT_EQ(f.kind, HexFault::kOutside);
    EXPECT_EQ(f.address, 0x8000u);
    EXPECT_STREQ(hex_fault_words(HexFault::kChecksum), "checksum");
}

TEST(StrictHex, HarmlessVariantsAreRead)
{
    std::string lower = rec(0, 0xAB, {0xCD, 0xEF});
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string text = "\r\n" + lower + "\r\n" + "  " + rec(0, 0, {1}) + "  \t\r\n" + ":00000001FF\n" +
                             rec(0, 1, {2}) + "\r" + rec(3, 0, {0, 0, 0, 0}) + "\r" + rec(5, 0, {0, 0, 0, 0}) +
                             "\n\n" + rec(0, 2, {3}) + "\x1A";
    RecordingSink sink;
    const HexFault f = read_hex_into(text.c_str(), sink);
    EXPECT_EQ(f.kind, HexFault::kNone) << f.line;
    EXPECT_EQ(sink.pieces, (std::vector<Piece>{{0xAB, 2}, {0, 1}, {1, 1}, {2, 1}}));
}

TEST(StrictHex, FileAndTextReadAlike)
{
    const std::string text = rec(0, 0x10, {1, 2}) + "\n" + ":0100000G\n";
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fputs(text.c_str(), f);
    std::rewind(f);
    RecordingSink fromFile;
    const HexFault a = read_hex_into(f, fromFile);
    std::fclose(f);
    RecordingSink fromText;
    const HexFault b = read_hex_into(text.c_str(), fromText);
    EXPECT_EQ(a.kind, HexFault::kNotARecord);
    EXPECT_EQ(a.line, 2u);
    EXPECT_EQ(b.kind, a.kind);
    EXPECT_EQ(b.line, a.line);
    EXPECT_EQ(fromFile.pieces, fromText.pieces);
}

TEST(StrictHex, AddressingMovesTheDataRecords)
{
    const std::string text = rec(0, 0x10, {1}) + "\n" + rec(2, 0, {0x10, 0x00}) + "\n" + rec(0, 0x20, {2}) + "\n" +
                             rec(4, 0, {0x1A, 0x81}) + "\n" + rec(0, 0x30, {3}) + "\n";
    const struct {
        HexAddressing addressing;
        std::vector<Piece> pieces;
    } cases[] = {
        {HexAddressing::kIntel, {{0x10, 1}, {0x10020, 1}, {0x1A810030, 1}}},
        {HexAddressing::kClassic, {{0x10, 1}, {0x20, 1}, {0x30, 1}}},
        {HexAddressing::kClassicWide, {{0x10, 1}, {0x20, 1}, {0x10030, 1}}},
    };
    for (const auto& c : cases) {
        RecordingSink sink;
        EXPECT_EQ(read_hex_into(text.c_str(), sink, c.addressing).kind, HexFault::kNone);
        EXPECT_EQ(sink.pieces, c.pieces) << static_cast<int>(c.addressing);
    }
}

} // namespace
} // namespace qz
