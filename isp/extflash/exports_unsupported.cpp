// Exports of the shared interface that have no meaning for an external
// flash behind a loader: "Not supported", or success without action.
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"

#include "qz_interface.h"

#include <cstring>

namespace {

const IspResult* not_supported()
{
    return qz::set_status_text(qz::kErrNotSupported, "Not supported");
}

const IspResult* ok()
{
    return qz::set_success();
}

// Success with the first `count` result bytes zeroed, as the Cortex driver's
// no-op reads answer.
const IspResult* ok_zeroed(std::size_t count)
{
    IspResult* r = qz::set_success();
    std::memset(r->data, 0, count);
    return r;
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
QZ_API const IspResult* qz_erase_pages(const int*, int, ProgressCallback, int) { return not_supported(); }
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

QZ_API const IspResult* qz_read_misr(int) { return qz::set_result(qz::kErrNotSupported); }

QZ_API const IspResult* qz_activate_flash_bank(int)
{
    qz::isp_result()->status = qz::kErrNotSupported; // the text stays as it was
    return qz::isp_result();
}

QZ_API const IspResult* qz_program_addl_security_bits(const int*) { return ok(); }
QZ_API const IspResult* qz_erase_addl_security_bits(void) { return ok(); }
QZ_API const IspResult* qz_read_addl_security_bits(void) { return ok_zeroed(3); }
QZ_API const IspResult* qz_read_boot_vector_status_byte(void) { return ok_zeroed(2); }
QZ_API const IspResult* qz_read_configuration(void) { return ok_zeroed(4); }
QZ_API const IspResult* qz_erase_boot_vector_status_byte(void) { return ok(); }
QZ_API const IspResult* qz_program_boot_vector(int) { return ok(); }
QZ_API const IspResult* qz_program_status_byte(int) { return ok(); }
QZ_API const IspResult* qz_clear_configuration_protection(void) { return ok(); }
QZ_API const IspResult* qz_program_configuration(int) { return ok(); }
QZ_API const IspResult* qz_program_i2c_address(int) { return ok(); }
QZ_API const IspResult* qz_set_password(const char*, int) { return ok(); }
QZ_API const IspResult* qz_verify_password(const char*, int) { return ok(); }
QZ_API const IspResult* qz_reset_password(void) { return ok(); }
QZ_API const IspResult* qz_enable_softice(void) { return ok(); }
QZ_API const IspResult* qz_read_eeprom_security_bits(void) { return ok(); }
QZ_API const IspResult* qz_program_eeprom_security_bits(const int*) { return ok(); }
QZ_API const IspResult* qz_erase_eeprom_pages(const int*, ProgressCallback, int) { return ok(); }
QZ_API const IspResult* qz_read_eeprom_crc(int) { return ok(); }
QZ_API const IspResult* qz_program_eeprom(const char*, int, int, int, int, const char*, const char*, int, int, int,
                                          ProgressCallback, int)
{
    return ok();
}
