#include "platform/logfile.h"
#include "tests/file_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class LogFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/logfileXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        std::string cmd = "rm -rf '" + dir + "'";
        (void)std::system(cmd.c_str());
    }
    std::string dir;
};

TEST_F(LogFile, AppendsAcrossOpens)
{
    const std::string path = dir + "/log";
    for (const char* line : {"one\n", "two\n"}) {
        std::FILE* f = platform::openLogForAppend(path);
        ASSERT_NE(f, nullptr);
        std::fputs(line, f);
        std::fclose(f);
    }
    EXPECT_EQ(file_text(path), "one\ntwo\n");
}

TEST_F(LogFile, RefusesASymbolicLink)
{
    const std::string target = dir + "/victim";
    { std::ofstream(target) << "keep"; }
    const std::string link = dir + "/log";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_EQ(platform::openLogForAppend(link), nullptr);
    EXPECT_EQ(file_text(target), "keep");
}

TEST_F(LogFile, RefusesAFifo)
{
    const std::string fifo = dir + "/log";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(platform::openLogForAppend(fifo), nullptr);
}

} // namespace
