// The start script that brings a running user program into the boot ROM.
#include "isp/core/startscript.h"

#include "qz_interface.h"

QZ_API const IspResult* qz_start_bootloader(const char* port, int baud, const char* script,
                                            int byte_by_byte, int send_break)
{
    return qz::run_start_script(port, baud, script, byte_by_byte, send_break);
}

QZ_API const IspResult* qz_start_bootrom(const char* port, int baud, const char* script,
                                         int byte_by_byte, int send_break)
{
    return qz::run_start_script(port, baud, script, byte_by_byte, send_break);
}
