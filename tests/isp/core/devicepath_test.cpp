// A terminal named where the libraries want a regular file (the log, an
// input file) is refused without being opened: a session without a
// controlling terminal must not gain that one.
#include "isp/core/debuglog.h"
#include "isp/core/regularfile.h"
#include "isp/core/session.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void logToPath(const char* path)
{
    qz::session().debugLog = 1;
    std::snprintf(qz::session().logPath, qz::kLogPathSize, "%s", path);
    qz::debug_log(qz::kLogDebug, "qz_connect started");
}

void readAsInput(const char* path)
{
    if (std::FILE* f = qz::open_regular_file(path))
        std::fclose(f);
}

struct Opener {
    const char* name;
    void (*use)(const char* path);
};

const Opener kOpeners[] = {{"diagnostic log", logToPath}, {"input file", readAsInput}};

// In a child that leads a session of its own (so it has no controlling
// terminal): names the pty's slave to `use`. The exit code tells: 0 when the
// child still has no controlling terminal and nothing reached the pty.
int runInFreshSession(const Opener& opener)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return -1;
    const std::string slave = ptsname(master);
    const pid_t pid = fork();
    if (pid == 0) {
        if (setsid() < 0)
            _exit(10);
        opener.use(slave.c_str());
        const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY);
        if (tty >= 0)
            _exit(11); // the pty became this session's terminal
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    char c;
    const bool wrote = ::read(master, &c, 1) > 0;
    ::close(master);
    if (!WIFEXITED(status))
        return -2;
    return wrote ? 12 : WEXITSTATUS(status);
}

TEST(DevicePath, APtyNamedAsAFileIsNotOpened)
{
    for (const Opener& o : kOpeners)
        EXPECT_EQ(runInFreshSession(o), 0) << o.name;
}

} // namespace
