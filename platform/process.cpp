#include "platform/process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

class SpawnSetup {
public:
    SpawnSetup()
    {
        okActions_ = posix_spawn_file_actions_init(&actions_) == 0;
        okAttr_ = posix_spawnattr_init(&attr_) == 0;
    }
    ~SpawnSetup()
    {
        if (okActions_)
            posix_spawn_file_actions_destroy(&actions_);
        if (okAttr_)
            posix_spawnattr_destroy(&attr_);
    }
    bool ok() const { return okActions_ && okAttr_; }

    bool prepare(const ProcessStdio& stdio)
    {
        const int wanted[3] = {stdio.in, stdio.out, stdio.err};
        for (int target = 0; target < 3; ++target) {
            int r = wanted[target] >= 0
                        ? posix_spawn_file_actions_adddup2(&actions_, wanted[target], target)
                        : posix_spawn_file_actions_addopen(&actions_, target, "/dev/null",
                                                           target == 0 ? O_RDONLY : O_WRONLY, 0);
            if (r != 0)
                return false;
        }
        // Nothing else of ours (ports, log files, pipes) reaches the child.
        if (posix_spawn_file_actions_addclosefrom_np(&actions_, 3) != 0)
            return false;

        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGCHLD})
            sigaddset(&defaults, s);
        return posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                    POSIX_SPAWN_SETSIGDEF) == 0 &&
               posix_spawnattr_setpgroup(&attr_, 0) == 0 &&
               posix_spawnattr_setsigmask(&attr_, &none) == 0 &&
               posix_spawnattr_setsigdefault(&attr_, &defaults) == 0;
    }

    posix_spawn_file_actions_t* actions() { return &actions_; }
    posix_spawnattr_t* attr() { return &attr_; }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attr_;
    bool okActions_ = false;
    bool okAttr_ = false;
};

} // namespace

Process::~Process()
{
    if (running())
        kill();
}

bool Process::start(const std::vector<std::string>& argv, const ProcessStdio& stdio, int* error)
{
    if (running())
        kill();
    exitCode_ = -1;
    signal_ = 0;
    if (argv.empty() || argv[0].empty()) {
        if (error)
            *error = ENOENT;
        return false;
    }
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    SpawnSetup setup;
    if (!setup.ok() || !setup.prepare(stdio)) {
        if (error)
            *error = ENOMEM;
        return false;
    }
    pid_t pid = -1;
    int r = posix_spawnp(&pid, args[0], setup.actions(), setup.attr(), args.data(), environ);
    if (r != 0) {
        if (error)
            *error = r;
        return false;
    }
    pid_ = pid;
    return true;
}

Process::Wait Process::wait(int timeoutMs)
{
    if (!running())
        return Wait::Failed;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid_, &status, timeoutMs < 0 ? 0 : WNOHANG);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            pid_ = -1; // not ours to reap any more
            return Wait::Failed;
        }
        if (r == pid_) {
            pid_ = -1;
            if (WIFEXITED(status)) {
                exitCode_ = WEXITSTATUS(status);
                return Wait::Exited;
            }
            signal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
            return Wait::Signalled;
        }
        auto now = Clock::now();
        if (now >= deadline)
            return Wait::TimedOut;
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
}

void Process::kill()
{
    if (!running())
        return;
    if (killpg(pid_, SIGKILL) != 0)
        ::kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

} // namespace platform
