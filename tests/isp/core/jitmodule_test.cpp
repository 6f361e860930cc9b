// The JIT module runner: the command file, exit codes, messages, time-out,
// and that no temporary file and no process outlives a run.
#include "isp/core/jitmodule.h"
#include "isp/core/result.h"
#include "isp/core/session.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace qz;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class JitModuleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/qzjitXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        tmp_ = root_ / "tmp";
        bin_ = root_ / "bin with space";
        fs::create_directories(tmp_);
        fs::create_directories(bin_);
        if (const char* old = std::getenv("TMPDIR"))
            oldTmp_ = old, hadTmp_ = true;
        setenv("TMPDIR", tmp_.c_str(), 1);
    }
    void TearDown() override
    {
        if (hadTmp_)
            setenv("TMPDIR", oldTmp_.c_str(), 1);
        else
            unsetenv("TMPDIR");
        fs::remove_all(root_);
    }

    // A module script; $1 is the command file.
    std::string module(const std::string& name, const std::string& body)
    {
        fs::path p = bin_ / name;
        std::ofstream(p) << "#!/bin/sh\n{ read data; read msg; } < \"$1\"\n" << body << "\n";
        chmod(p.c_str(), 0755);
        return p.string();
    }

    std::vector<std::string> leftInTmp() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(tmp_))
            names.push_back(e.path().filename().string());
        return names;
    }

    int run(const std::string& mod, const char* args, int timeoutS = 30,
            std::size_t messageSize = kJitMessageSize)
    {
        return run_jit_module(mod.c_str(), args, &data_, &message_, messageSize, timeoutS, &error_);
    }

    fs::path root_, tmp_, bin_;
    std::string oldTmp_;
    bool hadTmp_ = false;
    std::string data_, message_, error_ = "unset";
};

TEST_F(JitModuleTest, CommandFileListsPathsThenOneWordPerLine)
{
    fs::path copy = root_ / "command.txt";
    std::string m = module("jit.sh", "cp \"$1\" '" + copy.string() + "'\nexit 1");
    ASSERT_EQ(run(m, "  first  second\tthird "), 1) << error_;
    std::string expected = data_ + "\n";
    std::string text = readFile(copy);
    std::size_t firstLine = text.find('\n');
    ASSERT_NE(firstLine, std::string::npos);
    EXPECT_EQ(text.substr(0, firstLine + 1), expected);
    std::string rest = text.substr(firstLine + 1);
    std::size_t second = rest.find('\n');
    std::string messagePath = rest.substr(0, second);
    EXPECT_EQ(fs::path(messagePath).parent_path(), tmp_);
    EXPECT_EQ(fs::path(messagePath).filename().string().rfind("jit", 0), 0u);
    EXPECT_EQ(rest.substr(second + 1), "first\nsecond\nthird\n");
}

TEST_F(JitModuleTest, SuccessLeavesOnlyTheDataFile)
{
    std::string m = module("jit.sh", "printf ':0400000001020304F2\\n' > \"$data\"\nexit 1");
    ASSERT_EQ(run(m, nullptr), 1);
    EXPECT_EQ(error_, "");
    EXPECT_EQ(readFile(data_), ":0400000001020304F2\n");
    EXPECT_EQ(fs::path(data_).parent_path(), tmp_);
    EXPECT_EQ(leftInTmp(), (std::vector<std::string>{fs::path(data_).filename().string()}));
    EXPECT_EQ(message_, "");
}

TEST_F(JitModuleTest, ExitCodeOtherThanOneFailsAndCleansUp)
{
    for (int code : {0, 2, 255}) {
        std::string m = module("jit.sh", "echo data > \"$data\"\necho 'bad serial' > \"$msg\"\nexit " +
                                             std::to_string(code));
        EXPECT_EQ(run(m, "x"), -1) << code;
        EXPECT_EQ(error_, "JIT Module encountered error during execution");
        EXPECT_EQ(message_, "bad serial"); // still there for the caller
        EXPECT_TRUE(leftInTmp().empty());
    }
}

TEST_F(JitModuleTest, MessageIsTheFirstLineCutToTheBuffer)
{
    std::string m = module("jit.sh", "printf 'hello world\\r\\nsecond line\\n' > \"$msg\"\nexit 1");
    ASSERT_EQ(run(m, nullptr), 1);
    EXPECT_EQ(message_, "hello world");
    ASSERT_EQ(run(m, nullptr, 30, 6), 1);
    EXPECT_EQ(message_, "hello");

    std::string empty = module("empty.sh", ": > \"$msg\"\nexit 1");
    ASSERT_EQ(run(empty, nullptr), 1);
    EXPECT_EQ(message_, "");
}

TEST_F(JitModuleTest, TimeOutKillsTheModuleAndRemovesItsFiles)
{
    fs::path pids = root_ / "pids";
    std::string m = module("slow.sh", "sleep 60 &\necho $$ $! > '" + pids.string() + "'\nwait\nexit 1");
    EXPECT_EQ(run(m, nullptr, 1), -1);
    EXPECT_EQ(error_, "Timed out waiting for JIT Module to complete");
    EXPECT_TRUE(leftInTmp().empty());

    std::ifstream in(pids);
    pid_t shell = 0, child = 0;
    in >> shell >> child;
    ASSERT_GT(shell, 0);
    ASSERT_GT(child, 0);
    // The module is ours and reaped; its own child was killed with it (init
    // reaps that one, so allow it a moment).
    EXPECT_EQ(waitpid(shell, nullptr, WNOHANG), -1);
    bool gone = false;
    for (int i = 0; i < 500 && !gone; ++i) {
        gone = kill(child, 0) != 0;
        if (!gone)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(gone);
}

TEST_F(JitModuleTest, ModuleKilledBySignalHasNoExitCode)
{
    std::string m = module("crash.sh", "kill -9 $$");
    EXPECT_EQ(run(m, nullptr), -1);
    EXPECT_EQ(error_, "Failed to get exit code from JIT Module");
    EXPECT_TRUE(leftInTmp().empty());
}

TEST_F(JitModuleTest, MissingModuleFailsToStart)
{
    EXPECT_EQ(run((bin_ / "none.sh").string(), "a b"), -1);
    EXPECT_EQ(error_, "Failed to start JIT Module");
    EXPECT_TRUE(leftInTmp().empty());
}

TEST_F(JitModuleTest, NamesAndArgumentsAreNeverRunAsCommands)
{
    // A shell would run the touch in the module's name (relative to the
    // working folder) or in its arguments.
    fs::path cwd = fs::current_path();
    fs::current_path(root_);
    std::string m = module("jit; touch injected1", "exit 1");
    int r = run(m, "$(touch injected2) ; touch injected3 `touch injected4`");
    fs::current_path(cwd);
    EXPECT_EQ(r, 1) << error_;
    for (const char* name : {"injected1", "injected2", "injected3", "injected4"})
        EXPECT_FALSE(fs::exists(root_ / name)) << name;
}

int g_events = 0;
std::string g_seenText;
int g_seenValue = -1, g_seenExtra = -1, g_seenUser = -1, g_seenEvent = -1;

int recordMessage(int event, int value, int extra, int user)
{
    ++g_events;
    g_seenEvent = event;
    g_seenValue = value;
    g_seenExtra = extra;
    g_seenUser = user;
    g_seenText = isp_result()->text;
    return user == 77 ? 0 : 1;
}

TEST(JitMessage, ReachesTheCallbackThroughTheResultText)
{
    reset_session_slots();
    std::strcpy(isp_result()->text, "before");
    g_events = 0;
    EXPECT_EQ(report_jit_message(recordMessage, 5, "serial 0042"), 1);
    EXPECT_EQ(g_events, 1);
    EXPECT_EQ(g_seenEvent, QZ_EVENT_JIT_MESSAGE);
    EXPECT_EQ(g_seenText, "serial 0042");
    EXPECT_EQ(g_seenValue, 11);
    EXPECT_EQ(g_seenExtra, 0);
    EXPECT_EQ(g_seenUser, 5);
    EXPECT_STREQ(isp_result()->text, "before");

    EXPECT_EQ(report_jit_message(recordMessage, 77, "x"), 0); // cancel passes through

    std::string longMessage(kJitMessageSize - 1, 'm');
    report_jit_message(recordMessage, 1, longMessage);
    EXPECT_EQ(g_seenText, std::string(QZ_RESULT_TEXT_SIZE - 1, 'm'));
    EXPECT_EQ(g_seenValue, QZ_RESULT_TEXT_SIZE - 1);

    g_events = 0;
    EXPECT_EQ(report_jit_message(recordMessage, 1, ""), 1);
    EXPECT_EQ(report_jit_message(nullptr, 1, "x"), 1);
    EXPECT_EQ(g_events, 0);
}

} // namespace
