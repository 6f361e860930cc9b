// Exports the classic parts have no use for.
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"

#include "qz_interface.h"

QZ_API const IspResult* qz_serial_number(void)
{
    return qz::set_result(qz::kErrNotSupported, "(serial number)");
}

QZ_API const IspResult* qz_activate_flash_bank(int)
{
    // The status alone: the text stays as the previous call left it.
    IspResult* r = qz::isp_result();
    r->status = qz::kErrNotSupported;
    return r;
}

QZ_API const IspResult* qz_program_eeprom_from_buffer(const unsigned char*, unsigned, unsigned)
{
    return qz::set_status_text(qz::kErrNotSupported, "Not supported");
}

QZ_API const IspResult* qz_read_eeprom_to_buffer(unsigned char*, unsigned, unsigned)
{
    return qz::set_status_text(qz::kErrNotSupported, "Not supported");
}
