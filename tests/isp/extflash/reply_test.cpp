// Reply lines from the loader: the line feed after the CR, pushed-back
// bytes, and lines that never end or run long.
#include "isp/extflash/reply.h"
#include "tests/isp/extflash/extflashfixture.h"

#include <atomic>
#include <thread>

namespace {

class ReplyTest : public exttest::ExtFlashTest {
protected:
    void SetUp() override
    {
        ExtFlashTest::SetUp();
        ASSERT_TRUE(pty.ok());
        ASSERT_EQ(qz::open_port(pty.slavePath().c_str()), 1);
        ASSERT_EQ(qz::configure_port(115200, 0), 1);
        qz::set_comm_timeouts(2000, 2000);
    }
    void TearDown() override
    {
        qz::close_port();
        ExtFlashTest::TearDown();
    }

    std::string line(int* ok = nullptr)
    {
        char buf[qz::ext::kReplyBufferSize];
        const int r = qz::ext::loader_read_reply_line(buf);
        if (ok)
            *ok = r;
        return r ? std::string(buf) : std::string("<none>");
    }

    sim::Pty pty;
};

TEST_F(ReplyTest, LinesMapToTheirCodes)
{
    ASSERT_TRUE(pty.writeAll(std::string("OK\r\nKELDMARVOS\r\nPROGOK\r\nVERIFY\r\nERROR\r\nok\r\nOK \r\n")));
    for (int code : {1, 2, 3, 4, 5, 0, 0})
        EXPECT_EQ(qz::ext::read_reply_code(), code);
}

TEST_F(ReplyTest, AByteOtherThanLineFeedAfterTheCrIsKeptForTheNextLine)
{
    ASSERT_TRUE(pty.writeAll(std::string("OK\rPROGOK\r\n")));
    EXPECT_EQ(line(), "OK");
    EXPECT_EQ(line(), "PROGOK");
}

TEST_F(ReplyTest, ACrWithNothingAfterItStillEndsTheLine)
{
    ASSERT_TRUE(pty.writeAll(std::string("OK\r")));
    EXPECT_EQ(line(), "OK");
    // A late line feed is the end of that line, not the start of the next.
    ASSERT_TRUE(pty.writeAll(std::string("\nPROGOK\r\n")));
    EXPECT_EQ(line(), "PROGOK");
}

TEST_F(ReplyTest, ALineWithoutCrWithin256BytesFails)
{
    ASSERT_TRUE(pty.writeAll(std::string(300, 'X') + "\r\n"));
    int ok = 1;
    line(&ok);
    EXPECT_EQ(ok, 0);
}

TEST_F(ReplyTest, DroppedLineFeedsCountTowardsTheBound)
{
    // A line feed that opens a line is dropped, yet a line of nothing else
    // must not keep the reader going.
    ASSERT_TRUE(pty.writeAll(std::string(300, '\n') + "OK\r\n"));
    int ok = 1;
    line(&ok);
    EXPECT_EQ(ok, 0);
}

TEST_F(ReplyTest, ALineThatTricklesInIsBoundedByOneReadTimeout)
{
    // A byte every 20 ms, each within the 200 ms time-out: the line as a
    // whole is over long before 256 bytes have come.
    qz::set_comm_timeouts(200, 200);
    std::atomic<bool> stop{false};
    std::atomic<int> written{0};
    std::thread feeder([&] {
        while (!stop.load() && written.load() < 400) {
            if (!pty.writeAll("X", 1))
                break;
            ++written;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    int ok = 1;
    line(&ok);
    stop = true;
    feeder.join();
    EXPECT_EQ(ok, 0);
    qz::set_comm_timeouts(100, 100);
    char rest[512];
    unsigned left = 0;
    qz::port_receive(rest, sizeof rest, &left);
    EXPECT_LT(written.load() - static_cast<int>(left), static_cast<int>(qz::ext::kMaxReplyBytes));
}

TEST_F(ReplyTest, ALongLineIsCutToTheBuffer)
{
    ASSERT_TRUE(pty.writeAll(std::string(200, 'Y') + "\r\nOK\r\n"));
    EXPECT_EQ(line(), std::string(qz::ext::kReplyBufferSize - 1, 'Y'));
    EXPECT_EQ(line(), "OK");
}

TEST_F(ReplyTest, SilenceFailsWithinTheReadTimeout)
{
    qz::set_comm_timeouts(50, 50);
    int ok = 1;
    line(&ok);
    EXPECT_EQ(ok, 0);
}

} // namespace
