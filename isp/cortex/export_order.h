// The export order of QuasmeriteARMCortex: position i holds the export with
// ordinal i + 1. Callers that bind by ordinal rely on it; every library that
// shares the interface numbers its exports in its own order.
#pragma once

#include <array>

namespace qz {

constexpr std::array<const char*, 61> kCortexExportOrder = {
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
    "qz_update_bootloader",              // 19
    "qz_program",                        // 20
    "qz_program2",                       // 21
    "qz_verify",                         // 22
    "qz_read_security_bits",             // 23
    "qz_read_clocks_bit",                // 24
    "qz_program_clocks_bit",             // 25
    "qz_program_security_bits",          // 26
    "qz_blank_check",                    // 27
    "qz_read_crc",                       // 28
    "qz_read_misr",                      // 29
    "qz_read_data",                      // 30
    "qz_read_data_to_buffer",            // 31
    "qz_program_addl_security_bits",     // 32
    "qz_erase_addl_security_bits",       // 33
    "qz_read_addl_security_bits",        // 34
    "qz_read_boot_vector_status_byte",   // 35
    "qz_read_configuration",             // 36
    "qz_erase_boot_vector_status_byte",  // 37
    "qz_program_boot_vector",            // 38
    "qz_program_status_byte",            // 39
    "qz_clear_configuration_protection", // 40
    "qz_program_configuration",          // 41
    "qz_program_i2c_address",            // 42
    "qz_set_password",                   // 43
    "qz_verify_password",                // 44
    "qz_reset_password",                 // 45
    "qz_reset",                          // 46
    "qz_set_timeouts",                   // 47
    "qz_set_default_timeouts",           // 48
    "qz_enable_softice",                 // 49
    "qz_bootloader_version",             // 50
    "qz_serial_number",                  // 51
    "qz_read_eeprom_security_bits",      // 52
    "qz_program_eeprom_security_bits",   // 53
    "qz_erase_eeprom_pages",             // 54
    "qz_read_eeprom_crc",                // 55
    "qz_program_eeprom",                 // 56
    "qz_activate_flash_bank",            // 57
    "qz_program_eeprom_from_buffer",     // 58
    "qz_read_eeprom_to_buffer",          // 59
    "qz_get_comport_handle",             // 60
    "qz_set_comport_handle",             // 61
};

// The ordinal of an export name, or 0 when the library has no such export.
constexpr int cortex_export_ordinal(const char* name)
{
    for (std::size_t i = 0; i < kCortexExportOrder.size(); ++i) {
        const char* a = kCortexExportOrder[i];
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

static_assert(cortex_export_ordinal("qz_connect") == 11, "export order");
static_assert(cortex_export_ordinal("qz_set_default_timeouts") == 48, "export order");
static_assert(cortex_export_ordinal("qz_set_comport_handle") == 61, "export order");

}  // namespace qz
