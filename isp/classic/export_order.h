// The export order of Quasmerite: position i holds the export with ordinal
// i + 1. It differs from QuasmeriteARMCortex's, so callers exchange the two
// libraries only when they bind by name.
#pragma once

#include <array>
#include <cstddef>

namespace qz {

constexpr std::array<const char*, 61> kClassicExportOrder = {
    "qz_version",                        // 1
    "qz_longversion",                    // 2
    "qz_start_bootrom",                  // 3
    "qz_start_bootloader",               // 4
    "qz_cancelautobaud",                 // 5
    "qz_raw_connect",                    // 6
    "qz_raw_disconnect",                 // 7
    "qz_raw_transmit",                   // 8
    "qz_raw_receive",                    // 9
    "qz_raw_cancelreceive",              // 10
    "qz_connect",                        // 11
    "qz_disconnect",                     // 12
    "qz_set_autobaud_configuration",     // 13
    "qz_select_debug_mode",              // 14
    "qz_select_device",                  // 15
    "qz_read_signature",                 // 16
    "qz_erase",                          // 17
    "qz_erase_pages",                    // 18
    "qz_erase_eeprom_pages",             // 19
    "qz_update_bootloader",              // 20
    "qz_program",                        // 21
    "qz_program2",                       // 22
    "qz_program_eeprom",                 // 23
    "qz_verify",                         // 24
    "qz_read_security_bits",             // 25
    "qz_read_eeprom_security_bits",      // 26
    "qz_read_clocks_bit",                // 27
    "qz_program_clocks_bit",             // 28
    "qz_program_security_bits",          // 29
    "qz_program_eeprom_security_bits",   // 30
    "qz_blank_check",                    // 31
    "qz_read_crc",                       // 32
    "qz_read_eeprom_crc",                // 33
    "qz_read_misr",                      // 34
    "qz_read_data",                      // 35
    "qz_read_data_to_buffer",            // 36
    "qz_program_addl_security_bits",     // 37
    "qz_erase_addl_security_bits",       // 38
    "qz_read_addl_security_bits",        // 39
    "qz_read_boot_vector_status_byte",   // 40
    "qz_read_configuration",             // 41
    "qz_erase_boot_vector_status_byte",  // 42
    "qz_program_boot_vector",            // 43
    "qz_program_status_byte",            // 44
    "qz_clear_configuration_protection", // 45
    "qz_program_configuration",          // 46
    "qz_program_i2c_address",            // 47
    "qz_set_password",                   // 48
    "qz_verify_password",                // 49
    "qz_reset_password",                 // 50
    "qz_reset",                          // 51
    "qz_set_timeouts",                   // 52
    "qz_set_default_timeouts",           // 53
    "qz_enable_softice",                 // 54
    "qz_bootloader_version",             // 55
    "qz_serial_number",                  // 56
    "qz_activate_flash_bank",            // 57
    "qz_program_eeprom_from_buffer",     // 58
    "qz_read_eeprom_to_buffer",          // 59
    "qz_get_comport_handle",             // 60
    "qz_set_comport_handle",             // 61
};

// The ordinal of an export name, or 0 when the library has no such export.
constexpr int classic_export_ordinal(const char* name)
{
    for (std::size_t i = 0; i < kClassicExportOrder.size(); ++i) {
        const char* a = kClassicExportOrder[i];
        const char* b = name;
        while (*a && *a == *b) {
            ++a;
            ++b;
        }
        if (*a == *b)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

static_assert(classic_export_ordinal("qz_connect") == 11, "export order");
static_assert(classic_export_ordinal("qz_erase_eeprom_pages") == 19, "export order");
static_assert(classic_export_ordinal("qz_reset") == 51, "export order");
static_assert(classic_export_ordinal("qz_set_comport_handle") == 61, "export order");

} // namespace qz
