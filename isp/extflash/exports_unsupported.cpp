// Exports of the shared interface that have no meaning for an external
// flash behind a loader: "Not supported" (the settings ones that succeed
// without action are in isp/core/exports_noop).
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"

#include "qz_interface.h"

namespace {

const IspResult* not_supported()
{
    return qz::set_status_text(qz::kErrNotSupported, "Not supported");
}

} // namespace

// The loader is started by qz_connect, not by a start script.
QZ_API const IspResult* qz_start_bootloader(const char*, int, const char*, int, int) { return not_supported(); }
QZ_API const IspResult* qz_start_bootrom(const char* port, int baud, const char* script, int byte_by_byte,
                                         int send_break)
{
    return qz_start_bootloader(port, baud, script, byte_by_byte, send_break);
}
QZ_API const IspResult* qz_cancelautobaud(void) { return not_supported(); }
QZ_API const IspResult* qz_read_signature(void) { return not_supported(); }
QZ_API const IspResult* qz_update_bootloader(const char*, ProgressCallback, int) { return not_supported(); }
QZ_API const IspResult* qz_verify(const char*, int, ProgressCallback, int) { return not_supported(); }
QZ_API const IspResult* qz_read_security_bits(void) { return not_supported(); }
QZ_API const IspResult* qz_read_clocks_bit(void) { return not_supported(); }
QZ_API const IspResult* qz_program_clocks_bit(void) { return not_supported(); }
QZ_API const IspResult* qz_program_security_bits(const unsigned*) { return not_supported(); }
QZ_API const IspResult* qz_blank_check(unsigned, unsigned) { return not_supported(); }
QZ_API const IspResult* qz_read_crc(int) { return not_supported(); }
QZ_API const IspResult* qz_read_data(unsigned, unsigned, const char*, ProgressCallback, int) { return not_supported(); }
QZ_API const IspResult* qz_read_data_to_buffer(unsigned, unsigned, unsigned char*, ProgressCallback, int)
{
    return not_supported();
}
QZ_API const IspResult* qz_reset(int, unsigned, unsigned) { return not_supported(); }
QZ_API const IspResult* qz_bootloader_version(void) { return not_supported(); }
QZ_API const IspResult* qz_serial_number(void) { return not_supported(); }
QZ_API const IspResult* qz_program_eeprom_from_buffer(const unsigned char*, unsigned, unsigned)
{
    return not_supported();
}
QZ_API const IspResult* qz_read_eeprom_to_buffer(unsigned char*, unsigned, unsigned) { return not_supported(); }

QZ_API const IspResult* qz_activate_flash_bank(int)
{
    qz::isp_result()->status = qz::kErrNotSupported; // the text stays as it was
    return qz::isp_result();
}
