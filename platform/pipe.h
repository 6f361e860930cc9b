// An anonymous pipe whose two ends are closed on exec, so a child sees only
// the end that is handed to it explicitly.
#pragma once

#include <cstddef>

namespace platform {

class Pipe {
public:
    Pipe() = default;
    ~Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    bool open();
    int readEnd() const { return fds_[0]; }
    int writeEnd() const { return fds_[1]; }
    void closeReadEnd();
    void closeWriteEnd();

private:
    int fds_[2] = {-1, -1};
};

enum class PipeRead {
    Data,     // *got bytes arrived (at least one)
    End,      // every writer has closed and the pipe is empty
    TimedOut, // nothing came in time
    Failed,
};

// One read of up to `size` bytes, waiting at most timeoutMs (negative: no
// limit) for something to arrive.
PipeRead pipeRead(int fd, void* buffer, std::size_t size, int timeoutMs, std::size_t* got);

} // namespace platform
