#include "platform/serialspeed.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace platform {

bool setArbitrarySerialSpeed(int fd, unsigned baud, int* error)
{
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0) {
        if (error)
            *error = errno;
        return false;
    }
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    if (::ioctl(fd, TCSETS2, &t) != 0) {
        if (error)
            *error = errno;
        return false;
    }
    return true;
}

} // namespace platform
