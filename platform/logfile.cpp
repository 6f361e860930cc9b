#include "platform/logfile.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform {

std::FILE* openLogForAppend(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    std::FILE* f = ::fdopen(fd, "a+b");
    if (!f)
        ::close(fd);
    return f;
}

} // namespace platform
