#include "isp/core/regularfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qz {

std::FILE* open_regular_file(const char* path, bool* not_regular)
{
    if (not_regular != nullptr)
        *not_regular = false;
    if (path == nullptr || *path == '\0')
        return nullptr;
    // Looked at first: a device must not be opened at all (a terminal could
    // become the caller's controlling one, a serial line moves its modem
    // lines). A link to a regular file is read through.
    struct stat before;
    if (::stat(path, &before) != 0)
        return nullptr;
    if (!S_ISREG(before.st_mode)) {
        if (not_regular != nullptr)
            *not_regular = true;
        return nullptr;
    }
    // Should the path change after the look: O_NONBLOCK keeps the open of a
    // FIFO from waiting for its writer, O_NOCTTY keeps a terminal from
    // becoming the controlling one, and the file opened is looked at again.
    const int fd = ::open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (not_regular != nullptr)
            *not_regular = true;
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* f = ::fdopen(fd, "rb");
    if (f == nullptr)
        ::close(fd);
    return f;
}

} // namespace qz
