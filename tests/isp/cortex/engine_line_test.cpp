// The protocol engine's line layer on a pty against a scripted boot ROM:
// reply lines and the line-feed wait, push-back, bounded lines and echoes,
// CR LF parts and half duplex.
#include "tests/isp/cortex/enginefixture.h"

#include "isp/cortex/isp_commands.h"
#include "isp/cortex/isp_line.h"
#include "isp/cortex/isp_reply.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace qz;
using enginetest::EngineTest;

namespace {

constexpr int kLpc810 = 20000; // CR LF line ends

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

// A peer that sends one byte at a time with a pause before each, until it
// has sent them all or the test ends.
class Trickle {
public:
    Trickle(sim::Pty& pty, std::string bytes, int gapMs)
        : thread_([this, &pty, bytes, gapMs] {
              for (char c : bytes) {
                  for (int t = 0; t < gapMs && !stop_; t += 10)
                      std::this_thread::sleep_for(std::chrono::milliseconds(10));
                  if (stop_)
                      return;
                  pty.writeAll(&c, 1);
              }
          })
    {
    }
    ~Trickle()
    {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The read time-out bounds the whole line, however steadily bytes trickle
// in: 30 bytes 100 ms apart take 3 s, the line may take 300 ms.
TEST_F(EngineTest, ReplyLineEndsWithinItsTimeOutInTotal)
{
    set_comm_timeouts(300, 300);
    Trickle peer(pty, std::string(30, '7') + "\r\n", 100);
    char line[kReplyLineSize];
    EXPECT_EQ(read_response_line(line, sizeof line), 0);
}

TEST_F(EngineTest, EchoEndsWithinItsTimeOutInTotal)
{
    set_comm_timeouts(300, 300);
    Trickle peer(pty, std::string(30, 'x') + "\r", 100);
    char echo[kReplyLineSize];
    EXPECT_EQ(send_command(echo, sizeof echo, "J"), 0);
}

TEST_F(EngineTest, HalfDuplexEchoEndsWithinItsTimeOutInTotal)
{
    session().halfDuplex = 1;
    set_comm_timeouts(300, 300);
    Trickle peer(pty, std::string(30, 'x') + "\r", 100);
    char echo[kReplyLineSize];
    EXPECT_EQ(send_command(echo, sizeof echo, "J"), 0);
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

} // namespace
