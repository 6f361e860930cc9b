// The protocol engine on a pty against a scripted boot ROM: reply lines and
// the line-feed wait, push-back, bounded lines and echoes, half duplex, the
// oscillator line, the autobaud results, and the chunking, checksums and
// RESEND limits of the memory transfers.
#include "tests/isp/portfixture.h"
#include "tests/isp/scriptedpart.h"

#include "isp/core/devicetable.h"
#include "isp/core/isp_commands.h"
#include "isp/core/isp_connect.h"
#include "isp/core/isp_line.h"
#include "isp/core/isp_reply.h"
#include "isp/core/memtransfer.h"
#include "isp/core/selecteddevice.h"
#include "isp/core/uucodec.h"

#include <cstdlib>
#include <memory>
#include <sstream>

using namespace qz;

namespace {

constexpr int kLpc11c24 = 4022;
constexpr int kLpc810 = 20000; // CR LF line ends

std::vector<std::string> split(const std::string& s)
{
    std::istringstream in(s);
    std::vector<std::string> out;
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

// The boot ROM's answer to "R addr count" over `memory` (based at 0).
std::string uuBlock(const std::vector<std::uint8_t>& memory, std::uint32_t addr, std::uint32_t count)
{
    std::string out;
    unsigned long sum = 0;
    char line[80];
    for (std::uint32_t done = 0; done < count; done += 45) {
        const std::uint32_t n = std::min<std::uint32_t>(45, count - done);
        uu_encode_line(memory.data() + addr + done, n, line);
        out += line;
        out += "\r\n";
        for (std::uint32_t i = 0; i < n; ++i)
            sum += memory[addr + done + i];
    }
    return out + std::to_string(sum) + "\r\n";
}

class EngineTest : public porttest::PortFixture {
protected:
    void SetUp() override
    {
        PortFixture::SetUp();
        selectDevice(kLpc11c24);
        ASSERT_EQ(open_port(pty.slavePath().c_str()), 1);
        ASSERT_EQ(configure_port(115200, 0), 1);
        use_short_timeouts();
        pty.drain();
        rec.take();
    }
    void TearDown() override
    {
        part.stop();
        PortFixture::TearDown();
    }
    static void selectDevice(int id)
    {
        session().deviceIndex = cortex_device_index(id);
        session().flashBank = 0;
        select_sector_table();
    }
    bool slept(unsigned ms)
    {
        for (const std::string& e : rec.take())
            if (e == "sleep " + std::to_string(ms))
                return true;
        return false;
    }

    enginetest::ScriptedPart part{pty};
};

// ---- reply lines ------------------------------------------------------------

TEST_F(EngineTest, MissingLineFeedEndsTheLineAfterTheShortWait)
{
    pty.writeAll("OK\r");
    char line[kReplyLineSize];
    ASSERT_EQ(read_response_line(line, sizeof line), 1);
    EXPECT_STREQ(line, "OK");
    EXPECT_TRUE(logged("Line feed missing, continuing..."));
}

TEST_F(EngineTest, ByteInPlaceOfTheLineFeedIsPushedBack)
{
    pty.writeAll("0\r5\r\n");
    char line[kReplyLineSize];
    ASSERT_EQ(read_response_line(line, sizeof line), 1);
    EXPECT_STREQ(line, "0");
    EXPECT_TRUE(logged("Line feed missing, pushing character back to rx buffer"));
    ASSERT_EQ(read_response_line(line, sizeof line), 1);
    EXPECT_STREQ(line, "5");
}

TEST_F(EngineTest, ReplyLineThatDoesNotFitFailsWithoutOverrun)
{
    pty.writeAll(std::string(300, 'A') + "\r\n");
    auto line = std::make_unique<char[]>(kReplyLineSize); // exact size: ASan sees any overrun
    EXPECT_EQ(read_response_line(line.get(), kReplyLineSize), 0);
    EXPECT_EQ(line[0], '\0');
    // A line of exactly the room left still fits.
    purge_port(0);
    pty.writeAll(std::string(kReplyLineSize - 1, 'B') + "\r\n");
    ASSERT_EQ(read_response_line(line.get(), kReplyLineSize), 1);
    EXPECT_EQ(std::string(line.get()), std::string(kReplyLineSize - 1, 'B'));
}

TEST_F(EngineTest, ResponseKeywords)
{
    const struct {
        const char* line;
        int code;
    } cases[] = {{"OK", 2},   {"Synchronized", 3}, {"RESEND", 24}, {"0", 4},   {"8", 12},
                 {"19", 23},  {"20", 0},          {"ok", 0},      {"OK ", 0}, {"", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(response_code(c.line), c.code) << c.line;
}

// ---- echo ------------------------------------------------------------------

TEST_F(EngineTest, EchoIsReadAndLeftInTheReplyBuffer)
{
    part.onLine = [](const std::string&) { return std::string("0\r\n"); };
    part.start();
    char echo[kReplyLineSize];
    ASSERT_EQ(send_command(echo, sizeof echo, "P %d %d", 0, 7), 1);
    EXPECT_STREQ(echo, "P 0 7");
    char reply[kReplyLineSize];
    ASSERT_EQ(read_response_line(reply, sizeof reply), 1);
    EXPECT_STREQ(reply, "0");
    EXPECT_EQ(part.lines(), std::vector<std::string>{"P 0 7"});
}

TEST_F(EngineTest, EchoThatNeverEndsFailsWithoutOverrun)
{
    part.echo = false;
    part.onLine = [](const std::string&) { return std::string(500, 'x'); };
    part.start();
    auto echo = std::make_unique<char[]>(kReplyLineSize);
    EXPECT_EQ(send_command(echo.get(), kReplyLineSize, "J"), 0);
}

TEST_F(EngineTest, CrLfPartsTakeTheLineFeedOfTheEcho)
{
    selectDevice(kLpc810);
    part.crlf = true;
    part.onLine = [](const std::string&) { return std::string("0\r\n"); };
    part.start();
    char echo[kReplyLineSize];
    ASSERT_EQ(send_command(echo, sizeof echo, "U 23130"), 1);
    EXPECT_STREQ(echo, "U 23130");
    char reply[kReplyLineSize];
    ASSERT_EQ(read_response_line(reply, sizeof reply), 1);
    EXPECT_STREQ(reply, "0");
    EXPECT_FALSE(logged("Line feed missing"));
    EXPECT_EQ(session().echoLineFeedState, 0);
}

TEST_F(EngineTest, HalfDuplexWaitsForEachEchoBeforeTheNextCharacter)
{
    session().halfDuplex = 1;
    part.strictHalfDuplex = true;
    part.onLine = [](const std::string& line) {
        return line == "J" ? std::string("0\r\n1234\r\n") : std::string();
    };
    part.start();
    char id[kReplyLineSize];
    ASSERT_EQ(read_part_id(id, sizeof id), 1);
    EXPECT_STREQ(id, "1234");
    EXPECT_EQ(part.burstReads, 0);
    EXPECT_EQ(part.lines(), std::vector<std::string>{"J"});
}

// ---- handshake ---------------------------------------------------------------

TEST_F(EngineTest, OscillatorIsSentInWholeKilohertz)
{
    part.onLine = [](const std::string&) { return std::string("OK\r\n"); };
    part.start();
    EXPECT_EQ(send_oscillator_frequency(14.7456), 1);
    EXPECT_EQ(part.lines(), std::vector<std::string>{"14745"});
}

TEST_F(EngineTest, OscillatorNotAcceptedFails)
{
    part.onLine = [](const std::string&) { return std::string("1\r\n"); };
    part.start();
    EXPECT_EQ(send_oscillator_frequency(12.0), -18);
}

struct AutobaudCase {
    const char* name;
    bool highSpeed;
    // How the part answers the sync character: "sync" (a fresh boot ROM),
    // "echo" (already in command mode), "none".
    const char* answer;
    bool commsCheckEchoed; // at the high rate
    int result;
    long baud;
};

class AutobaudTest : public EngineTest, public ::testing::WithParamInterface<AutobaudCase> {};

TEST_P(AutobaudTest, Result)
{
    const AutobaudCase& c = GetParam();
    const std::string answer = c.answer;
    part.echo = answer == "echo";
    part.onByte = [&, answer](unsigned char b, std::string& out) {
        if (b != '?')
            return false;
        if (answer == "sync")
            out = "Synchronized\r\n";
        else if (answer == "echo")
            out = "?";
        return true;
    };
    part.onLine = [&](const std::string& line) {
        if (line == "comms check")
            return std::string(c.commsCheckEchoed ? "0\r\n" : "");
        return std::string("1\r\n");
    };
    if (!c.commsCheckEchoed) {
        // The echo at the wrong rate comes back garbled.
        part.echo = false;
        part.onLine = [](const std::string& line) {
            return line == "comms check" ? std::string("c\x80mms\r") : std::string("\r1\r\n");
        };
    }
    part.start();
    long baud = 0;
    const AutobaudSettings settings{50, 150, 5};
    EXPECT_EQ(autobaud_sync(12.0, c.highSpeed, 9600, 230400, settings, &baud), c.result);
    EXPECT_EQ(baud, c.baud);
    if (c.result == 0 && std::string(c.answer) == "none") {
        EXPECT_EQ(part.lines().size(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Results, AutobaudTest,
    ::testing::Values(AutobaudCase{"NoAnswer", false, "none", true, 0, 9600},
                      AutobaudCase{"FreshBootRom", false, "sync", true, 1, 9600},
                      AutobaudCase{"InCommandMode", false, "echo", true, 2, 9600},
                      AutobaudCase{"InCommandModeAtTheHighRate", true, "echo", true, 2, 230400},
                      AutobaudCase{"HighRateProbeFails", true, "echo", false, 3, 9600}),
    [](const ::testing::TestParamInfo<AutobaudCase>& i) { return std::string(i.param.name); });

TEST_F(EngineTest, MaximumBaudIsTheUsersLimitWhenLower)
{
    EXPECT_EQ(select_max_baudrate(12.0, 9600, 230400), 230400);
    EXPECT_EQ(select_max_baudrate(12.0, 9600, 57600), 57600);
    EXPECT_EQ(select_max_baudrate(12.0, 9600, 9600), 0);
    EXPECT_EQ(select_max_baudrate(12.0, 230400, 230400), 0);
    EXPECT_EQ(select_max_baudrate(12.0, 9600, 100000), 0) << "not a listed rate";
    EXPECT_TRUE(logged("max baudrate not found in list of supported baudrates"));
    EXPECT_EQ(baudrate_error(12.0, 115200), 0.0);
}

// ---- memory transfer ------------------------------------------------------

class TransferTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        memory.resize(0x8000);
        for (std::size_t i = 0; i < memory.size(); ++i)
            memory[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
    }
    // Answers "R" from `memory`; `badLines` UU answers get a wrong length character.
    void serveReads(int badLines)
    {
        part.onLine = [this, badLines](const std::string& line) mutable {
            const auto t = split(line);
            if (!t.empty() && t[0] == "R" && t.size() == 3) {
                last = {static_cast<std::uint32_t>(std::stoul(t[1])), static_cast<std::uint32_t>(std::stoul(t[2]))};
                return "0\r\n" + block(badLines);
            }
            if (line == "RESEND")
                return block(badLines);
            return std::string();
        };
    }
    std::string block(int& badLines)
    {
        std::string b = uuBlock(memory, last.first, last.second);
        if (badLines > 0) {
            --badLines;
            b[0] = 'A'; // announces 33 bytes on a line that carries 45
        }
        return b;
    }
    std::vector<std::string> commandsStartingWith(char c)
    {
        std::vector<std::string> out;
        for (const std::string& l : part.lines())
            if (!l.empty() && l[0] == c && l.size() > 1 && l[1] == ' ')
                out.push_back(l);
        return out;
    }

    std::vector<std::uint8_t> memory;
    std::pair<std::uint32_t, std::uint32_t> last;
};

TEST_F(TransferTest, ReadsInChunksOf900)
{
    serveReads(0);
    part.start();
    std::vector<std::uint8_t> out(1000);
    ASSERT_EQ(read_memory(0x1000, 0x1000 + 999, out.data()), 1);
    EXPECT_EQ(commandsStartingWith('R'), (std::vector<std::string>{"R 4096 900", "R 4996 100"}));
    EXPECT_TRUE(std::equal(out.begin(), out.end(), memory.begin() + 0x1000));
}

TEST_F(TransferTest, UnalignedReadAsksForWholeWordsAndKeepsOnlyTheBytesAsked)
{
    serveReads(0);
    part.start();
    std::vector<std::uint8_t> out(3, 0xEE);
    ASSERT_EQ(read_memory(0x2FD, 0x2FF, out.data()), 1);
    EXPECT_EQ(commandsStartingWith('R').front(), "R 764 4");
    EXPECT_EQ(out, (std::vector<std::uint8_t>{memory[0x2FD], memory[0x2FE], memory[0x2FF]}));
}

TEST_F(TransferTest, LineWithAWrongLengthCharacterIsAskedForAgain)
{
    serveReads(2);
    part.start();
    std::vector<std::uint8_t> out(512);
    ASSERT_EQ(read_memory(0x4000, 0x41FF, out.data()), 1);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), memory.begin() + 0x4000));
    const auto lines = part.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "RESEND"), 2);
}

TEST_F(TransferTest, ThirdChecksumFailureGivesUp)
{
    serveReads(3);
    part.start();
    std::vector<std::uint8_t> out(512);
    EXPECT_EQ(read_memory(0x4000, 0x41FF, out.data()), -18);
    EXPECT_TRUE(logged("Giving up - had to request resend of chunk too many times..."));
}

TEST_F(TransferTest, ProtectedReadIsCodeReadProtection)
{
    part.onLine = [](const std::string&) { return std::string("19\r\n"); };
    part.start();
    std::uint8_t out[4];
    EXPECT_EQ(read_memory(0x2FC, 0x2FF, out), -21);
}

// Collects "W" data as the boot ROM would: UU lines, checksum, then the
// script's answer for that checksum.
class WriteTest : public TransferTest {
protected:
    void serveWrites(std::vector<std::string> checksumAnswers)
    {
        part.onLine = [this, answers = std::move(checksumAnswers)](const std::string& line) mutable {
            const auto t = split(line);
            if (!t.empty() && t[0] == "W" && t.size() == 3) {
                target = static_cast<std::uint32_t>(std::stoul(t[1]));
                expected = static_cast<std::uint32_t>(std::stoul(t[2]));
                block.clear();
                return std::string("0\r\n");
            }
            if (expected > 0 && block.size() < expected) {
                std::uint8_t bytes[45];
                const int n = uu_decode_line(line.data(), line.size(), bytes, sizeof bytes);
                if (n > 0)
                    block.insert(block.end(), bytes, bytes + n);
                return std::string();
            }
            if (expected > 0) {
                std::string answer = "OK";
                if (!answers.empty()) {
                    answer = answers.front();
                    answers.erase(answers.begin());
                }
                if (answer == "OK") {
                    written.emplace_back(target, block);
                    expected = 0;
                }
                block.clear();
                return answer + "\r\n";
            }
            return std::string("0\r\n");
        };
    }

    std::uint32_t target = 0;
    std::uint32_t expected = 0;
    std::vector<std::uint8_t> block;
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> written;
};

TEST_F(WriteTest, OddCountIsPaddedInACopy)
{
    serveWrites({});
    part.start();
    std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[5]{1, 2, 3, 4, 5}); // ASan guards the end
    ASSERT_EQ(write_memory(0x10000400, data.get(), 5, false), 1);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].first, 0x10000400u);
    EXPECT_EQ(written[0].second, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(commandsStartingWith('W'), std::vector<std::string>{"W 268436480 8"});
}

TEST_F(WriteTest, ToFlashStagesIn512ByteChunksThenCopies)
{
    serveWrites({});
    part.start();
    std::vector<std::uint8_t> data(memory.begin(), memory.begin() + 1024);
    ASSERT_EQ(write_memory(0x1000, data.data(), data.size(), true), 1);
    EXPECT_EQ(commandsStartingWith('W'),
              (std::vector<std::string>{"W 268436224 512", "W 268436736 512"}));
    EXPECT_EQ(commandsStartingWith('P'), std::vector<std::string>{"P 0 7"});
    EXPECT_EQ(commandsStartingWith('C'), std::vector<std::string>{"C 4096 268436224 1024"});
    ASSERT_EQ(written.size(), 2u);
    EXPECT_TRUE(std::equal(written[0].second.begin(), written[0].second.end(), data.begin()));
    EXPECT_TRUE(std::equal(written[1].second.begin(), written[1].second.end(), data.begin() + 512));
}

TEST_F(WriteTest, TwoResendsInOneCallSucceed)
{
    serveWrites({"RESEND", "OK", "RESEND", "OK"});
    part.start();
    std::vector<std::uint8_t> data(memory.begin(), memory.begin() + 1800);
    ASSERT_EQ(write_memory(0x10000400, data.data(), data.size(), false), 1);
    EXPECT_EQ(commandsStartingWith('W'),
              (std::vector<std::string>{"W 268436480 900", "W 268437380 900"}));
    ASSERT_EQ(written.size(), 2u);
    EXPECT_TRUE(std::equal(written[1].second.begin(), written[1].second.end(), data.begin() + 900));
}

TEST_F(WriteTest, ThirdResendInOneCallFailsEvenAcrossChunks)
{
    serveWrites({"RESEND", "OK", "RESEND", "RESEND"});
    part.start();
    std::vector<std::uint8_t> data(memory.begin(), memory.begin() + 1800);
    EXPECT_EQ(write_memory(0x10000400, data.data(), data.size(), false), -18);
    EXPECT_TRUE(slept(1000));
}

TEST_F(WriteTest, ProtectedWriteIsCodeReadProtection)
{
    part.onLine = [](const std::string&) { return std::string("19\r\n"); };
    part.start();
    const std::uint8_t zeros[4] = {};
    EXPECT_EQ(write_memory(0x10000300, zeros, 4, false), -21);
}

TEST_F(EngineTest, EverySectorOfTheTableCanBeErased)
{
    selectDevice(4070); // LPC11E37/501: 32 sectors of 4 KiB
    ASSERT_EQ(sector_count(), 32);
    part.onLine = [](const std::string&) { return std::string("0\r\n"); };
    part.start();
    EXPECT_EQ(erase_block(31), 1);
    EXPECT_EQ(erase_block(32), -18);
    const auto lines = part.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "P 31 31"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "E 31 31"), lines.end());
}

TEST_F(EngineTest, PrepareWithoutAReplyIsATransferFailure)
{
    part.start(); // echoes, never answers
    ASSERT_EQ(set_comm_timeouts(300, 300), 1);
    EXPECT_EQ(prepare_bank(), -2);
    part.stop();
    purge_port(0);
    part.onLine = [](const std::string&) { return std::string("9\r\n"); };
    part.start();
    EXPECT_EQ(prepare_bank(), -18);
}

TEST_F(EngineTest, MissingReplyAbortsTheCommand)
{
    part.start(); // echoes, never answers
    ASSERT_EQ(set_comm_timeouts(300, 300), 1);
    EXPECT_EQ(unlock_device(), -18);
    EXPECT_TRUE(slept(100));
    for (int i = 0; i < 100 && part.escapes == 0; ++i)
        usleep(10000);
    EXPECT_EQ(part.escapes, 1);
}

} // namespace
