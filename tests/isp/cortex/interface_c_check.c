/* Compiled as C: the interface header is valid C and declares every export. */
#include "qz_interface.h"

#define QZ_DECLARED(name) (sizeof(&name) != 0)

int qz_interface_c_check(void);
int qz_interface_c_check(void)
{
    int n = 0;
    n += QZ_DECLARED(qz_version) + QZ_DECLARED(qz_longversion) + QZ_DECLARED(qz_start_bootrom);
    n += QZ_DECLARED(qz_start_bootloader) + QZ_DECLARED(qz_cancelautobaud) + QZ_DECLARED(qz_raw_connect);
    n += QZ_DECLARED(qz_raw_disconnect) + QZ_DECLARED(qz_raw_transmit) + QZ_DECLARED(qz_raw_receive);
    n += QZ_DECLARED(qz_raw_cancelreceive) + QZ_DECLARED(qz_connect) + QZ_DECLARED(qz_disconnect);
    n += QZ_DECLARED(qz_set_autobaud_configuration) + QZ_DECLARED(qz_select_debug_mode);
    n += QZ_DECLARED(qz_select_device) + QZ_DECLARED(qz_read_signature) + QZ_DECLARED(qz_erase);
    n += QZ_DECLARED(qz_erase_pages) + QZ_DECLARED(qz_update_bootloader) + QZ_DECLARED(qz_program);
    n += QZ_DECLARED(qz_program2) + QZ_DECLARED(qz_verify) + QZ_DECLARED(qz_read_security_bits);
    n += QZ_DECLARED(qz_read_clocks_bit) + QZ_DECLARED(qz_program_clocks_bit);
    n += QZ_DECLARED(qz_program_security_bits) + QZ_DECLARED(qz_blank_check) + QZ_DECLARED(qz_read_crc);
    n += QZ_DECLARED(qz_read_misr) + QZ_DECLARED(qz_read_data) + QZ_DECLARED(qz_read_data_to_buffer);
    n += QZ_DECLARED(qz_program_addl_security_bits) + QZ_DECLARED(qz_erase_addl_security_bits);
    n += QZ_DECLARED(qz_read_addl_security_bits) + QZ_DECLARED(qz_read_boot_vector_status_byte);
    n += QZ_DECLARED(qz_read_configuration) + QZ_DECLARED(qz_erase_boot_vector_status_byte);
    n += QZ_DECLARED(qz_program_boot_vector) + QZ_DECLARED(qz_program_status_byte);
    n += QZ_DECLARED(qz_clear_configuration_protection) + QZ_DECLARED(qz_program_configuration);
    n += QZ_DECLARED(qz_program_i2c_address) + QZ_DECLARED(qz_set_password);
    n += QZ_DECLARED(qz_verify_password) + QZ_DECLARED(qz_reset_password) + QZ_DECLARED(qz_reset);
    n += QZ_DECLARED(qz_set_timeouts) + QZ_DECLARED(qz_set_default_timeouts);
    n += QZ_DECLARED(qz_enable_softice) + QZ_DECLARED(qz_bootloader_version);
    n += QZ_DECLARED(qz_serial_number) + QZ_DECLARED(qz_read_eeprom_security_bits);
    n += QZ_DECLARED(qz_program_eeprom_security_bits) + QZ_DECLARED(qz_erase_eeprom_pages);
    n += QZ_DECLARED(qz_read_eeprom_crc) + QZ_DECLARED(qz_program_eeprom);
    n += QZ_DECLARED(qz_activate_flash_bank) + QZ_DECLARED(qz_program_eeprom_from_buffer);
    n += QZ_DECLARED(qz_read_eeprom_to_buffer) + QZ_DECLARED(qz_get_comport_handle);
    n += QZ_DECLARED(qz_set_comport_handle);
    return n;
}
