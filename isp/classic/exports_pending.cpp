// The classic device operations that this version of the driver does not
// carry yet (read-back and the device settings). Each
// refuses plainly: -7 without a selected part or an open port, else -16
// naming the operation. None touches the part or claims success.
#include "isp/classic/classic_state.h"
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"

#include "qz_interface.h"

namespace {

const IspResult* pending(const char* words)
{
    if (!qz::selected_classic_device() || !qz::port_is_open())
        return qz::set_result(qz::kErrNoConnection);
    return qz::set_result(qz::kErrNotSupported, words);
}

} // namespace

QZ_API const IspResult* qz_erase_pages(const int*, int, ProgressCallback, int) { return pending("(erase pages)"); }
QZ_API const IspResult* qz_erase_eeprom_pages(const int*, ProgressCallback, int) { return pending("(erase eeprom pages)"); }
QZ_API const IspResult* qz_update_bootloader(const char*, ProgressCallback, int) { return pending("(update bootloader)"); }
QZ_API const IspResult* qz_program_eeprom(const char*, int, int, int, int, const char*, const char*, int, int, int,
                                          ProgressCallback, int)
{
    return pending("(program eeprom)");
}
QZ_API const IspResult* qz_verify(const char*, int, ProgressCallback, int) { return pending("(verify)"); }
QZ_API const IspResult* qz_read_security_bits(void) { return pending("(read security bits)"); }
QZ_API const IspResult* qz_read_eeprom_security_bits(void) { return pending("(read eeprom security)"); }
QZ_API const IspResult* qz_read_clocks_bit(void) { return pending("(read clocks bit)"); }
QZ_API const IspResult* qz_program_clocks_bit(void) { return pending("(program clocks bit)"); }
QZ_API const IspResult* qz_program_security_bits(const unsigned*) { return pending("(program security bits)"); }
QZ_API const IspResult* qz_program_eeprom_security_bits(const int*) { return pending("(program eeprom security bits)"); }
QZ_API const IspResult* qz_blank_check(unsigned, unsigned) { return pending("(blank check)"); }
QZ_API const IspResult* qz_read_crc(int) { return pending("(read crc)"); }
QZ_API const IspResult* qz_read_eeprom_crc(int) { return pending("(read eeprom crc)"); }
QZ_API const IspResult* qz_read_misr(int) { return pending("(read misr)"); }
QZ_API const IspResult* qz_read_data(unsigned, unsigned, const char*, ProgressCallback, int) { return pending("(read data)"); }
QZ_API const IspResult* qz_read_data_to_buffer(unsigned, unsigned, unsigned char*, ProgressCallback, int)
{
    return pending("(read data to buffer)");
}
QZ_API const IspResult* qz_program_addl_security_bits(const int*) { return pending("(program additional security)"); }
QZ_API const IspResult* qz_erase_addl_security_bits(void) { return pending("(erase additional security)"); }
QZ_API const IspResult* qz_read_addl_security_bits(void) { return pending("(read additional security)"); }
QZ_API const IspResult* qz_read_boot_vector_status_byte(void) { return pending("(read boot vector and status byte)"); }
QZ_API const IspResult* qz_read_configuration(void) { return pending("(read configuration)"); }
QZ_API const IspResult* qz_erase_boot_vector_status_byte(void) { return pending("(erase boot vector and status byte)"); }
QZ_API const IspResult* qz_program_boot_vector(int) { return pending("(program boot vector)"); }
QZ_API const IspResult* qz_program_status_byte(int) { return pending("(program status byte)"); }
QZ_API const IspResult* qz_clear_configuration_protection(void) { return pending("(clearing configuration protection)"); }
QZ_API const IspResult* qz_program_configuration(int) { return pending("(programming configuration)"); }
QZ_API const IspResult* qz_program_i2c_address(int) { return pending("(program i2c address)"); }
QZ_API const IspResult* qz_enable_softice(void) { return pending("(enable softice)"); }
QZ_API const IspResult* qz_bootloader_version(void) { return pending("(bootloader version)"); }
