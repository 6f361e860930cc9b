// The hex generator capture: everything the generator writes, or nothing;
// the command line split without a shell; the generator always reaped.
#include "isp/core/hexgenerator.h"
#include "isp/core/hexreader.h"
#include "platform/commandline.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace qz;
namespace fs = std::filesystem;

namespace {

class HexGeneratorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/qzhexXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override
    {
        // Every generator was reaped: no child of ours is left.
        EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
        fs::remove_all(root_);
    }

    std::string script(const std::string& name, const std::string& body)
    {
        fs::path p = root_ / name;
        std::ofstream(p) << "#!/bin/sh\n" << body << "\n";
        chmod(p.c_str(), 0755);
        return p.string();
    }

    fs::path root_;
    std::string out_ = "unset";
};

TEST_F(HexGeneratorTest, CollectsStandardOutputAndError)
{
    std::string g = script("gen.sh", "echo ':0400000001020304F2'\necho ':00000001FF' >&2");
    std::size_t n = run_and_capture(g.c_str(), &out_);
    EXPECT_EQ(out_, ":0400000001020304F2\n:00000001FF\n");
    EXPECT_EQ(n, out_.size());
}

TEST_F(HexGeneratorTest, LargeOutputIsReadWhole)
{
    // Far more than one pipe's buffer and than the old 64 KB capture.
    std::string g = script("big.sh", "head -c 70000 /dev/zero | tr '\\0' 'A'\nprintf 'END'");
    ASSERT_EQ(run_and_capture(g.c_str(), &out_), 70003u);
    EXPECT_EQ(out_.substr(0, 5), "AAAAA");
    EXPECT_EQ(out_.substr(70000), "END");
}

TEST_F(HexGeneratorTest, OutputBeyondTheLimitFailsTheRun)
{
    std::string g = script("big.sh", "head -c 5000 /dev/zero | tr '\\0' 'A'");
    EXPECT_EQ(run_and_capture(g.c_str(), &out_, 4999), 0u);
    EXPECT_EQ(out_, "");
    EXPECT_EQ(run_and_capture(g.c_str(), &out_, 5000), 5000u);
}

TEST_F(HexGeneratorTest, ZeroByteInTheOutputFailsTheRun)
{
    // Loaded as zero-terminated text, everything behind the zero would be lost.
    std::string g = script("nul.sh", "printf ':0100000055AA\\n\\000:0100010066AA\\n'");
    EXPECT_EQ(run_and_capture(g.c_str(), &out_), 0u);
    EXPECT_EQ(out_, "");
}

TEST_F(HexGeneratorTest, CapturedOutputLoadsToItsLastRecord)
{
    // The last record ends the output, once with and once without a line end.
    for (const char* tail : {"", "\\r\\n"}) {
        std::string g = script("gen.sh", std::string("printf ':020000001122CB\\r\\n:0200FE00334489") + tail + "'");
        ASSERT_GT(run_and_capture(g.c_str(), &out_), 0u);
        std::uint8_t image[0x100];
        std::memset(image, 0xFF, sizeof image);
        load_hex_text(out_.c_str(), image, 0, 0xFF);
        EXPECT_EQ(image[0], 0x11);
        EXPECT_EQ(image[1], 0x22);
        EXPECT_EQ(image[0xFE], 0x33) << tail;
        EXPECT_EQ(image[0xFF], 0x44) << tail;
    }
}

TEST_F(HexGeneratorTest, NoOutputOrNoProgramGivesZero)
{
    std::string silent = script("silent.sh", "exit 0");
    EXPECT_EQ(run_and_capture(silent.c_str(), &out_), 0u);
    EXPECT_EQ(run_and_capture((root_ / "missing").c_str(), &out_), 0u);
    EXPECT_EQ(run_and_capture("", &out_), 0u);
    EXPECT_EQ(run_and_capture(nullptr, &out_), 0u);
}

TEST_F(HexGeneratorTest, GeneratorEndedBySignalFails)
{
    std::string g = script("crash.sh", "echo ':0400000001020304F2'\nkill -9 $$");
    EXPECT_EQ(run_and_capture(g.c_str(), &out_), 0u);
    EXPECT_EQ(out_, "");
}

TEST_F(HexGeneratorTest, HangingGeneratorIsKilledAfterTheTimeOut)
{
    std::string g = script("hang.sh", "echo partial\nsleep 60");
    EXPECT_EQ(run_and_capture(g.c_str(), &out_, kHexGeneratorOutputLimit, 300), 0u);
    EXPECT_EQ(out_, "");
}

TEST_F(HexGeneratorTest, ArgumentsAreSplitWithoutAShell)
{
    std::string g = script("args.sh", "for a in \"$@\"; do printf '[%s]' \"$a\"; done");
    std::string line = "'" + g + "' \"two words\" x;touch $(touch injected) |cat";
    fs::path cwd = fs::current_path();
    fs::current_path(root_);
    std::size_t n = run_and_capture(line.c_str(), &out_);
    fs::current_path(cwd);
    EXPECT_EQ(n, out_.size());
    EXPECT_EQ(out_, "[two words][x;touch][$(touch][injected)][|cat]");
    EXPECT_FALSE(fs::exists(root_ / "injected"));
}

TEST(CommandLine, Split)
{
    using platform::splitCommandLine;
    using V = std::vector<std::string>;
    EXPECT_EQ(splitCommandLine("gen -a  -b"), (V{"gen", "-a", "-b"}));
    EXPECT_EQ(splitCommandLine("  \"C:/my gen\" 'x y'z \"\""), (V{"C:/my gen", "x yz", ""}));
    EXPECT_EQ(splitCommandLine(" \t "), V{});
    EXPECT_EQ(splitCommandLine("a \"unterminated b"), (V{"a", "unterminated b"}));
}

} // namespace
