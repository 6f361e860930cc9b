// The command records of both classic dialects, built from the selected
// part's record. Each builder gives the exact characters to send, line end
// included where the command has one; an empty text means the arguments
// are out of range (the caller reports -18).
#pragma once

#include "isp/classic/classic_device.h"

#include <cstdint>
#include <string>

namespace qz {

// ---- Shared by both dialects ------------------------------------------------

std::string icp_version_command();                    // ":000000FF01"
std::string softice_command();                        // ":00000002FE"
std::string baud_reload_command(const ClassicDeviceRecord& d, std::uint16_t reload);
// Method 0 ":02000005800178", 1 ":0000000BF5", 2 "$"; other methods: empty.
std::string reset_command(int method);
// Method 1 ":00000001FF", 2 ":02000005008079", 3 ":020000050002F7"; other: empty.
std::string bootloader_version_command(int method);

// ---- Dialect 1 ----------------------------------------------------------------

std::string d1_oscillator_command(const ClassicDeviceRecord& d, double mhz);
std::string d1_i2c_address_command(const ClassicDeviceRecord& d, std::uint8_t address);
std::string d1_read_signature_command(const ClassicDeviceRecord& d, int index);
std::string d1_read_security_command(const ClassicDeviceRecord& d);
std::string d1_read_clocks_command(const ClassicDeviceRecord& d);
std::string d1_program_clocks_command(const ClassicDeviceRecord& d);
// Block 32 and up: empty. The part above 64 KB carries a 16-bit erase code.
std::string d1_erase_block_command(const ClassicDeviceRecord& d, int block);
std::string d1_erase_bv_sb_command(const ClassicDeviceRecord& d);
std::string d1_program_status_byte_command(const ClassicDeviceRecord& d, std::uint8_t value);
std::string d1_program_i2c_address_command(const ClassicDeviceRecord& d, std::uint8_t address);
// ss 01 with the vector's low byte, ss 02 with its high byte.
std::string d1_program_boot_vector_command(const ClassicDeviceRecord& d, int sub, std::uint8_t value);
std::string d1_erase_all_command(const ClassicDeviceRecord& d);
// Read memory (sub 00) and blank check (sub 01), with the family's line end.
std::string d1_read_memory_command(const ClassicDeviceRecord& d, std::uint32_t start, std::uint32_t end);
std::string d1_blank_check_command(const ClassicDeviceRecord& d, std::uint32_t start, std::uint32_t end);
// ":020000xx07sscc": status byte 01, boot vector 02 (high byte 03), I2C address 04, security 00.
std::string d1_read_byte_command(const ClassicDeviceRecord& d, std::uint8_t sub);
std::string d1_program_security_command(const ClassicDeviceRecord& d, int index);
// Passwords of 1 to 31 bytes; anything else: empty.
std::string d1_set_password_command(const std::uint8_t* password, int length);
std::string d1_verify_password_command(const std::uint8_t* password, int length);
std::string d1_reset_password_command(); // ":00000007F9"
// Page 1024 and up: empty.
std::string d1_erase_page_command(const ClassicDeviceRecord& d, int page);
std::string d1_icp_select_command(const ClassicDeviceRecord& d, int major, int interface_number);

// ---- Dialect 2 ----------------------------------------------------------------

std::string d2_read_signature_command(const ClassicDeviceRecord& d, int index);
std::string d2_read_sector_security_command(const ClassicDeviceRecord& d, int block);
// Block 32 and up, or a block past the family's table: empty.
std::string d2_erase_sector_command(const ClassicDeviceRecord& d, int block);
std::string d2_erase_page_command(const ClassicDeviceRecord& d, int page);          // page < 1024
std::string d2_erase_eeprom_page_command(const ClassicDeviceRecord& d, int page);   // page < 128
std::string d2_erase_all_command(const ClassicDeviceRecord& d);
std::string d2_read_addl_security_command(const ClassicDeviceRecord& d);
std::string d2_write_addl_security_command(const ClassicDeviceRecord& d, std::uint8_t value);
std::string d2_clear_configuration_protection_command(const ClassicDeviceRecord& d);
std::string d2_program_configuration_command(const ClassicDeviceRecord& d, int sub, std::uint8_t value);
std::string d2_read_configuration_command(const ClassicDeviceRecord& d, int sub);
std::string d2_program_boot_vector_command(const ClassicDeviceRecord& d, std::uint8_t value);
std::string d2_program_security_bit_command(const ClassicDeviceRecord& d, int bit);
std::string d2_eeprom_access_command(bool on);
// With CR LF.
std::string d2_read_misr_command(std::uint16_t start, std::uint16_t end);
std::string d2_icp_select_command(const ClassicDeviceRecord& d, int major, int interface_number);
// With CR LF; the CRC-form reply follows.
std::string d2_blank_check_command(std::uint32_t start);
std::string d2_read_crc_command(const ClassicDeviceRecord& d, int block); // block -3: the whole device
std::string d2_read_eeprom_crc_command(const ClassicDeviceRecord& d, int block);
std::string d2_read_eeprom_security_command(const ClassicDeviceRecord& d, int page);
std::string d2_program_eeprom_security_bit_command(const ClassicDeviceRecord& d, int bit);

constexpr int kWholeDeviceBlock = -3;

} // namespace qz
