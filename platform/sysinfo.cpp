#include "platform/sysinfo.h"

#include <sys/utsname.h>

namespace platform {

SystemVersion system_version()
{
    struct utsname u;
    if (uname(&u) != 0)
        return {"<unknown>", "<unknown>", "<unknown>", "<unknown>"};
    return {u.sysname, u.release, u.version, u.machine};
}

}  // namespace platform
