// A read-back file that is whole takes the named file's place: the file
// keeps its owner, group, mode bits and hard links, a file the caller may
// write is written also where the caller cannot make new files, and a
// commit that fails midway leaves the old file whole.
#include "isp/core/outputfile.h"
#include "tests/file_text.h"
#include "tests/isp/core/keptfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t kOther = 65534; // an unprivileged id, as the caller or as another user
const char kNew[] = ":00000001FF";
const char kOld[] = "old contents\n";

class OutputFileTest : public ::testing::Test {
protected:
    virtual bool needsRoot() const { return true; }
    void SetUp() override
    {
        if (needsRoot() && ::geteuid() != 0)
            GTEST_SKIP() << "needs root to play owners and callers";
        char tmpl[] = "/tmp/qzoutfileXXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        base = tmpl;
        ASSERT_EQ(::chmod(base.c_str(), 0755), 0); // the unprivileged caller gets in
    }
    void TearDown() override
    {
        std::error_code ignored;
        if (!base.empty())
            std::filesystem::remove_all(base, ignored);
    }

    std::string folder(const std::string& name, uid_t owner, mode_t mode) const
    {
        const std::string p = base + "/" + name;
        EXPECT_EQ(::mkdir(p.c_str(), 0700), 0);
        EXPECT_EQ(::chown(p.c_str(), owner, owner), 0);
        EXPECT_EQ(::chmod(p.c_str(), mode), 0);
        return p;
    }

    static std::string file(const std::string& p, uid_t owner, gid_t group, mode_t mode)
    {
        FILE* f = std::fopen(p.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f) {
            std::fputs(kOld, f);
            std::fclose(f);
        }
        EXPECT_EQ(::chown(p.c_str(), owner, group), 0);
        EXPECT_EQ(::chmod(p.c_str(), mode), 0);
        return p;
    }

    static bool writeNew(const std::string& path)
    {
        qz::OutputFile out;
        return out.open(path.c_str()) && out.write_line(kNew, sizeof kNew - 1) && out.commit();
    }

    // `call` in a child that runs as the unprivileged id; its success.
    static bool asOther(const std::function<bool()>& call)
    {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kOther) != 0 || ::setuid(kOther) != 0)
                _exit(2);
            _exit(call() ? 0 : 1);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    static std::size_t entries(const std::string& dir) { return names(dir).size(); }

    static std::set<std::string> names(const std::string& dir)
    {
        std::set<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(dir))
            out.insert(e.path().filename().string());
        return out;
    }

    std::string base;
};

TEST_F(OutputFileTest, KeepsOwnerGroupSetIdBitsAndHardLinks)
{
    const std::string dir = folder("mine", 0, 0755);
    const std::string path = dir + "/out.hex";
    ASSERT_TRUE(keptfile::make(path));
    ASSERT_TRUE(writeNew(path));
    keptfile::expectKept(path, std::string(kNew) + "\n");
    EXPECT_EQ(entries(dir), 2u);
}

struct WhereItLies {
    const char* name;
    uid_t folderOwner;
    mode_t folderMode;
    uid_t fileOwner;
    mode_t fileMode;
    bool viaLink; // named through a link in a folder the caller owns
};

TEST_F(OutputFileTest, AWritableFileIsWrittenWhereverItLies)
{
    const WhereItLies cases[] = {
        {"own file in a root folder", 0, 0755, kOther, 0666, false},
        {"link to an own file in a root folder", 0, 0755, kOther, 0666, true},
        {"another user's file in a sticky folder", 0, 01777, 0, 0666, false},
        {"own set-group-id file in an own folder", kOther, 0755, kOther, 02770, false},
    };
    int n = 0;
    for (const WhereItLies& c : cases) {
        const std::string dir = folder("d" + std::to_string(n), c.folderOwner, c.folderMode);
        const std::string target = file(dir + "/out.hex", c.fileOwner, c.fileOwner, c.fileMode);
        std::string named = target;
        if (c.viaLink) {
            const std::string linkDir = folder("l" + std::to_string(n), kOther, 0755);
            named = linkDir + "/out.hex";
            ASSERT_EQ(::symlink(target.c_str(), named.c_str()), 0);
            ASSERT_EQ(::lchown(named.c_str(), kOther, kOther), 0);
        }
        ++n;
        EXPECT_TRUE(asOther([&] { return writeNew(named); })) << c.name;
        EXPECT_EQ(file_text(target), std::string(kNew) + "\n") << c.name;
        struct stat st;
        ASSERT_EQ(::lstat(target.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode)) << c.name;
        EXPECT_EQ(st.st_uid, c.fileOwner) << c.name;
        EXPECT_EQ(st.st_mode & 07777, c.fileMode) << c.name;
        EXPECT_EQ(entries(dir), 1u) << c.name;
    }
}

struct Replacing {
    const char* name;
    uid_t owner;
    gid_t group;
    mode_t mode;
    bool viaLink; // named through a link beside it
};

// The old file is never written: a reader that has it open still reads it
// whole, while the name holds the new text with the old owner, group, mode.
TEST_F(OutputFileTest, ReplacingKeepsOwnerGroupModeAndLeavesTheOldFileAlone)
{
    const Replacing cases[] = {
        {"another user's set-group-id file", kOther, kOther, 02750, false},
        {"set-user-id file named through a link", kOther, 0, 04755, true},
        {"sticky, set-user-id and set-group-id", 0, kOther, 07640, false},
    };
    int n = 0;
    for (const Replacing& c : cases) {
        const std::string dir = folder("r" + std::to_string(n++), 0, 0755);
        const std::string target = file(dir + "/out.hex", c.owner, c.group, c.mode);
        const std::string named = c.viaLink ? dir + "/named.hex" : target;
        if (c.viaLink) {
            ASSERT_EQ(::symlink("out.hex", named.c_str()), 0);
        }
        const std::set<std::string> before = names(dir);
        const int reader = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(reader, 0);
        EXPECT_TRUE(writeNew(named)) << c.name;
        char buf[64] = {};
        EXPECT_EQ(::pread(reader, buf, sizeof buf, 0), static_cast<ssize_t>(sizeof kOld - 1)) << c.name;
        EXPECT_EQ(std::string(buf), kOld) << c.name;
        ::close(reader);
        EXPECT_EQ(file_text(named), std::string(kNew) + "\n") << c.name;
        struct stat st;
        ASSERT_EQ(::lstat(target.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode)) << c.name;
        EXPECT_EQ(st.st_uid, c.owner) << c.name;
        EXPECT_EQ(st.st_gid, c.group) << c.name;
        EXPECT_EQ(st.st_mode & 07777, c.mode) << c.name;
        ASSERT_EQ(::lstat(named.c_str(), &st), 0);
        EXPECT_EQ(S_ISLNK(st.st_mode), c.viaLink) << c.name;
        EXPECT_EQ(names(dir), before) << c.name;
    }
}

// Needs no root: the caller's own files under a file size limit.
class OutputFileLimitTest : public OutputFileTest {
protected:
    bool needsRoot() const override { return false; }
};

// A commit that stops midway, here at the file size limit below the new
// size, whether by renaming (one link) or in place (hard links).
TEST_F(OutputFileLimitTest, ACommitStoppedMidwayLeavesTheOldFileWhole)
{
    constexpr rlim_t kLimit = 64;
    for (const bool linked : {false, true}) {
        const std::string dir = base + (linked ? "/linked" : "/single");
        ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
        const std::string path = file(dir + "/out.hex", ::geteuid(), ::getegid(), 0640);
        if (linked) {
            ASSERT_EQ(::link(path.c_str(), (dir + "/other.hex").c_str()), 0);
        }
        const std::set<std::string> before = names(dir);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit lim = {kLimit, kLimit};
            if (::setrlimit(RLIMIT_FSIZE, &lim) != 0)
                _exit(2);
            qz::OutputFile out;
            if (!out.open(path.c_str()))
                _exit(3);
            for (int i = 0; i < 20; ++i)
                out.write_line(kNew, sizeof kNew - 1);
            _exit(out.commit() ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "linked " << linked << ", status " << status;
        EXPECT_EQ(file_text(path), kOld) << "linked " << linked;
        EXPECT_EQ(names(dir), before) << "linked " << linked;
        if (linked) {
            EXPECT_EQ(file_text(dir + "/other.hex"), kOld);
        }
    }
}

} // namespace
