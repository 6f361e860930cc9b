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
    // O_NONBLOCK keeps the open of a FIFO from waiting for its writer.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
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
