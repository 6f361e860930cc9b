#include "isp/classic/bootloader_update.h"

#include "isp/core/errorcodes.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"

namespace qz {

IspResult* check_new_bootloader(const ClassicDeviceRecord& d)
{
    sleep_ms(100);
    if (!purge_port(0))
        return set_result(kErrCommunicate, "(flushing receive)");
    const char sync = static_cast<char>(d.sync_char);
    char echo = 0;
    if (!port_write(&sync, 1) || !port_read(&echo, 1, 0) || echo != sync)
        return set_result(kErrConnectBaud, "(update bootloader - no echo of the sync character)");
    use_long_timeouts();
    char star = 0;
    const bool answered = port_read(&star, 1, 0) && star == '*';
    use_short_timeouts();
    if (!answered)
        return set_result(kErrProgramHex, "(update bootloader - the new boot loader does not answer)");
    return nullptr;
}

} // namespace qz
