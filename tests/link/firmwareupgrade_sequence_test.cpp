// The firmware-upgrade driver against a fake library: the exact calls and
// arguments, the connect record byte for byte, each failing step with its
// text, disconnect and single final code.
#include "tests/link/upgrade_fixture.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace upgradetest;

namespace {

TEST_F(Upgrade, SuccessCallsTheEightExportsInOrderAndEndsWith100)
{
    upgrade();
    EXPECT_EQ(lib.calls, fullSequence());
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].code, 100);
    EXPECT_FALSE(codes[0].busy) << "busy is cleared before the final code";
    EXPECT_FALSE(worker->upgradeRunning());
    EXPECT_TRUE(worker->lastMessage().isNull());
}

TEST_F(Upgrade, ConnectRecordIsTheConvertersLpc11c24ByteForByte)
{
    upgrade();
    std::array<unsigned char, 1131> expected{};
    const double mhz = 12.0;
    std::memcpy(&expected[0], &mhz, 8);
    std::memcpy(&expected[8], kPort, std::strlen(kPort));
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            expected[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    put32(58, 9600);  // baud rate
    put32(62, 4022);  // LPC11C24/301
    put32(91, 9600);  // maximum baud rate
    // 12.0 as a little-endian IEEE 754 double.
    EXPECT_EQ(std::vector<unsigned char>(expected.begin(), expected.begin() + 8),
              (std::vector<unsigned char>{0, 0, 0, 0, 0, 0, 0x28, 0x40}));
    ASSERT_EQ(lib.connectRecord.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(lib.connectRecord[i], expected[i]) << "offset " << i;
}

struct FailingStep {
    const char* step;
    int status;
    const char* message;
    std::size_t callsBeforeDisconnect; // calls made up to the failing one
    bool disconnected;
};

TEST_F(Upgrade, EachFailingStepLeavesItsTextAndOneFinal1000)
{
    const FailingStep cases[] = {
        {"qz_connect", -2, "connect error(error code:-2)\n", 3, false},
        {"qz_connect", 0, "connect error(error code:0)\n", 3, false},
        {"qz_erase", -18, "erase error(error code:-18)\n", 4, true},
        {"qz_erase", 2, "erase error(error code:2)\n", 4, true},
        {"qz_program", -15, "File error or program error(error code:-15)\n", 5, true},
        {"qz_verify", -17, "Verify error(error code:-17)\n", 6, true},
        {"qz_reset", -7, "Reset error(error code:-7)\n", 7, true},
    };
    for (const FailingStep& c : cases) {
        SCOPED_TRACE(std::string(c.step) + " " + std::to_string(c.status));
        lib.status.clear();
        lib.status[c.step] = c.status;
        upgrade();
        std::vector<std::string> expected = fullSequence();
        expected.resize(c.callsBeforeDisconnect);
        if (c.disconnected)
            expected.push_back("qz_disconnect()");
        EXPECT_EQ(lib.calls, expected);
        EXPECT_EQ(worker->lastMessage(), QString(c.message));
        ASSERT_EQ(codes.size(), 1u);
        EXPECT_EQ(codes[0].code, 1000);
        EXPECT_FALSE(codes[0].busy);
    }
}

TEST_F(Upgrade, ResultsOfTheSettersAndOfDisconnectAreNotRead)
{
    lib.status["qz_select_debug_mode"] = -1;
    lib.status["qz_disconnect"] = -7;
    upgrade();
    EXPECT_EQ(lib.calls, fullSequence());
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].code, 100);
}

TEST_F(Upgrade, FailureTextOutlivesALaterSuccess)
{
    lib.status["qz_verify"] = -17;
    upgrade();
    lib.status.clear();
    upgrade();
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].code, 100);
    EXPECT_EQ(worker->lastMessage(), QString("Verify error(error code:-17)\n"));
    // The next failure replaces it.
    lib.status["qz_connect"] = -3;
    upgrade();
    EXPECT_EQ(worker->lastMessage(), QString("connect error(error code:-3)\n"));
}

} // namespace
