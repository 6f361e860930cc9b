// Where the diagnostic log lands when a caller names it the Windows way
// (Vantrel passes "C:\qztest.qzd"): by its file name, in the temporary folder.
#include "isp/core/debuglog.h"
#include "isp/core/session.h"
#include "tests/private_tmpdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class LogPathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qz::reset_session_slots();
        ASSERT_TRUE(tmp_.enter("/tmp/qzlogpathXXXXXX"));
        dir_ = tmp_.path();
    }
    void TearDown() override
    {
        tmp_.leave();
        qz::reset_session_slots();
    }

    static void logTo(const std::string& path)
    {
        qz::session().debugLog = 1;
        std::snprintf(qz::session().logPath, qz::kLogPathSize, "%s", path.c_str());
        qz::debug_log(qz::kLogDebug, "qz_connect started");
    }

    PrivateTmpdir tmp_;
    std::string dir_;
};

struct WindowsPath {
    const char* given;
    const char* file; // name in the temporary folder
};

TEST_F(LogPathTest, WindowsPathNamesAFileInTheTemporaryFolder)
{
    const WindowsPath cases[] = {
        {"C:\\qztest.qzd", "qztest.qzd"},
        {"D:\\logs\\isp\\upgrade.qzd", "upgrade.qzd"},
        {"c:/mixed\\slashes/last.qzd", "last.qzd"},
        {"E:relative.qzd", "relative.qzd"},
    };
    for (const WindowsPath& c : cases) {
        logTo(c.given);
        EXPECT_TRUE(fs::exists(dir_ + "/" + c.file)) << c.given;
        EXPECT_EQ(fs::file_size(dir_ + "/" + c.file), std::string("debug> qz_connect started\n").size())
            << c.given;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 4);
}

TEST_F(LogPathTest, PosixPathStandsAsGiven)
{
    fs::create_directory(dir_ + "/sub");
    logTo(dir_ + "/sub/isp.qzd");
    EXPECT_TRUE(fs::exists(dir_ + "/sub/isp.qzd"));
}

TEST_F(LogPathTest, WindowsFolderWithoutFileNameWritesNothing)
{
    logTo("C:\\logs\\");
    logTo("C:");
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(LogPathTest, WithoutTmpdirTheFileGoesToTmp)
{
    unsetenv("TMPDIR");
    const std::string name = "qzlogpath-" + std::to_string(getpid()) + ".qzd";
    logTo("C:\\" + name);
    const std::string expected = "/tmp/" + name;
    EXPECT_TRUE(fs::exists(expected));
    fs::remove(expected);
}

} // namespace
