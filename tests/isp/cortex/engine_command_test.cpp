// The protocol engine's commands on a pty against a scripted boot ROM:
// erasing each sector of the table, and a missing, late or failing reply.
#include "tests/isp/cortex/enginefixture.h"

#include "isp/cortex/isp_commands.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <string>
#include <unistd.h>

using namespace qz;
using enginetest::EngineTest;

namespace {

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

TEST_F(EngineTest, ALateEraseReplyIsNotTakenForTheRetrysEcho)
{
    std::atomic<int> erases{0};
    part.onLine = [&erases](const std::string& line) {
        // The first erase outlasts the time-out.
        if (line.rfind("E ", 0) == 0 && erases++ == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        return std::string("0\r\n");
    };
    part.start();
    ASSERT_EQ(set_comm_timeouts(300, 300), 1);
    EXPECT_EQ(erase_block(1), -18);
    // Room for the late reply to come while the retry waits it out.
    ASSERT_EQ(set_comm_timeouts(5000, 5000), 1);
    EXPECT_EQ(erase_block(1), 1);
    EXPECT_EQ(erases, 2);
}

} // namespace
