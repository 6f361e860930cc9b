// The protocol engine's memory transfers on a pty against a scripted boot
// ROM: chunking, checksums and the RESEND limits of reads and writes, and
// the protected ranges.
#include "tests/isp/cortex/enginefixture.h"

#include "isp/cortex/memtransfer.h"
#include "isp/cortex/uucodec.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace qz;
using enginetest::EngineTest;

namespace {

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

} // namespace
