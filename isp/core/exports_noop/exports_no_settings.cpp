// The settings, password and EEPROM exports of the shared interface for the
// libraries whose parts have none of them (Cortex, external flash): success
// without touching the part, reads answering zeroes, arguments unread.
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"

#include "qz_interface.h"

#include <cstring>

namespace {

const IspResult* ok()
{
    return qz::set_success();
}

// Success with the first `count` result bytes zeroed.
const IspResult* ok_zeroed(std::size_t count)
{
    IspResult* r = qz::set_success();
    std::memset(r->data, 0, count);
    return r;
}

} // namespace

QZ_API const IspResult* qz_erase_pages(const int*, int, ProgressCallback, int)
{
    return qz::set_status_text(qz::kErrNotSupported, "Not supported");
}

QZ_API const IspResult* qz_read_misr(int)
{
    return qz::set_result(qz::kErrNotSupported);
}

QZ_API const IspResult* qz_read_boot_vector_status_byte(void) { return ok_zeroed(2); }
QZ_API const IspResult* qz_read_addl_security_bits(void) { return ok_zeroed(3); }
QZ_API const IspResult* qz_read_configuration(void) { return ok_zeroed(4); }

QZ_API const IspResult* qz_program_addl_security_bits(const int*) { return ok(); }
QZ_API const IspResult* qz_erase_addl_security_bits(void) { return ok(); }
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
