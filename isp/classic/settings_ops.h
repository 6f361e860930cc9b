// The classic driver's read-back and settings operations behind their
// exports: each tests the part's capability, then the port, then its
// arguments, and sends the dialect's commands, retried as the operation
// says, before it reports.
#pragma once

#include "isp/classic/program_engine.h"

#include "qz_interface.h"

namespace qz {

// Read-back.
IspResult* classic_verify(const char* hex_file, int skip_checksum_bytes, ProgressCallback cb, int user);
IspResult* classic_read_data(unsigned start, unsigned end, const char* out_file, ProgressCallback cb, int user);
IspResult* classic_read_data_to_buffer(unsigned start, unsigned end, unsigned char* buffer, ProgressCallback cb,
                                       int user);

// Checks.
IspResult* classic_blank_check(unsigned start, unsigned end);
IspResult* classic_read_crc(int block);
IspResult* classic_read_eeprom_crc(int block);
IspResult* classic_read_misr(int block);

// Security.
IspResult* classic_read_security_bits();
IspResult* classic_program_security_bits(const unsigned* flags);
IspResult* classic_read_clocks_bit();
IspResult* classic_program_clocks_bit();
IspResult* classic_read_eeprom_security_bits();
IspResult* classic_program_eeprom_security_bits(const int* flags);
IspResult* classic_program_addl_security_bits(const int* flags);
IspResult* classic_erase_addl_security_bits();
IspResult* classic_read_addl_security_bits();

// Settings.
IspResult* classic_read_boot_vector_status_byte();
IspResult* classic_erase_boot_vector_status_byte();
IspResult* classic_program_boot_vector(int vector);
IspResult* classic_program_status_byte(int value);
IspResult* classic_read_configuration();
IspResult* classic_program_configuration(int value);
IspResult* classic_clear_configuration_protection();
IspResult* classic_program_i2c_address(int address);
IspResult* classic_enable_softice();
IspResult* classic_bootloader_version();

// The programming run over the EEPROM (its final step flag always set).
IspResult* classic_program_eeprom(ClassicProgramRequest request);

// Page erase.
IspResult* classic_erase_pages(const int* page_flags, int guard, ProgressCallback cb, int user);
IspResult* classic_erase_eeprom_pages(const int* page_flags, ProgressCallback cb, int user);

} // namespace qz
