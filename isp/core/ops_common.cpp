#include "isp/core/ops_common.h"

#include "isp/core/errorcodes.h"
#include "isp/core/regularfile.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"

namespace qz {

bool require_port()
{
    if (port_is_open())
        return true;
    set_result(kErrNoConnection);
    return false;
}

bool report_progress(ProgressCallback cb, int event, int value, int extra, int user)
{
    if (cb == nullptr || cb(event, value, extra, user) != 0)
        return true;
    set_result(kErrCancelled);
    return false;
}

std::FILE* open_file_retry(const char* path, const char* mode)
{
    // A plain fopen for writing would block on a FIFO and truncate in place.
    if (path == nullptr || *path == '\0' || mode == nullptr || mode[0] != 'r')
        return nullptr;
    for (int i = 0; i < kFileTries; ++i) {
        bool not_regular = false;
        if (std::FILE* f = open_regular_file(path, &not_regular))
            return f;
        // A folder or a device stays what it is: trying again cannot help.
        if (not_regular)
            return nullptr;
    }
    return nullptr;
}

void put_result_address(int offset, std::uint32_t value, int bytes)
{
    set_result_be(offset, value, bytes);
}

IspResult* set_status_only(int status)
{
    IspResult* r = isp_result();
    r->status = status;
    return r;
}

} // namespace qz
