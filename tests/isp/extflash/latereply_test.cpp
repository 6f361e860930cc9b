// A loader that takes longer than the long time-out: its late reply answers
// only the command it was meant for, never a retry of another one or the
// next command.
#include "tests/isp/extflash/extflashfixture.h"

#include <chrono>
#include <sstream>
#include <vector>

namespace {

using sim::loader::LoaderCommand;

// Every erase outlasts the long time-out, yet comes well within the five
// catch-up waits that follow it.
constexpr int kLongTimeoutMs = 400;
constexpr auto kEraseTime = std::chrono::milliseconds(1000);
// Long enough for any late line once the test no longer plays a slow part.
constexpr int kRoomyTimeoutMs = 10000;

sim::LoaderSim* g_sim = nullptr;

// From block 3 on, every erase is refused.
int refuseFromBlock3(int event, int value, int, int)
{
    if (event == 1 && value == 3)
        g_sim->setFaults({1000, 0, 0, false});
    return 1;
}

class LateReplyTest : public exttest::ExtFlashTest {
protected:
    void connectSlowLoader()
    {
        connectLoader();
        g_sim = sim.get();
        sim->setEraseTime(kEraseTime);
        qz::session().longTimeoutMs = kLongTimeoutMs;
    }

    // Programs four bytes at the flash start under a roomy time-out.
    void programData()
    {
        sim->setFaults({});
        qz::session().longTimeoutMs = kRoomyTimeoutMs;
        const std::vector<std::uint8_t> data = {0x12, 0x34, 0x56, 0x78};
        const std::string file = writeText("data.hex", sim::loader::hexText(desc.flashStart, data));
        const IspResult* r = qz_program(file.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0);
        ASSERT_EQ(r->status, 1) << r->text;
        const std::vector<std::uint8_t> f = sim->flash();
        EXPECT_TRUE(std::equal(data.begin(), data.end(), f.begin()));
    }

    int commandsOf(std::uint8_t op) const
    {
        int n = 0;
        for (const LoaderCommand& c : sim->commands())
            n += c.op == op;
        return n;
    }
};

TEST_F(LateReplyTest, ASlowBlockEraseIsNotAnsweredByTheOneBefore)
{
    connectSlowLoader();
    const IspResult* r = qz_erase(0, 0xAu, 0, refuseFromBlock3, 0, nullptr); // blocks 1 and 3
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (Failed to erase block 3.)");
    // Block 1's late "OK" answered block 1, which was sent only once.
    const std::vector<LoaderCommand> c = sim->commands();
    ASSERT_FALSE(c.empty());
    EXPECT_EQ(c[0].address, desc.flashStart + desc.eraseBlockSize);
    EXPECT_TRUE(c[0].accepted);
    for (std::size_t i = 1; i < c.size(); ++i)
        EXPECT_EQ(c[i].address, desc.flashStart + 3 * desc.eraseBlockSize) << i;
    // The refusal still owed to the last try does not answer the program.
    programData();
}

TEST_F(LateReplyTest, AReplyThatComesAfterTheNameAnswersOnlyItsOwnBlock)
{
    connectSlowLoader();
    sim::loader::LoaderFaults late;
    late.lateReplies = 1; // block 1's "OK" follows the name that answers the query
    sim->setFaults(late);
    const IspResult* r = qz_erase(0, 0xAu, 0, refuseFromBlock3, 0, nullptr); // blocks 1 and 3
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (Failed to erase block 3.)");
    const std::vector<LoaderCommand> c = sim->commands();
    ASSERT_FALSE(c.empty());
    EXPECT_EQ(c[0].address, desc.flashStart + desc.eraseBlockSize);
    for (std::size_t i = 1; i < c.size(); ++i) {
        EXPECT_EQ(c[i].address, desc.flashStart + 3 * desc.eraseBlockSize) << i;
        EXPECT_FALSE(c[i].accepted) << i;
    }
    programData();
}

struct LostOnTheLine {
    const char* name;
    int lostQueries;
    int spoiledNames;
};

TEST_F(LateReplyTest, ALostQueryOrNameCostsOneTryNotTheSession)
{
    connectSlowLoader();
    const LostOnTheLine cases[] = {{"the query", 1, 0}, {"a byte of the name", 0, 1}};
    int block = 1;
    for (const LostOnTheLine& l : cases) {
        sim::loader::LoaderFaults f;
        f.lostQueries = l.lostQueries;
        f.spoiledNames = l.spoiledNames;
        sim->setFaults(f);
        sim->clearRecords();
        const IspResult* r = qz_erase(0, 1u << block, 0, nullptr, 0, nullptr);
        EXPECT_EQ(r->status, 1) << l.name << ": " << r->text;
        const std::vector<LoaderCommand> c = sim->commands();
        ASSERT_EQ(c.size(), 1u) << l.name; // the late "OK" answered it: sent once
        EXPECT_EQ(c[0].address, desc.flashStart + block * desc.eraseBlockSize) << l.name;
        ++block;
    }
    programData();
}

TEST_F(LateReplyTest, ALineThatIsNoReplyLeavesNothingForTheNextCommand)
{
    connectLoader();
    sim::loader::LoaderFaults noise;
    noise.noisyReplies = 1; // noise ahead of block 1's "OK"
    sim->setFaults(noise);
    const IspResult* r = qz_erase(0, 0x2u, 0, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, 1) << r->text;
    sim->setFaults({1000, 0, 0, false}); // from now on every erase is refused
    r = qz_erase(0, 0x4u, 0, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (Failed to erase block 2.)");
    programData();
}

// Reads that ran their whole time out under the long time-outs, in a log.
int longWaitsRunOut(const std::string& log)
{
    std::istringstream in(log);
    bool underLong = false;
    int n = 0;
    for (std::string line; std::getline(in, line);) {
        if (line == "debug> timeouts set to long")
            underLong = true;
        else if (line == "debug> timeouts set to short")
            underLong = false;
        else
            n += underLong && line == "debug> ReadFile - not enough or too many bytes read";
    }
    return n;
}

TEST_F(LateReplyTest, AReplyLostForGoodCostsItsTryOneLongWaitAndTheRetrySucceeds)
{
    connectLoader();
    qz::session().longTimeoutMs = 3000; // room for the name on a loaded machine
    qz::session().shortTimeoutMs = 300;
    porttest::DebugLogFile log;
    ASSERT_TRUE(log.open("qzlatereplytest"));
    sim::loader::LoaderFaults lost;
    lost.lostReplies = 1; // block 1's "OK" never comes
    sim->setFaults(lost);
    const IspResult* r = qz_erase(0, 0x2u, 0, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(commandsOf(2), 2);
    // The loader's name shows it idle: the catch-up does not wait out the
    // rest of a long time-out for the lost reply on top of the first try's.
    EXPECT_EQ(longWaitsRunOut(log.text()), 1);
    qz::session().debugLog = 0;
    log.remove();
    qz::session().shortTimeoutMs = qz::kDefaultShortTimeoutMs;
    programData();
}

TEST_F(LateReplyTest, ASlowWholeEraseIsSentOnceAndLeavesTheLineToTheProgram)
{
    connectSlowLoader();
    sim->setFlash(std::vector<std::uint8_t>(flashSize(), 0x00));
    const IspResult* r = qz_erase(-3, 0, 0, nullptr, 0, nullptr);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(commandsOf(1), 1);
    programData();
    const std::vector<std::uint8_t> f = sim->flash();
    EXPECT_TRUE(std::all_of(f.begin() + 4, f.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

} // namespace
