#include "link/txring.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string takeAll(TxRing& ring)
{
    std::string out;
    while (ring.hasWaiting()) {
        out += ring.front();
        ring.advance();
    }
    return out;
}

TEST(TxRing, TwentyFiveWaitingAdmitsALongestLine)
{
    TxRing ring;
    const std::string first(25, 'a');
    const std::string line(27, 'b');
    ASSERT_TRUE(ring.admit(first.data(), first.size()));
    ASSERT_TRUE(ring.admit(line.data(), line.size()));
    EXPECT_EQ(ring.waiting(), 52u);
    EXPECT_EQ(takeAll(ring), first + line);
}

TEST(TxRing, TwentySixWaitingDropsAnyLineWhole)
{
    TxRing ring;
    const std::string first(26, 'a');
    ASSERT_TRUE(ring.admit(first.data(), first.size()));
    EXPECT_FALSE(ring.admit("x", 1));
    EXPECT_FALSE(ring.admit("t1230\r", 6));
    EXPECT_EQ(ring.waiting(), 26u);
    ring.advance();
    EXPECT_TRUE(ring.admit("t1230\r", 6));
    EXPECT_EQ(ring.waiting(), 31u);
}

TEST(TxRing, KeepsOrderAcrossWrapAround)
{
    TxRing ring;
    std::string sent, got;
    for (int i = 0; i < 40; ++i) {
        std::string line = "e" + std::to_string(1000000 + i) + "X\r";
        ASSERT_TRUE(ring.admit(line.data(), line.size()));
        sent += line;
        // Hand over a few bytes, not all, so the indices pass many wraps.
        for (int k = 0; k < 7 && ring.hasWaiting(); ++k) {
            got += ring.front();
            ring.advance();
        }
        while (ring.waiting() >= TxRing::kAdmitBelow) {
            got += ring.front();
            ring.advance();
        }
    }
    got += takeAll(ring);
    EXPECT_EQ(got, sent);
    EXPECT_EQ(ring.txReadIndex(), ring.txWriteIndex());
    EXPECT_GT(ring.txWriteIndex(), 4 * TxRing::kSize);
}

TEST(TxRing, NeverOverwritesWaitingBytes)
{
    TxRing ring;
    const std::string first(25, 'a');
    const std::string tooLong(36, 'b');
    ASSERT_TRUE(ring.admit(first.data(), first.size()));
    EXPECT_FALSE(ring.admit(tooLong.data(), tooLong.size()));
    EXPECT_EQ(takeAll(ring), first);
}

TEST(TxRing, AdvanceOnEmptyRingDoesNothing)
{
    TxRing ring;
    ring.advance();
    EXPECT_EQ(ring.txReadIndex(), 0u);
    EXPECT_FALSE(ring.hasWaiting());
}

} // namespace
