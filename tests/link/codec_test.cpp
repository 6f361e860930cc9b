#include "link/codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string bytes(const char* p, std::size_t n) { return std::string(p, n); }

CanFrameCommand frame(uint8_t type, uint32_t id, uint8_t dlc, std::initializer_list<uint8_t> data = {})
{
    CanFrameCommand f;
    f.frameType = type;
    f.id = id;
    f.dlc = dlc;
    std::size_t i = 0;
    for (uint8_t b : data)
        f.data[i++] = b;
    return f;
}

// The headers are process-wide and start as zeros; the fixture puts them
// back to that state, whatever ran before.
class FrameHeaders : public ::testing::Test {
protected:
    void SetUp() override { SetFrameHeaders(0, 0, 0, 0); }
    void TearDown() override { SetFrameHeaders(0, 0, 0, 0); }
};

TEST_F(FrameHeaders, LineStartsWithZeroByteBeforeHeadersAreSet)
{
    char out[30];
    uint8_t len = 0;
    ASSERT_EQ(EncodeCanFrame(frame(STD_DATA, 0x123, 0), out, 30, &len), 0);
    EXPECT_EQ(bytes(out, len), std::string("\0" "1230\r", 6));
}

class EncodeFrame : public ::testing::Test {
protected:
    void SetUp() override { SetFrameHeaders('t', 'T', 'e', 'E'); }
};

struct FrameCase {
    CanFrameCommand frame;
    std::string line;
};

TEST_F(EncodeFrame, BuildsLinesByteForByte)
{
    const FrameCase cases[] = {
        {frame(STD_DATA, 0x123, 2, {0x11, 0x22}), "t12321122\r"},
        {frame(STD_DATA, 0x123, 0), "t1230\r"},
        {frame(STD_REMOTE, 0x7FF, 3, {1, 2, 3}), "T7FF3\r"},
        {frame(EXT_REMOTE, 0x1FFFFFFF, 8), "E1FFFFFFF8\r"},
        {frame(EXT_DATA, 0x0ABCDEF0, 1, {0xA5}), "e0ABCDEF01A5\r"},
        // Only the low 12 bits of a standard identifier are written.
        {frame(STD_DATA, 0xABCD, 1, {0x0F}), "tBCD10F\r"},
        {frame(EXT_DATA, 0x1FFFFFFF, 8, {0, 1, 2, 3, 0xFC, 0xFD, 0xFE, 0xFF}),
         "e1FFFFFFF80001020" "3FCFDFEFF\r"},
    };
    for (const auto& c : cases) {
        char out[30];
        uint8_t len = 0;
        ASSERT_EQ(EncodeCanFrame(c.frame, out, 30, &len), 0) << c.line;
        EXPECT_EQ(bytes(out, len), c.line);
    }
}

TEST_F(EncodeFrame, LongestLineNeedsTwentySevenBytes)
{
    const auto f = frame(EXT_DATA, 0x12345678, 8, {1, 2, 3, 4, 5, 6, 7, 8});
    char out[30];
    uint8_t len = 0;
    EXPECT_EQ(EncodeCanFrame(f, out, 26, &len), 1);
    ASSERT_EQ(EncodeCanFrame(f, out, 27, &len), 0);
    EXPECT_EQ(len, 27);
}

TEST_F(EncodeFrame, BadTypeFailsAndLeavesBufferZero)
{
    for (uint8_t type : {uint8_t(19), uint8_t(24), uint8_t(0), uint8_t(255)}) {
        char out[30];
        std::memset(out, 0x5A, sizeof out);
        uint8_t len = 99;
        EXPECT_EQ(EncodeCanFrame(frame(type, 1, 0), out, 30, &len), 1);
        EXPECT_EQ(len, 99);
        for (char c : out)
            ASSERT_EQ(c, 0);
    }
}

TEST_F(EncodeFrame, LengthAboveEightFails)
{
    char out[30];
    uint8_t len = 0;
    EXPECT_EQ(EncodeCanFrame(frame(STD_DATA, 1, 9), out, 30, &len), 1);
    EXPECT_EQ(EncodeCanFrame(frame(EXT_REMOTE, 1, 15), out, 30, &len), 1);
}

TEST_F(EncodeFrame, ClearsNoMoreThanOutSize)
{
    char out[16];
    std::memset(out, 0x5A, sizeof out);
    uint8_t len = 0;
    EXPECT_EQ(EncodeCanFrame(frame(EXT_DATA, 1, 8), out, 10, &len), 1);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(out[i], 0);
    for (int i = 10; i < 16; ++i)
        EXPECT_EQ(out[i], 0x5A);
}

TEST_F(EncodeFrame, HeadersFollowSetFrameHeaders)
{
    SetFrameHeaders('a', 'b', 'c', 'd');
    const char expect[] = {'a', 'b', 'c', 'd'};
    for (uint8_t t = STD_DATA; t <= EXT_REMOTE; ++t) {
        char out[30];
        uint8_t len = 0;
        ASSERT_EQ(EncodeCanFrame(frame(t, 0, 0), out, 30, &len), 0);
        EXPECT_EQ(out[0], expect[t - STD_DATA]);
    }
}

TEST(FrameType, Predicates)
{
    EXPECT_TRUE(IsStdFrame(STD_DATA) && IsStdFrame(STD_REMOTE));
    EXPECT_TRUE(IsExtFrame(EXT_DATA) && IsExtFrame(EXT_REMOTE));
    EXPECT_TRUE(IsDataFrame(STD_DATA) && IsDataFrame(EXT_DATA));
    EXPECT_TRUE(IsRemoteFrame(STD_REMOTE) && IsRemoteFrame(EXT_REMOTE));
    EXPECT_FALSE(IsExtFrame(STD_DATA) || IsRemoteFrame(EXT_DATA) || IsDataFrame(STD_REMOTE));
}

struct SerialCase {
    SerialConfig config;
    const char* line; // nullptr: the builder fails
};

SerialConfig serial(uint32_t baud, uint8_t dataBits, uint8_t parity, uint8_t stop, uint8_t flow)
{
    SerialConfig c;
    c.baud = baud;
    c.dataBits = dataBits;
    c.parity = parity;
    c.stopBits = stop;
    c.flowControl = flow;
    return c;
}

TEST(EncodeWriteSerial, Table)
{
    const SerialCase cases[] = {
        {serial(115200, 8, 0, 1, 0), "WSN8N1115200\r"},
        {serial(9600, 8, 2, 2, 1), "WSH8E29600\r"},
        {serial(19200, 8, 3, 1, 0), "WSN8O119200\r"},
        {serial(300, 8, 4, 1, 0), "WSN8S1300\r"},
        {serial(1200, 8, 5, 1, 0), "WSN8M11200\r"},
        {serial(10, 8, 0, 1, 0), "WSN8N110\r"},
        {serial(4294967295u, 8, 0, 1, 0), "WSN8N14294967295\r"},
        {serial(9, 8, 0, 1, 0), nullptr},
        {serial(0, 8, 0, 1, 0), nullptr},
        {serial(9600, 7, 0, 1, 0), nullptr},
        {serial(9600, 8, 1, 1, 0), nullptr},
        {serial(9600, 8, 6, 1, 0), nullptr},
        {serial(9600, 8, 0, 0, 0), nullptr},
        {serial(9600, 8, 0, 3, 0), nullptr},
        {serial(9600, 8, 0, 1, 2), nullptr},
    };
    for (const auto& c : cases) {
        char out[30];
        uint8_t len = 0;
        uint8_t result = EncodeWriteSerial(c.config, out, 30, &len);
        if (!c.line) {
            EXPECT_EQ(result, 1) << c.config.baud;
            continue;
        }
        ASSERT_EQ(result, 0) << c.line;
        EXPECT_EQ(bytes(out, len), c.line);
    }
}

TEST(EncodeWriteSerial, LineMustFitOutSize)
{
    char out[30];
    uint8_t len = 0;
    EXPECT_EQ(EncodeWriteSerial(serial(115200, 8, 0, 1, 0), out, 12, &len), 1);
    EXPECT_EQ(EncodeWriteSerial(serial(115200, 8, 0, 1, 0), out, 13, &len), 0);
    EXPECT_EQ(len, 13);
}

CanConfig can(int32_t rate, uint32_t id, uint32_t mask, uint8_t idType, uint8_t dar, uint8_t abor)
{
    CanConfig c;
    c.rate = rate;
    c.id = id;
    c.mask = mask;
    c.idType = idType;
    c.dar = dar;
    c.abor = abor;
    return c;
}

struct CanCase {
    CanConfig config;
    const char* line;
};

TEST(EncodeWriteCan, Table)
{
    const CanCase cases[] = {
        {can(500, 0x123, 0x7FF, 3, 0, 0), "WCA,500,123,7FF,0\r"},
        {can(10, 0, 0, 3, 1, 0), "WCA,10,000,000,1\r"},
        {can(125, 0, 0x1FFFFFFF, 8, 1, 1), "WCB,125,00000000,1FFFFFFF,3\r"},
        {can(9999, 0x1ABCDEF0, 0x12, 8, 0, 7), "WCB,9999,1ABCDEF0,00000012,2\r"},
        {can(9, 0, 0, 3, 0, 0), nullptr},
        {can(10000, 0, 0, 3, 0, 0), nullptr},
        {can(-1, 0, 0, 3, 0, 0), nullptr},
        {can(500, 0x800, 0, 3, 0, 0), nullptr},
        {can(500, 0, 0x800, 3, 0, 0), nullptr},
        {can(500, 0x20000000, 0, 8, 0, 0), nullptr},
        {can(500, 0, 0, 4, 0, 0), nullptr},
        {can(500, 0, 0, 0, 0, 0), nullptr},
    };
    for (const auto& c : cases) {
        char out[30];
        uint8_t len = 0;
        uint8_t result = EncodeWriteCan(c.config, out, 30, &len);
        if (!c.line) {
            EXPECT_EQ(result, 1) << c.config.rate << " " << c.config.id << " " << c.config.mask;
            continue;
        }
        ASSERT_EQ(result, 0) << c.line;
        EXPECT_EQ(bytes(out, len), c.line);
    }
}

TEST(EncodeWriteCan, LongestLineIsTwentyNineBytes)
{
    char out[30];
    uint8_t len = 0;
    const auto c = can(1000, 0x1FFFFFFF, 0x1FFFFFFF, 8, 1, 1);
    EXPECT_EQ(EncodeWriteCan(c, out, 28, &len), 1);
    ASSERT_EQ(EncodeWriteCan(c, out, 29, &len), 0);
    EXPECT_EQ(len, 29);
}

TEST(EncodeShortCommands, ThreeBytesEach)
{
    using Builder = uint8_t (*)(char*, uint8_t, uint8_t*);
    const struct {
        Builder build;
        const char* line;
    } cases[] = {
        {EncodeReadSerial, "RS\r"}, {EncodeReadCan, "RC\r"},         {EncodeSave, "SV\r"},
        {EncodeFirmwareUpgrade, "FU\r"}, {EncodeFirmwareVersion, "FV\r"},
    };
    for (const auto& c : cases) {
        char out[30];
        uint8_t len = 0;
        ASSERT_EQ(c.build(out, 30, &len), 0);
        EXPECT_EQ(bytes(out, len), c.line);
        EXPECT_EQ(c.build(out, 3, &len), 0);
        EXPECT_EQ(c.build(out, 2, &len), 1) << c.line;
    }
    char out[3];
    uint8_t len = 0;
    ASSERT_EQ(EncodeReadHeader(out, &len), 0);
    EXPECT_EQ(bytes(out, len), "RH\r");
}

TEST(EncodeWriteHeader, SevenBytesZeroBytesIncluded)
{
    char out[7];
    ASSERT_EQ(EncodeWriteHeader(out, 't', 'T', 'e', 'E'), 0);
    EXPECT_EQ(bytes(out, 7), "WHtTeE\r");
    ASSERT_EQ(EncodeWriteHeader(out, 0, 'x', 0, 'y'), 0);
    EXPECT_EQ(bytes(out, 7), std::string("WH\0x\0y\r", 7));
}

struct SerialReplyCase {
    std::string reply;
    bool ok;
    SerialConfig expect;
};

TEST(DecodeSerialReply, Table)
{
    const SerialReplyCase cases[] = {
        {"N8N19600\r", true, serial(9600, 8, 0, 1, 0)},
        {"H8E2115200\r", true, serial(115200, 8, 2, 2, 1)},
        {"N8O1300\r", true, serial(300, 8, 3, 1, 0)},
        {"N8S11200\r", true, serial(1200, 8, 4, 1, 0)},
        {"N8M1921600\r", true, serial(921600, 8, 5, 1, 0)},
        {"N8N1\r", true, serial(0, 8, 0, 1, 0)},
        {"N8N19650\r", false, {}},
        {"X8N19600\r", false, {}},
        {"N7N19600\r", false, {}},
        {"N8X19600\r", false, {}},
        {"N8N39600\r", false, {}},
        {"N8N", false, {}},
        // 2^32 + 100 would wrap to a plausible 100.
        {"N8N14294967396\r", false, {}},
        {"N8N14294967200\r", true, serial(4294967200u, 8, 0, 1, 0)},
    };
    for (const auto& c : cases) {
        SerialConfig out = serial(1, 2, 3, 4, 5);
        uint8_t result = DecodeSerialReply(&out, c.reply.data(), static_cast<uint8_t>(c.reply.size()));
        ASSERT_EQ(result, c.ok ? 0 : 1) << c.reply;
        const SerialConfig& want = c.ok ? c.expect : serial(1, 2, 3, 4, 5);
        EXPECT_EQ(out.baud, want.baud) << c.reply;
        EXPECT_EQ(out.dataBits, want.dataBits) << c.reply;
        EXPECT_EQ(out.parity, want.parity) << c.reply;
        EXPECT_EQ(out.stopBits, want.stopBits) << c.reply;
        EXPECT_EQ(out.flowControl, want.flowControl) << c.reply;
    }
}

TEST(DecodeSerialReply, ReadsOnlyCountBytes)
{
    // Beyond the six given bytes lie digits that would make 12 (not a
    // multiple of 100) or 9600.
    const char buffer[] = "N8N10012";
    SerialConfig out;
    ASSERT_EQ(DecodeSerialReply(&out, buffer, 6), 0);
    EXPECT_EQ(out.baud, 0u);
    const char more[] = "N8N19600";
    ASSERT_EQ(DecodeSerialReply(&out, more, 7), 1); // 960
}

struct CanReplyCase {
    std::string reply;
    bool ok;
    CanConfig expect;
};

TEST(DecodeCanReply, Table)
{
    const CanReplyCase cases[] = {
        {"A,500,123,7FF,0\r", true, can(500, 0x123, 0x7FF, 3, 0, 0)},
        {"A,10,000,000,1\r", true, can(10, 0, 0, 3, 1, 0)},
        {"A,1000,7ff,000,2\r", true, can(1000, 0x7FF, 0, 3, 0, 1)},
        {"B,125,00000000,1FFFFFFF,3\r", true, can(125, 0, 0x1FFFFFFF, 8, 1, 1)},
        {"B,50,12345678,00000000,0\r", true, can(50, 0x12345678, 0, 8, 0, 0)},
        {"B,1000,1ABCDEF0,00000012,2\r", true, can(1000, 0x1ABCDEF0, 0x12, 8, 0, 1)},
        // Empty fields between adjacent commas do not count.
        {"A,,500,123,7FF,0\r", true, can(500, 0x123, 0x7FF, 3, 0, 0)},
        // Length windows: 15 to 17 for A, 25 to 27 for B.
        {"A,500,123,7FF,00\r\r", false, {}},
        {"A,5,123,7FF,0\r", false, {}},
        {"B,5,12345678,00000000,0\r", false, {}},
        {"C,500,123,7FF,0\r", false, {}},
        // Fewer than four fields after the letter.
        {"A,5000000,7FF0\r", false, {}},
        {"B,125,000000001FFFFFFF3\r\r", false, {}},
        // More than four.
        {"A,1,123,7FF,0,1\r", false, {}},
        // Identifier or mask not as wide as the type.
        {"A,500,12,7FF,00\r", false, {}},
        {"A,50,1234,7FF,0\r", false, {}},
        {"A,50,123,7FFF,0\r", false, {}},
        {"B,125,0000000,01FFFFFFF,3\r", false, {}},
        // A field longer than nine characters.
        {"B,1234567890,12345678,1,1\r", false, {}},
        {"B,1234567890123456789012\r", false, {}},
    };
    for (const auto& c : cases) {
        CanConfig out = can(-5, 0xAAAA, 0xBBBB, 77, 9, 9);
        uint8_t result = DecodeCanReply(&out, c.reply.data(), static_cast<uint8_t>(c.reply.size()));
        ASSERT_EQ(result, c.ok ? 0 : 1) << c.reply;
        const CanConfig want = c.ok ? c.expect : can(-5, 0xAAAA, 0xBBBB, 77, 9, 9);
        EXPECT_EQ(out.rate, want.rate) << c.reply;
        EXPECT_EQ(out.id, want.id) << c.reply;
        EXPECT_EQ(out.mask, want.mask) << c.reply;
        EXPECT_EQ(out.idType, want.idType) << c.reply;
        EXPECT_EQ(out.dar, want.dar) << c.reply;
        EXPECT_EQ(out.abor, want.abor) << c.reply;
    }
}

TEST(DecodeCanReply, SplitsWithinLengthOnly)
{
    // The 15 given bytes hold three fields after the letter; the bytes
    // beyond them would complete a well-formed reply.
    const char buffer[] = "A,50,123,7FF,,,1\r";
    CanConfig out;
    EXPECT_EQ(DecodeCanReply(&out, buffer, 15), 1);
}

TEST(Codec, EncodedWritesParseBackAsReplies)
{
    char out[30];
    uint8_t len = 0;
    const auto s = serial(57600, 8, 3, 2, 1);
    ASSERT_EQ(EncodeWriteSerial(s, out, 30, &len), 0);
    SerialConfig back;
    ASSERT_EQ(DecodeSerialReply(&back, out + 2, static_cast<uint8_t>(len - 2)), 0);
    EXPECT_EQ(back.baud, s.baud);
    EXPECT_EQ(back.parity, s.parity);
    EXPECT_EQ(back.stopBits, s.stopBits);
    EXPECT_EQ(back.flowControl, s.flowControl);

    const auto c = can(800, 0x1234567, 0x1FFFFFFF, 8, 0, 1);
    ASSERT_EQ(EncodeWriteCan(c, out, 30, &len), 0);
    CanConfig cback;
    ASSERT_EQ(DecodeCanReply(&cback, out + 2, static_cast<uint8_t>(len - 2)), 0);
    EXPECT_EQ(cback.rate, c.rate);
    EXPECT_EQ(cback.id, c.id);
    EXPECT_EQ(cback.mask, c.mask);
    EXPECT_EQ(cback.abor, 1);
    EXPECT_EQ(cback.dar, 0);
}

} // namespace
