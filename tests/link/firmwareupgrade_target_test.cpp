// The firmware-upgrade driver against a fake library: the port names and
// file paths it takes, those it refuses, and a target given while an
// upgrade runs.
#include "tests/link/upgrade_fixture.h"

#include <string>
#include <vector>

using namespace upgradetest;

namespace {

TEST_F(Upgrade, NamesAndPathsThatFitArePassedWhole)
{
    const std::string name(49, 'p');
    const std::string path(102399, 'f');
    EXPECT_TRUE(worker->setUpgradeTarget(name.c_str(), path.c_str()));
    worker->Thread_FirmwareUpgrade();
    ASSERT_EQ(lib.connectRecord.size(), 1131u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&lib.connectRecord[8])), name);
    EXPECT_EQ(lib.programmedPathLength, path.size());
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].code, 100);
}

struct RefusedTarget {
    std::string port;
    std::string file;
    bool nullPort;
    const char* message;
};

TEST_F(Upgrade, TargetThatDoesNotFitIsRefusedAndTheUpgradeEndsAtOnce)
{
    const RefusedTarget cases[] = {
        {std::string(50, 'p'), kFile, false, "Port name error(longer than 49 characters)\n"},
        {kPort, std::string(102400, 'f'), false, "File path error(longer than 102399 characters)\n"},
        {"", kFile, true, "Firmware upgrade error(no port name or file path)\n"},
    };
    for (const RefusedTarget& c : cases) {
        SCOPED_TRACE(c.message);
        codes.clear();
        lib.calls.clear();
        EXPECT_FALSE(worker->setUpgradeTarget(c.nullPort ? nullptr : c.port.c_str(), c.file.c_str()));
        worker->Thread_FirmwareUpgrade();
        EXPECT_TRUE(lib.calls.empty()) << "the library is not touched";
        EXPECT_EQ(worker->lastMessage(), QString(c.message));
        ASSERT_EQ(codes.size(), 1u);
        EXPECT_EQ(codes[0].code, 1000);
        EXPECT_FALSE(worker->upgradeRunning());
    }
    // A target that fits afterwards upgrades again.
    upgrade();
    EXPECT_EQ(lib.calls, fullSequence());
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].code, 100);
}

TEST_F(Upgrade, TargetGivenWhileAnUpgradeRunsIsKeptForTheNextOne)
{
    // Erased for one file, programmed from another would leave a broken part.
    lib.during["qz_erase"] = [this](ProgressCallback) {
        EXPECT_TRUE(worker->setUpgradeTarget("/dev/ttyS9", "/tmp/other.hex"));
    };
    upgrade();
    EXPECT_EQ(lib.calls, fullSequence());
    lib.during.clear();
    lib.calls.clear();
    worker->Thread_FirmwareUpgrade();
    ASSERT_EQ(lib.calls.size(), fullSequence().size());
    EXPECT_EQ(lib.calls[3], "qz_erase(-2, 0, 1, erase, 0, /tmp/other.hex)");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&lib.connectRecord[8])), "/dev/ttyS9");
}

} // namespace
