// Exports of the classic driver's read-back and device settings.
#include "isp/classic/settings_ops.h"

#include "qz_interface.h"

QZ_API const IspResult* qz_erase_pages(const int* page_flags, int guard, ProgressCallback cb, int user)
{
    return qz::classic_erase_pages(page_flags, guard, cb, user);
}
QZ_API const IspResult* qz_erase_eeprom_pages(const int* page_flags, ProgressCallback cb, int user)
{
    return qz::classic_erase_eeprom_pages(page_flags, cb, user);
}
QZ_API const IspResult* qz_verify(const char* hex_file, int skip_checksum_bytes, ProgressCallback cb, int user)
{
    return qz::classic_verify(hex_file, skip_checksum_bytes, cb, user);
}
QZ_API const IspResult* qz_read_security_bits(void) { return qz::classic_read_security_bits(); }
QZ_API const IspResult* qz_read_eeprom_security_bits(void) { return qz::classic_read_eeprom_security_bits(); }
QZ_API const IspResult* qz_read_clocks_bit(void) { return qz::classic_read_clocks_bit(); }
QZ_API const IspResult* qz_program_clocks_bit(void) { return qz::classic_program_clocks_bit(); }
QZ_API const IspResult* qz_program_security_bits(const unsigned* flags) { return qz::classic_program_security_bits(flags); }
QZ_API const IspResult* qz_program_eeprom_security_bits(const int* flags)
{
    return qz::classic_program_eeprom_security_bits(flags);
}
QZ_API const IspResult* qz_blank_check(unsigned start, unsigned end) { return qz::classic_blank_check(start, end); }
QZ_API const IspResult* qz_read_crc(int block) { return qz::classic_read_crc(block); }
QZ_API const IspResult* qz_read_eeprom_crc(int block) { return qz::classic_read_eeprom_crc(block); }
QZ_API const IspResult* qz_read_misr(int block) { return qz::classic_read_misr(block); }
QZ_API const IspResult* qz_read_data(unsigned start, unsigned end, const char* out_file, ProgressCallback cb, int user)
{
    return qz::classic_read_data(start, end, out_file, cb, user);
}
QZ_API const IspResult* qz_read_data_to_buffer(unsigned start, unsigned end, unsigned char* buffer, ProgressCallback cb,
                                               int user)
{
    return qz::classic_read_data_to_buffer(start, end, buffer, cb, user);
}
QZ_API const IspResult* qz_program_addl_security_bits(const int* flags)
{
    return qz::classic_program_addl_security_bits(flags);
}
QZ_API const IspResult* qz_erase_addl_security_bits(void) { return qz::classic_erase_addl_security_bits(); }
QZ_API const IspResult* qz_read_addl_security_bits(void) { return qz::classic_read_addl_security_bits(); }
QZ_API const IspResult* qz_read_boot_vector_status_byte(void) { return qz::classic_read_boot_vector_status_byte(); }
QZ_API const IspResult* qz_read_configuration(void) { return qz::classic_read_configuration(); }
QZ_API const IspResult* qz_erase_boot_vector_status_byte(void) { return qz::classic_erase_boot_vector_status_byte(); }
QZ_API const IspResult* qz_program_boot_vector(int vector) { return qz::classic_program_boot_vector(vector); }
QZ_API const IspResult* qz_program_status_byte(int value) { return qz::classic_program_status_byte(value); }
QZ_API const IspResult* qz_clear_configuration_protection(void) { return qz::classic_clear_configuration_protection(); }
QZ_API const IspResult* qz_program_configuration(int value) { return qz::classic_program_configuration(value); }
QZ_API const IspResult* qz_program_i2c_address(int address) { return qz::classic_program_i2c_address(address); }
QZ_API const IspResult* qz_enable_softice(void) { return qz::classic_enable_softice(); }
QZ_API const IspResult* qz_bootloader_version(void) { return qz::classic_bootloader_version(); }
QZ_API const IspResult* qz_program_eeprom(const char* hex_file, int checksum_adjust, int use_fill_byte, int fill_byte,
                                          int guard, const char* jit_module, const char* jit_arguments,
                                          int jit_timeout_s, int final_flag, int, ProgressCallback cb, int user)
{
    qz::ClassicProgramRequest r;
    r.hex_file = hex_file;
    r.checksum_adjust = checksum_adjust;
    r.use_fill_byte = use_fill_byte;
    r.fill_byte = fill_byte;
    r.guard = guard;
    r.jit_module = jit_module;
    r.jit_arguments = jit_arguments;
    r.jit_timeout_s = jit_timeout_s;
    r.final_flag = final_flag;
    r.cb = cb;
    r.user = user;
    return qz::classic_program_eeprom(r);
}
