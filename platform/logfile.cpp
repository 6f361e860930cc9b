#include "platform/logfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::FILE* openLogForAppend(const std::string& path)
{
    // Looked at before it is opened: opening a terminal or serial device
    // can make it the caller's controlling terminal or move its modem lines.
    struct stat before;
    if (::lstat(path.c_str(), &before) == 0) {
        if (!S_ISREG(before.st_mode))
            return nullptr;
    } else if (errno != ENOENT) {
        return nullptr;
    }
    // O_NOCTTY and O_NONBLOCK still guard against the path changing between
    // the look and the open.
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "a+b");
    if (!f)
        ::close(fd);
    return f;
}

} // namespace platform
