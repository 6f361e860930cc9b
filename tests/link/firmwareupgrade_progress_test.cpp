// The firmware-upgrade driver's progress arithmetic: the start at zero and
// the erase, program and verify callbacks, within one upgrade and across
// upgrades.
#include "tests/link/upgrade_fixture.h"

#include <cstdint>
#include <utility>
#include <vector>

using namespace upgradetest;

namespace {

TEST_F(Upgrade, ProgressStartsAtZeroForTheTargetAndAgainBeforeConnecting)
{
    fwProgress.store(77);
    worker->setUpgradeTarget(kPort, kFile);
    EXPECT_EQ(fwProgress.load(), 0);
    fwProgress.store(77);
    worker->Thread_FirmwareUpgrade();
    EXPECT_EQ(lib.progressAtConnect, 0);
}

TEST_F(Upgrade, VerifyProgressMapsChunksOnto50To98AndBeyondOnLargerParts)
{
    const std::pair<int, std::int64_t> cases[] = {
        {0, 50},          {512, 50},         {0x3F00, 74},  {0x7E00, 98},
        {0x8000, 98},     {0x10000, 147},    // a larger part goes past 98
        {0x10000000, 50}, // the product wraps at 32 bits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(verifyProgressCallback(6, c.first, 0, 0), 1);
        EXPECT_EQ(fwProgress.load(), c.second) << "chunk " << c.first;
    }
}

TEST_F(Upgrade, EraseProgressOnlyGoesOn)
{
    fwProgress.store(33);
    EXPECT_EQ(eraseProgressCallback(1, 5, 0, 0), 1);
    EXPECT_EQ(fwProgress.load(), 33);
}

std::vector<std::int64_t> programProgress(const std::vector<int>& blocks)
{
    std::vector<std::int64_t> out;
    for (int b : blocks) {
        EXPECT_EQ(programProgressCallback(3, b, 0, 0), 1);
        out.push_back(fwProgress.load());
    }
    return out;
}

TEST_F(Upgrade, ProgramProgressClimbsTo50AgainstTheHighestBlockSoFar)
{
    EXPECT_EQ(programMax.load(), 0u) << "a new worker starts from 0";
    EXPECT_EQ(programProgress({0x6800, 0x6400, 0x3400, 0x0400, 0}),
              (std::vector<std::int64_t>{1, 1, 25, 48, 50}));
    EXPECT_EQ(programMax.load(), 0x6800u);
    // The next upgrade in the same run measures against it: a smaller image
    // starts above 0, one of the same size at 0, a larger one raises it.
    EXPECT_EQ(programProgress({0x3000, 0}), (std::vector<std::int64_t>{26, 50}));
    EXPECT_EQ(programProgress({0x6800}), (std::vector<std::int64_t>{0}));
    EXPECT_EQ(programProgress({0x7C00, 0x3E00}), (std::vector<std::int64_t>{1, 25}));
    EXPECT_EQ(programMax.load(), 0x7C00u);
    // Only the constructor starts it again.
    SerialPortThread another;
    EXPECT_EQ(programMax.load(), 0u);
}

TEST_F(Upgrade, ImageInTheFirstBlockDoesNotDivideByZero)
{
    EXPECT_EQ(programProgress({0}), (std::vector<std::int64_t>{50}));
    EXPECT_EQ(programMax.load(), 0u);
    EXPECT_EQ(programProgress({0x400, 0}), (std::vector<std::int64_t>{1, 50}));
}

TEST_F(Upgrade, ProgramMaxCarriesOverFromOneUpgradeToTheNext)
{
    std::vector<std::int64_t> seen;
    lib.during["qz_program"] = [&seen](ProgressCallback cb) {
        for (int block : {0x2000, 0x1000, 0}) {
            cb(3, block, 0, 0);
            seen.push_back(fwProgress.load());
        }
    };
    lib.status["qz_reset"] = -2; // the first upgrade fails after programming
    upgrade();
    lib.status.clear();
    lib.during["qz_program"] = [&seen](ProgressCallback cb) {
        cb(3, 0x1000, 0, 0);
        seen.push_back(fwProgress.load());
    };
    upgrade();
    EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 25, 50, 25}));
}

} // namespace
