// The 80C51, XA and LPC900 parts the classic driver programs. Every command
// the driver builds and every capability it tests comes from the selected
// part's record; the record's position in the table is the device index.
#pragma once

#include <cstdint>

namespace qz {

// Part families; each speaks one of the two command dialects.
enum DeviceFamily : std::uint8_t {
    kFamily80C51 = 0,      // 89C51Rx+/Rx2H, 89C66x, 89V66x, 89CV51
    kFamilyXA = 1,         // XA-G39/G49
    kFamily80C51Rx2 = 2,   // 89C51Rx2xx, 89C6xX2
    kFamily89C669 = 3,     // 96 KB
    kFamilyLpc92x = 4,     // LPC900 with 1 KB sectors
    kFamily89V51RC2 = 5,
    kFamily89V51RD2 = 6,
    kFamilyLpc90x = 7,     // LPC900 with 256-byte sectors
    kFamilyLpc936 = 8,     // LPC900 with 2 KB sectors
    kFamily89V51RB2 = 9,
    kFamilyLpc96x = 10,    // LPC900 with 4 KB sectors
    kFamily89V52X2 = 11,
};

enum CommandDialect : int { kDialect1 = 1, kDialect2 = 2 };

CommandDialect family_dialect(int family);

struct ClassicDeviceRecord {
    std::uint8_t number;            // key: ConnectOptions device number, qz_select_device
    const char* name;
    std::uint8_t signature_bytes;
    std::uint8_t block_count;
    std::uint8_t erased_value;
    std::uint8_t erase_all_command;
    std::uint32_t flash_size;
    std::uint8_t high_speed_allowed;
    std::uint8_t send_oscillator;
    std::uint8_t use_i2c_address;
    std::uint8_t sync_char;
    std::uint8_t osc_record_type;
    std::uint8_t write_record_type;
    std::uint8_t read_record_type;
    std::uint8_t query_record_type;
    std::uint8_t baud_record_type;
    std::uint8_t i2c_record_type;
    std::uint8_t erase_all_code;
    std::uint8_t erase_block_code;
    std::uint8_t security_base;
    std::uint8_t family;
    std::uint8_t reset_boot_vector;
    std::uint8_t reset_allowed;
    std::uint8_t reset_method;
    std::uint8_t repeat_erase;
    std::uint8_t clocks_bit_supported;
    std::uint16_t clocks_read_word;
    std::uint16_t clocks_program_word;
    std::uint8_t clocks_bit_inverted;
    std::uint8_t boot_vector_programmable;
    std::uint8_t status_byte_programmable;
    std::uint8_t boot_vector_readable;
    std::uint8_t status_byte_readable;
    std::uint8_t bv_sb_erasable;
    std::uint8_t verify_supported;
    std::uint8_t configuration_supported;
    std::uint8_t configuration_protection_supported;
    std::uint8_t configuration_bytes;
    std::uint8_t security_flag_count;
    std::uint8_t page_erase_supported;
    std::uint32_t page_count;
    std::uint32_t page_size;
    std::uint8_t crc_supported;
    std::uint8_t misr_supported;
    std::uint8_t boot_loader_guard;
    std::uint32_t first_paged_block;
    std::uint32_t page_limit;
    std::uint8_t security_flag_order;
    std::uint8_t threaded_autobaud;
    std::uint8_t passwords_supported;
    std::uint32_t record_size;
    std::uint8_t softice_supported;
    std::uint8_t addl_security_supported;
    std::uint8_t bootloader_update_supported;
    std::uint8_t eeprom_security_supported;
    std::uint32_t eeprom_base;
    std::uint32_t eeprom_page_count;
    std::uint32_t eeprom_page_size;
    std::uint8_t eeprom_crc_supported;
    std::uint8_t eeprom_security_flag_count;
    std::uint8_t eeprom_security_base;
    std::uint8_t icp_select_bytes[4];
    std::uint8_t icp_select_code;
    std::uint8_t bootloader_version_method;
};

constexpr int kClassicDeviceCount = 95;

// kClassicDeviceCount records, then one whose number is 0.
const ClassicDeviceRecord* classic_device_table();

// Index of the last record with this number, or -1 (0 is the end record).
int classic_device_index(int number);

// The record at an index, or nullptr for an index outside the table.
const ClassicDeviceRecord* classic_device_at(int index);

inline CommandDialect record_dialect(const ClassicDeviceRecord& d)
{
    return family_dialect(d.family);
}

} // namespace qz
