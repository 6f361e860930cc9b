// Autobaud against the simulated part: the simple exchange, the threaded
// sender that waits for a part held in reset, and its cancel.
#include "isp/classic/autobaud.h"
#include "isp/core/errorcodes.h"
#include "tests/isp/classic/classicfixture.h"
#include "tests/isp/classic/partnumbers.h"

#include <future>
#include <thread>
#include <random>

using namespace qz;

namespace {

using namespace classictest;

constexpr int kXaG49 = 11;

class Autobaud : public classictest::ClassicFixture {};

TEST_F(Autobaud, SimpleExchangeSynchronises)
{
    startPart();
    connectPort(k89C51RB2Hxx);
    EXPECT_EQ(classic_autobaud(), 1);
    EXPECT_EQ(part->state(), sim::ClassicLoader::State::Synced);
    EXPECT_EQ(part->baud(), 9600.0);
}

TEST_F(Autobaud, DialectTwoUsesTheSimpleExchange)
{
    startPart(classictest::dialect2Persona());
    connectPort(k89LPC922);
    EXPECT_EQ(classic_autobaud(), 1);
    EXPECT_TRUE(logged("tx> U"));
}

TEST_F(Autobaud, XaPartsSyncOnTheirOwnCharacter)
{
    sim::ClassicPersona p;
    p.sync = 'f';
    startPart(p);
    connectPort(kXaG49);
    EXPECT_EQ(classic_autobaud(), 1);
    EXPECT_TRUE(logged("rx> f"));
}

TEST_F(Autobaud, NoEchoGivesMinusThree)
{
    sim::ClassicPersona p;
    p.sync = 'f'; // deaf to "U"
    startPart(p);
    connectPort(k89C51RB2Hxx);
    EXPECT_EQ(classic_autobaud(), kErrConnectBaud);
}

TEST_F(Autobaud, NothingSelectedGivesMinusSeven)
{
    EXPECT_EQ(classic_autobaud(), kErrNoConnection);
    EXPECT_EQ(classic_cancel_autobaud(), kErrNoConnection);
    EXPECT_EQ(d1_autobaud(), kErrNoConnection);
    EXPECT_EQ(d2_cancel_autobaud(), kErrNoConnection);
}

sim::ClassicPersona held()
{
    sim::ClassicPersona p;
    p.heldUntilReset = true;
    return p;
}

TEST_F(Autobaud, ThreadedSenderWaitsForThePartToComeOutOfReset)
{
    startPart(held());
    connectPort(k89V51RD2);
    auto result = std::async(std::launch::async, [] { return classic_autobaud(); });
    // Sync characters keep coming while the part is held.
    ASSERT_TRUE(part->waitForBytes(100, 5000));
    EXPECT_EQ(result.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    part->reset();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(result.get(), 1);
    const std::string log = logText();
    EXPECT_LT(log.find("rx> U"), log.find("Sinking received data"));
    EXPECT_TRUE(logged("Finished sinking received data"));
    EXPECT_TRUE(logged("timeouts set to short"));
}

TEST_F(Autobaud, ThreadedSenderOnlyOnLinesThatCannotReset)
{
    startPart(held());
    session().hardwareConfig = 1;
    connectPort(k89V51RD2);
    // Configuration 1 resets the part itself: the simple exchange, which a
    // held part does not answer.
    EXPECT_EQ(classic_autobaud(), kErrConnectBaud);
}

TEST_F(Autobaud, CancelEndsTheThreadedWaitWithMinusTwenty)
{
    startPart(held());
    connectPort(k89V51RD2);
    auto result = std::async(std::launch::async, [] { return classic_autobaud(); });
    ASSERT_TRUE(part->waitForBytes(10, 5000));
    EXPECT_EQ(classic_cancel_autobaud(), 1);
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(result.get(), kErrCancelled);
}

TEST_F(Autobaud, NoCancelIsLostInTwoHundredRaces)
{
    startPart(held());
    connectPort(k89V51RD2);
    std::mt19937 random(14);
    int hung = 0;
    for (int i = 0; i < 200 && hung == 0; ++i) {
        // Bytes of the last sender still on their way would look like the
        // next one's; a cancel before autobaud starts is not its to keep.
        std::uint64_t before = part->bytesReceived();
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const std::uint64_t now = part->bytesReceived();
            if (now == before)
                break;
            before = now;
        }
        auto result = std::async(std::launch::async, [] { return classic_autobaud(); });
        // The sender's first bytes show the flags are cleared; the cancel
        // then lands anywhere around the reads.
        ASSERT_TRUE(part->waitForBytes(before + 1, 5000));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 500));
        classic_cancel_autobaud();
        if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ++hung;
            classic_cancel_autobaud(); // free the thread before failing
            result.wait();
            break;
        }
        EXPECT_EQ(result.get(), kErrCancelled) << "race " << i;
    }
    EXPECT_EQ(hung, 0);
}

TEST_F(Autobaud, CancelJustBeforeAReadWaitsIsNotLost)
{
    startPart(held());
    connectPort(k89V51RD2);
    set_before_sync_read_hook([] { classic_cancel_autobaud(); });
    auto result = std::async(std::launch::async, [] { return classic_autobaud(); });
    const bool ended = result.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    set_before_sync_read_hook(nullptr);
    if (!ended)
        classic_cancel_autobaud();
    ASSERT_TRUE(ended);
    EXPECT_EQ(result.get(), kErrCancelled);
}

TEST_F(Autobaud, SenderEndsOnALineThatTakesNothingMore)
{
    // Nobody reads the far end: the line fills and every write stalls.
    sim::Pty deaf;
    ASSERT_TRUE(deaf.ok());
    classic_state().deviceIndex = classic_device_index(k89V51RD2);
    ASSERT_EQ(open_port(deaf.slavePath().c_str()), 1);
    ASSERT_EQ(configure_port(9600, 1), 1);
    auto result = std::async(std::launch::async, [] { return classic_autobaud(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    classic_cancel_autobaud();
    const bool ended = result.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    ASSERT_TRUE(ended) << "the sender never let go";
    EXPECT_EQ(result.get(), kErrCancelled);
}

TEST_F(Autobaud, CancelOfASimplePartOnALineThatCannotResetDoesNothing)
{
    startPart();
    connectPort(k89C51RB2Hxx);
    EXPECT_EQ(classic_cancel_autobaud(), 1);
    EXPECT_EQ(classic_autobaud(), 1) << "no cancel is left behind";
}

} // namespace
