#include "isp/classic/command_templates.h"

#include "isp/classic/family_blocks.h"
#include "isp/classic/hex_command.h"

#include <cmath>
#include <vector>

namespace qz {

namespace {

constexpr char kCrLf[] = "\r\n";

std::uint8_t hi(std::uint32_t v) { return static_cast<std::uint8_t>((v >> 8) & 0xFF); }
std::uint8_t lo(std::uint32_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

bool above_64k(const ClassicDeviceRecord& d) { return d.flash_size > 0x10000; }

// The families whose read commands end with LF alone.
bool lf_family(const ClassicDeviceRecord& d)
{
    switch (d.family) {
    case 1: case 4: case 7: case 8: case 10: case 11: return true;
    default: return false;
    }
}

std::string d1_read_range(const ClassicDeviceRecord& d, std::uint32_t start, std::uint32_t end, std::uint8_t sub)
{
    std::vector<std::uint8_t> data;
    if (above_64k(d)) {
        data = {static_cast<std::uint8_t>(start >> 16), hi(start), lo(start),
                static_cast<std::uint8_t>(end >> 16), hi(end), lo(end), sub};
    } else {
        data = {hi(start), lo(start), hi(end), lo(end), sub};
    }
    std::string s = hex_command(d.read_record_type, 0, data.data(), data.size());
    if (lf_family(d))
        s += '\n';
    else
        s += sub == 0 ? "\r" : kCrLf;
    return s;
}

std::string password_command(std::uint8_t type, const std::uint8_t* password, int length)
{
    if (!password || length < 1 || length > 31)
        return {};
    return hex_command(type, 0, password, static_cast<std::size_t>(length));
}

} // namespace

std::string icp_version_command() { return hex_command(0xFF, 0, {}); }
std::string softice_command() { return hex_command(0x02, 0, {}); }

std::string baud_reload_command(const ClassicDeviceRecord& d, std::uint16_t reload)
{
    return hex_command(d.baud_record_type, 0, {hi(reload), lo(reload)});
}

std::string reset_command(int method)
{
    switch (method) {
    case 0: return hex_command(0x05, 0, {0x80, 0x01});
    case 1: return hex_command(0x0B, 0, {});
    case 2: return "$";
    default: return {};
    }
}

std::string bootloader_version_command(int method)
{
    switch (method) {
    case 1: return hex_command(0x01, 0, {});
    case 2: return hex_command(0x05, 0, {0x00, 0x80});
    case 3: return hex_command(0x05, 0, {0x00, 0x02});
    default: return {};
    }
}

// ---- Dialect 1 ----------------------------------------------------------------

std::string d1_oscillator_command(const ClassicDeviceRecord& d, double mhz)
{
    // Whole MHz of the magnitude; the fraction is cut off.
    double whole = std::trunc(std::fabs(mhz));
    std::uint8_t v = whole >= 255.0 ? 255 : static_cast<std::uint8_t>(whole);
    return hex_command(d.osc_record_type, 0, {v});
}

std::string d1_i2c_address_command(const ClassicDeviceRecord& d, std::uint8_t address)
{
    return hex_command(d.i2c_record_type, 0, {address});
}

std::string d1_read_signature_command(const ClassicDeviceRecord& d, int index)
{
    return hex_command(d.query_record_type, 0, {0x00, static_cast<std::uint8_t>(index)});
}

std::string d1_read_security_command(const ClassicDeviceRecord& d)
{
    return d1_read_byte_command(d, 0x00);
}

std::string d1_read_clocks_command(const ClassicDeviceRecord& d)
{
    return hex_command(d.query_record_type, 0, {hi(d.clocks_read_word), lo(d.clocks_read_word)});
}

std::string d1_program_clocks_command(const ClassicDeviceRecord& d)
{
    return hex_command(d.write_record_type, 0, {hi(d.clocks_program_word), lo(d.clocks_program_word)});
}

std::string d1_erase_block_command(const ClassicDeviceRecord& d, int block)
{
    const FlashBlock* b = block < 32 ? family_block(d.family, block) : nullptr;
    if (!b)
        return {};
    if (above_64k(d))
        return hex_command(d.write_record_type, 0, {d.erase_block_code, hi(b->erase_code), lo(b->erase_code)});
    return hex_command(d.write_record_type, 0, {d.erase_block_code, lo(b->erase_code)});
}

std::string d1_erase_bv_sb_command(const ClassicDeviceRecord& d)
{
    return hex_command(d.write_record_type, 0, {0x04, 0x00});
}

std::string d1_program_status_byte_command(const ClassicDeviceRecord& d, std::uint8_t value)
{
    return hex_command(d.write_record_type, 0, {0x06, 0x00, value});
}

std::string d1_program_i2c_address_command(const ClassicDeviceRecord& d, std::uint8_t address)
{
    return hex_command(d.write_record_type, 0, {0x06, 0x03, address});
}

std::string d1_program_boot_vector_command(const ClassicDeviceRecord& d, int sub, std::uint8_t value)
{
    return hex_command(d.write_record_type, 0, {0x06, static_cast<std::uint8_t>(sub), value});
}

std::string d1_erase_all_command(const ClassicDeviceRecord& d)
{
    // The 89V51 boot loaders take the erase code as the record type.
    if (d.family == 5 || d.family == 6 || d.family == 9)
        return hex_command(d.erase_all_code, 0, {});
    return hex_command(d.write_record_type, 0, {d.erase_all_code});
}

std::string d1_read_memory_command(const ClassicDeviceRecord& d, std::uint32_t start, std::uint32_t end)
{
    return d1_read_range(d, start, end, 0x00);
}

std::string d1_blank_check_command(const ClassicDeviceRecord& d, std::uint32_t start, std::uint32_t end)
{
    return d1_read_range(d, start, end, 0x01);
}

std::string d1_read_byte_command(const ClassicDeviceRecord& d, std::uint8_t sub)
{
    return hex_command(d.query_record_type, 0, {0x07, sub});
}

std::string d1_program_security_command(const ClassicDeviceRecord& d, int index)
{
    const int ss = index + (d.security_flag_count == 1 ? 1 : 0);
    return hex_command(d.write_record_type, 0, {0x05, static_cast<std::uint8_t>(ss)});
}

std::string d1_set_password_command(const std::uint8_t* password, int length)
{
    return password_command(0x09, password, length);
}

std::string d1_verify_password_command(const std::uint8_t* password, int length)
{
    return password_command(0x08, password, length);
}

std::string d1_reset_password_command() { return hex_command(0x07, 0, {}); }

std::string d1_erase_page_command(const ClassicDeviceRecord& d, int page)
{
    if (page < 0 || page >= 1024)
        return {};
    const std::uint32_t a = static_cast<std::uint32_t>(page) * d.page_size;
    return hex_command(0x03, 0, {0x08, hi(a), lo(a)});
}

std::string d1_icp_select_command(const ClassicDeviceRecord& d, int major, int interface_number)
{
    if (major == 1 || major == 255)
        return hex_command(0x0B, 0, {0, 0, 0, 0});
    return hex_command(0x0B, 0, {0, 0, 0, 0, d.icp_select_code,
                                 static_cast<std::uint8_t>(interface_number == 6 ? 1 : 0)});
}

// ---- Dialect 2 ----------------------------------------------------------------

std::string d2_read_signature_command(const ClassicDeviceRecord& d, int index)
{
    return hex_command(d.query_record_type, 0, {static_cast<std::uint8_t>(0x10 + index)});
}

std::string d2_read_sector_security_command(const ClassicDeviceRecord& d, int block)
{
    const std::uint8_t b = static_cast<std::uint8_t>(d.security_base + block);
    const std::uint8_t ss = b < 16 ? b : static_cast<std::uint8_t>(b + 8);
    return hex_command(d.query_record_type, 0, {ss});
}

std::string d2_erase_sector_command(const ClassicDeviceRecord& d, int block)
{
    const FlashBlock* b = block < 32 ? family_block(d.family, block) : nullptr;
    if (!b || above_64k(d))
        return {};
    // 01 selects the sector erase; with 00 the record would be the page
    // erase of the sector's first page.
    return hex_command(0x04, 0, {0x01, lo(b->erase_code), 0x00});
}

std::string d2_erase_page_command(const ClassicDeviceRecord& d, int page)
{
    if (page < 0 || page >= 1024)
        return {};
    const std::uint32_t a = static_cast<std::uint32_t>(page) * d.page_size;
    return hex_command(0x04, 0, {0x00, hi(a), lo(a)});
}

std::string d2_erase_eeprom_page_command(const ClassicDeviceRecord& d, int page)
{
    if (page < 0 || page >= 128)
        return {};
    const std::uint32_t a = d.eeprom_base + static_cast<std::uint32_t>(page) * d.eeprom_page_size;
    return hex_command(0x04, 0, {0x02, hi(a), lo(a)});
}

std::string d2_erase_all_command(const ClassicDeviceRecord& d)
{
    return hex_command(d.erase_all_code, 0, {});
}

std::string d2_read_addl_security_command(const ClassicDeviceRecord& d)
{
    return hex_command(d.query_record_type, 0, {0x03});
}

std::string d2_write_addl_security_command(const ClassicDeviceRecord& d, std::uint8_t value)
{
    return hex_command(d.write_record_type, 0, {0x03, value});
}

std::string d2_clear_configuration_protection_command(const ClassicDeviceRecord& d)
{
    return hex_command(d.write_record_type, 0, {0x10, 0x00});
}

std::string d2_program_configuration_command(const ClassicDeviceRecord& d, int sub, std::uint8_t value)
{
    return hex_command(d.write_record_type, 0, {static_cast<std::uint8_t>(sub), value});
}

std::string d2_read_configuration_command(const ClassicDeviceRecord& d, int sub)
{
    return hex_command(d.query_record_type, 0, {static_cast<std::uint8_t>(sub)});
}

std::string d2_program_boot_vector_command(const ClassicDeviceRecord& d, std::uint8_t value)
{
    return hex_command(d.write_record_type, 0, {0x02, value});
}

std::string d2_program_security_bit_command(const ClassicDeviceRecord& d, int bit)
{
    const int group = bit / 3;
    const std::uint8_t ss = static_cast<std::uint8_t>(d.security_base + group + (group > 7 ? 8 : 0));
    return hex_command(d.write_record_type, 0, {ss, static_cast<std::uint8_t>(1u << (bit % 3))});
}

std::string d2_eeprom_access_command(bool on)
{
    return hex_command(0x0A, 0, {static_cast<std::uint8_t>(on ? 1 : 0)});
}

std::string d2_read_misr_command(std::uint16_t start, std::uint16_t end)
{
    return hex_command(0x09, 0, {hi(start), lo(start), hi(end), lo(end)}) + kCrLf;
}

std::string d2_icp_select_command(const ClassicDeviceRecord& d, int major, int interface_number)
{
    const std::uint8_t* b = d.icp_select_bytes;
    if (major == 1 || major == 255)
        return hex_command(0x0B, 0, {b[0], b[1], b[2], b[3]});
    if (interface_number == 6)
        return hex_command(0x0B, 0, {0, 0, 0, 0, d.icp_select_code, 0x01});
    return hex_command(0x0B, 0, {b[0], b[1], b[2], b[3], d.icp_select_code, 0x00});
}

std::string d2_blank_check_command(std::uint32_t start)
{
    return hex_command(0x05, 0, {hi(start), lo(start)}) + kCrLf;
}

std::string d2_read_crc_command(const ClassicDeviceRecord& d, int block)
{
    if (block == kWholeDeviceBlock)
        return hex_command(0x06, 0, {}) + kCrLf;
    const FlashBlock* b = family_block(d.family, block);
    if (!b)
        return {};
    return hex_command(0x05, 0, {lo(b->erase_code)}) + kCrLf;
}

std::string d2_read_eeprom_crc_command(const ClassicDeviceRecord& d, int block)
{
    const std::uint32_t a = d.eeprom_base + static_cast<std::uint32_t>(block) * d.eeprom_page_size;
    return hex_command(0x0C, 0, {hi(a), lo(a)}) + kCrLf;
}

std::string d2_read_eeprom_security_command(const ClassicDeviceRecord& d, int page)
{
    return hex_command(d.query_record_type, 0, {static_cast<std::uint8_t>(d.eeprom_security_base + page)});
}

std::string d2_program_eeprom_security_bit_command(const ClassicDeviceRecord& d, int bit)
{
    const std::uint8_t ss = static_cast<std::uint8_t>(d.eeprom_security_base + bit / 3);
    return hex_command(d.write_record_type, 0, {ss, static_cast<std::uint8_t>(1u << (bit % 3))});
}

} // namespace qz
