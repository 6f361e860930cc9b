#include "platform/pipe.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace platform {

Pipe::~Pipe()
{
    closeReadEnd();
    closeWriteEnd();
}

bool Pipe::open()
{
    closeReadEnd();
    closeWriteEnd();
    return pipe2(fds_, O_CLOEXEC) == 0;
}

void Pipe::closeReadEnd()
{
    if (fds_[0] >= 0)
        close(fds_[0]);
    fds_[0] = -1;
}

void Pipe::closeWriteEnd()
{
    if (fds_[1] >= 0)
        close(fds_[1]);
    fds_[1] = -1;
}

PipeRead pipeRead(int fd, void* buffer, std::size_t size, int timeoutMs, std::size_t* got)
{
    *got = 0;
    struct pollfd p = {fd, POLLIN, 0};
    int r;
    do {
        r = poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        return PipeRead::Failed;
    if (r == 0)
        return PipeRead::TimedOut;
    ssize_t n;
    do {
        n = read(fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return PipeRead::Failed;
    if (n == 0)
        return PipeRead::End;
    *got = static_cast<std::size_t>(n);
    return PipeRead::Data;
}

} // namespace platform
