// qz_erase through the loader: the whole flash, the blocks a HEX file
// touches, a block mask, retries and refusals.
#include "tests/isp/extflash/extflashfixture.h"

#include <vector>

namespace {

using sim::loader::LoaderCommand;

struct Calls {
    std::vector<std::pair<int, int>> events;
    int cancelAt = -1; // the call index that answers 0
};

// The callback's `user` is an int, too narrow for a pointer: the record
// is a static.
Calls g_calls;

int cb(int event, int value, int, int)
{
    g_calls.events.emplace_back(event, value);
    return static_cast<int>(g_calls.events.size()) - 1 == g_calls.cancelAt ? 0 : 1;
}

class EraseTest : public exttest::ExtFlashTest {
protected:
    void SetUp() override
    {
        ExtFlashTest::SetUp();
        g_calls = Calls{};
    }
    static int user() { return 0; }

    std::vector<std::uint32_t> erasedBlocks() const
    {
        std::vector<std::uint32_t> out;
        for (const LoaderCommand& c : sim->commands())
            if (c.op == 2 && c.accepted)
                out.push_back((c.address - desc.flashStart) / desc.eraseBlockSize);
        return out;
    }
};

TEST_F(EraseTest, WholeFlashReportsOnceAndErasesAll)
{
    connectLoader();
    sim->setFlash(std::vector<std::uint8_t>(flashSize(), 0x00));
    const IspResult* r = qz_erase(-3, 0, 0, cb, user(), nullptr);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(g_calls.events, (std::vector<std::pair<int, int>>{{2, 0}}));
    const std::vector<std::uint8_t> f = sim->flash();
    EXPECT_TRUE(std::all_of(f.begin(), f.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

TEST_F(EraseTest, HexModeMarksEveryBlockARecordCovers)
{
    desc.eraseBlockSize = 0x100;
    connectLoader();
    // Two bytes across the end of block 0; one record over blocks 3..5; one
    // byte in block 40, beyond the mask's 32.
    std::vector<std::uint8_t> wide(0x210, 0x11);
    const std::string hex = sim::loader::hexText(desc.flashStart + 0xFF, {1, 2}) +
                            sim::loader::hexText(desc.flashStart + 0x3F8, {9}, 16) +
                            sim::loader::hexText(desc.flashStart + 0x380, wide, 255) +
                            sim::loader::hexText(desc.flashStart + 40 * 0x100 + 7, {5});
    const std::string file = writeText("data.hex", hex);
    const IspResult* r = qz_erase(-2, 0, 0, cb, user(), file.c_str());
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(erasedBlocks(), (std::vector<std::uint32_t>{0, 1, 3, 4, 5, 40}));
    ASSERT_EQ(g_calls.events.size(), 6u);
    EXPECT_EQ(g_calls.events[5], std::make_pair(1, 40));
}

TEST_F(EraseTest, MaskModeErasesTheNamedBlocksInOrder)
{
    connectLoader();
    ASSERT_EQ(qz_erase(0, 0x9u, 0, nullptr, 0, nullptr)->status, 1);
    EXPECT_EQ(erasedBlocks(), (std::vector<std::uint32_t>{0, 3}));
}

TEST_F(EraseTest, AMaskedBlockBeyondTheFlashIsRefusedBeforeAnyErase)
{
    connectLoader(); // 16 blocks of 4 KiB
    const IspResult* r = qz_erase(0, 0x80000001u, 0, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, -16);
    EXPECT_STREQ(r->text, "Device does not support operation. (erasing block 31)");
    EXPECT_TRUE(sim->commands().empty());
}

TEST_F(EraseTest, NothingMarkedIsNothingToErase)
{
    connectLoader();
    const IspResult* r = qz_erase(0, 0, 0, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, "Invalid value or command sent. Please try the operation again. (nothing to erase)");
    EXPECT_EQ(qz_erase(-2, 0, 0, nullptr, 0, path("missing.hex").c_str())->status, -15);
}

TEST_F(EraseTest, AFileWithDataOutsideTheFlashErasesNothing)
{
    connectLoader();
    const std::string outside = writeText(
        "outside.hex", sim::loader::hexText(desc.flashStart, {1}) + sim::loader::hexText(desc.flashEnd, {1, 2}));
    const IspResult* r = qz_erase(-2, 0, 0, nullptr, 0, outside.c_str());
    EXPECT_EQ(r->status, -15);
    EXPECT_STREQ(r->text, "Unable to open Hex file. Reselect the Hex file. (address 0x80010000 outside the part)");
    EXPECT_TRUE(sim->commands().empty());
}

TEST_F(EraseTest, ABlockIsTriedSixTimes)
{
    connectLoader();
    sim->setFaults({5, 0, 0, false});
    EXPECT_EQ(qz_erase(0, 1, 0, nullptr, 0, nullptr)->status, 1);
    sim->setFaults({6, 0, 0, false});
    const IspResult* r = qz_erase(0, 2, 0, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (Failed to erase block 1.)");
    sim->setFaults({6, 0, 0, false});
    r = qz_erase(-3, 0, 0, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (erasing device)");
}

TEST_F(EraseTest, AReplyThatNeverEndsFailsTheErase)
{
    connectLoader();
    qz::session().longTimeoutMs = 300; // each wait for the loader to come back
    sim->setFaults({0, 0, 1000, false});
    EXPECT_EQ(qz_erase(0, 1, 0, nullptr, 0, nullptr)->status, -18);
}

TEST_F(EraseTest, TheRetryAfterAReplyThatNeverEndedIsAnsweredInStep)
{
    connectLoader();
    sim->setFaults({0, 0, 1, false});
    EXPECT_EQ(qz_erase(0, 1, 0, nullptr, 0, nullptr)->status, 1);
    EXPECT_EQ(erasedBlocks(), (std::vector<std::uint32_t>{0, 0}));
}

TEST_F(EraseTest, ACrWithoutLineFeedStillCounts)
{
    connectLoader();
    sim->setFaults({0, 2, 0, false});
    EXPECT_EQ(qz_erase(0, 3, 0, nullptr, 0, nullptr)->status, 1);
    EXPECT_EQ(erasedBlocks(), (std::vector<std::uint32_t>{0, 1}));
}

TEST_F(EraseTest, TheCallbackCancels)
{
    connectLoader();
    g_calls.cancelAt = 1;
    EXPECT_EQ(qz_erase(0, 7, 0, cb, user(), nullptr)->status, -20);
    EXPECT_EQ(erasedBlocks(), (std::vector<std::uint32_t>{0}));
    g_calls = Calls{};
    g_calls.cancelAt = 0;
    EXPECT_EQ(qz_erase(-3, 0, 0, cb, user(), nullptr)->status, -20);
    EXPECT_EQ(sim->commands().size(), 1u);
}

TEST_F(EraseTest, WithoutAPortThereIsNoConnection)
{
    EXPECT_EQ(qz_erase(-3, 0, 0, nullptr, 0, nullptr)->status, -7);
}

} // namespace
