// A helper program started directly from its program path and arguments (no
// shell, so no word of an argument is ever taken as a command), in its own
// process group, with no descriptor of ours but the three it is handed.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Descriptors for the child's standard input, output and error; -1 gives
// it /dev/null there.
struct ProcessStdio {
    int in = -1;
    int out = -1;
    int err = -1;
};

class Process {
public:
    enum class Wait {
        Exited,    // exitCode() holds its exit status
        Signalled, // a signal ended it; signal() says which
        TimedOut,  // still running
        Failed,    // the system could not wait for it
    };

    Process() = default;
    ~Process(); // a child still running is killed and reaped
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // argv[0] is the program: a path, or a name looked up in PATH. False
    // when it cannot be started (*error: the system's error number).
    bool start(const std::vector<std::string>& argv, const ProcessStdio& stdio, int* error = nullptr);

    // Waits at most timeoutMs (negative: no limit) for the child to end and
    // reaps it when it did.
    Wait wait(int timeoutMs);

    // Kills the child's whole process group and reaps the child.
    void kill();

    bool running() const { return pid_ > 0; }
    int exitCode() const { return exitCode_; }
    int signal() const { return signal_; }

private:
    int pid_ = -1;
    int exitCode_ = -1;
    int signal_ = 0;
};

} // namespace platform
