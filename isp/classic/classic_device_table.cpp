// The classic device table. Each part is its family's template with the
// part's own number, name, high-speed flag and flash size; the fields that
// follow from those are computed below and marked "derived". Values that
// neither a family template nor a part's own row fixes are marked "guess".
#include "isp/classic/classic_device.h"
#include "isp/classic/family_blocks.h"

#include <array>

namespace qz {

CommandDialect family_dialect(int family)
{
    switch (family) {
    case 4:
    case 7:
    case 8:
    case 10:
    case 11:
        return kDialect2;
    default:
        return kDialect1;
    }
}

namespace {

// ---- Family templates -----------------------------------------------------

// 89C51RB2Hxx: the 80C51 boot loader with oscillator record and reload.
ClassicDeviceRecord family0()
{
    ClassicDeviceRecord r{};
    r.signature_bytes = 3;
    r.erased_value = 0xFF;
    r.erase_all_command = 1;
    r.send_oscillator = 1;
    r.sync_char = 'U';
    r.osc_record_type = 0x02;
    r.write_record_type = 0x03;
    r.read_record_type = 0x04;
    r.query_record_type = 0x05;
    r.baud_record_type = 0x06;
    r.erase_all_code = 0x07;
    r.erase_block_code = 0x01;
    r.family = 0;
    r.reset_boot_vector = 0xFC;
    r.reset_allowed = 1;
    r.repeat_erase = 1;
    r.boot_vector_programmable = 1;
    r.status_byte_programmable = 1;
    r.boot_vector_readable = 1;
    r.status_byte_readable = 1;
    r.bv_sb_erasable = 1;
    r.verify_supported = 1;
    r.security_flag_count = 3;
    r.record_size = 16;
    return r;
}

// XA-G49.
ClassicDeviceRecord family1()
{
    ClassicDeviceRecord r = family0();
    r.send_oscillator = 0;
    r.sync_char = 'f';
    r.osc_record_type = 0x00;
    r.write_record_type = 0x83;
    r.read_record_type = 0x84;
    r.query_record_type = 0x85;
    r.baud_record_type = 0x00;
    r.erase_all_code = 0x91;
    r.family = 1;
    r.reset_boot_vector = 0xF8;
    r.reset_allowed = 0;
    return r;
}

// 89C51Rx2xx and 89C6xX2: the boot loader of family 0 (no part of theirs is shown apart).
ClassicDeviceRecord family2()
{
    ClassicDeviceRecord r = family0();
    r.family = 2;
    return r;
}

// 89C669.
ClassicDeviceRecord family3()
{
    ClassicDeviceRecord r = family0();
    r.send_oscillator = 0;
    r.osc_record_type = 0x00;
    r.read_record_type = 0x07;
    r.family = 3;
    r.repeat_erase = 0;
    return r;
}

// 89LPC922: LPC900 with 1 KB sectors.
ClassicDeviceRecord family4()
{
    ClassicDeviceRecord r{};
    r.signature_bytes = 3;
    r.erased_value = 0x00;
    r.erase_all_command = 1;
    r.sync_char = 'U';
    r.write_record_type = 0x02;
    r.read_record_type = 0x05;
    r.query_record_type = 0x03;
    r.baud_record_type = 0x07;
    r.erase_all_code = 0x08;
    r.erase_block_code = 0x01;
    r.security_base = 0x08;
    r.family = 4;
    r.boot_vector_programmable = 1;
    r.status_byte_programmable = 1;
    r.boot_vector_readable = 1;
    r.status_byte_readable = 1;
    r.configuration_supported = 1;
    r.configuration_bytes = 1;
    r.page_erase_supported = 1;
    r.page_size = 64;
    r.crc_supported = 1;
    r.record_size = 64;
    r.bootloader_version_method = 1;
    return r;
}

// 89V51RD2: the 89V51 boot loader with threaded autobaud.
ClassicDeviceRecord family6()
{
    ClassicDeviceRecord r{};
    r.signature_bytes = 2;
    r.erased_value = 0xFF;
    r.erase_all_command = 1;
    r.sync_char = 'U';
    r.write_record_type = 0x03;
    r.read_record_type = 0x04;
    r.query_record_type = 0x05;
    r.erase_all_code = 0x07;
    r.erase_block_code = 0x01;
    r.family = 6;
    r.reset_boot_vector = 0xFC;
    r.reset_allowed = 1;
    r.reset_method = 1;
    r.clocks_bit_supported = 1;
    r.clocks_read_word = 0x700;
    r.clocks_program_word = 0x505;
    r.verify_supported = 1;
    r.configuration_supported = 1;
    r.configuration_bytes = 1;
    r.security_flag_count = 1;
    r.page_erase_supported = 1;
    r.page_size = 128;
    r.security_flag_order = 1;
    r.threaded_autobaud = 1;
    r.passwords_supported = 1;
    r.record_size = 16;
    r.softice_supported = 1;
    r.bootloader_update_supported = 1;
    r.icp_select_code = 0x02;
    r.bootloader_version_method = 3;
    return r;
}

// 89V51RC2 and 89V51RB2: the 89V51RD2 boot loader on smaller flash.
ClassicDeviceRecord family5()
{
    ClassicDeviceRecord r = family6();
    r.family = 5;
    return r;
}

ClassicDeviceRecord family9()
{
    ClassicDeviceRecord r = family6();
    r.family = 9;
    return r;
}

// 89LPC901: LPC900 with 256-byte sectors and 16-byte pages.
ClassicDeviceRecord family7()
{
    ClassicDeviceRecord r = family4();
    r.baud_record_type = 0x00;
    r.family = 7;
    r.reset_boot_vector = 0x1E; // guess for the parts other than the 89LPC901
    r.page_size = 16;
    r.record_size = 16;
    return r;
}

// 89LPC936 and WGP: LPC900 with 2 KB sectors; the 89LPC93x boot loader of family 4.
ClassicDeviceRecord family8()
{
    ClassicDeviceRecord r = family4();
    r.family = 8;
    return r;
}

// 89LPC966: LPC900 with 4 KB sectors, two configuration bytes and MISR.
ClassicDeviceRecord family10()
{
    ClassicDeviceRecord r = family4();
    r.erased_value = 0xFF;
    r.security_base = 0x20;
    r.family = 10;
    r.reset_boot_vector = 0xE1; // guess for the 89LPC964
    r.configuration_bytes = 2;
    r.page_erase_supported = 0;
    r.page_size = 256;
    r.crc_supported = 0;
    r.misr_supported = 1;
    r.addl_security_supported = 1;
    return r;
}

// 89V52X2: dialect 2 with EEPROM.
ClassicDeviceRecord family11()
{
    ClassicDeviceRecord r = family4();
    r.family = 11;
    r.reset_boot_vector = 0x00;
    r.boot_vector_programmable = 0;
    r.status_byte_programmable = 0;
    r.boot_vector_readable = 0;
    r.status_byte_readable = 0;
    r.configuration_protection_supported = 1;
    r.security_flag_count = 2; // its own value, not three per block
    r.page_size = 0;
    r.addl_security_supported = 1;
    r.eeprom_security_supported = 1;
    r.eeprom_base = 0xFF00;
    r.eeprom_page_count = 3;
    r.eeprom_page_size = 64;
    r.eeprom_crc_supported = 1;
    r.eeprom_security_flag_count = 9;
    r.eeprom_security_base = 0x15;
    r.icp_select_bytes[0] = r.icp_select_bytes[1] = r.icp_select_bytes[2] = r.icp_select_bytes[3] = 1;
    r.icp_select_code = 0x01;
    r.bootloader_version_method = 0;
    return r;
}

ClassicDeviceRecord family_template(int family)
{
    switch (family) {
    case 0: return family0();
    case 1: return family1();
    case 2: return family2();
    case 3: return family3();
    case 4: return family4();
    case 5: return family5();
    case 6: return family6();
    case 7: return family7();
    case 8: return family8();
    case 9: return family9();
    case 10: return family10();
    default: return family11();
    }
}

// ---- The parts --------------------------------------------------------------

enum RowMark : std::uint8_t {
    kSizeKnown = 0,
    kSizeGuess = 1,        // flash size: guess
    kNoEraseAll = 2,       // erase_all_command 0: guess (the three parts without it)
    kPages128 = 4,         // 89V/89CV part of family 0: 128-byte pages
};

struct PartRow {
    std::uint8_t number;
    const char* name;
    std::uint8_t family;
    std::uint8_t high_speed;
    std::uint32_t flash_size;
    std::uint8_t marks;
};

constexpr std::uint32_t K = 1024;

constexpr PartRow kParts[kClassicDeviceCount] = {
    // family 0
    {1, "89C51RB+", 0, 0, 16 * K, kNoEraseAll},
    {2, "89C51RB2Hxx", 0, 1, 16 * K, 0},
    {3, "89C51RC+", 0, 0, 32 * K, kNoEraseAll},
    {4, "89C51RC2Hxx", 0, 1, 32 * K, 0},
    {5, "89C51RD+", 0, 0, 64 * K, kNoEraseAll},
    {6, "89C51RD2Hxx", 0, 1, 64 * K, 0},
    {7, "89C660", 0, 1, 16 * K, 0},
    {8, "89C662", 0, 1, 32 * K, 0},
    {9, "89C664", 0, 1, 64 * K, 0},
    {10, "89C668", 0, 1, 64 * K, 0},
    {63, "89V660", 0, 1, 16 * K, kPages128},
    {64, "89V662", 0, 1, 32 * K, kPages128},
    {65, "89V664", 0, 1, 64 * K, kPages128},
    {71, "89CV51RB2", 0, 1, 16 * K, kPages128},
    {72, "89CV51RC2", 0, 1, 32 * K, kPages128},
    {73, "89CV51RD2", 0, 1, 64 * K, kPages128},
    // family 1
    {11, "XA-G49", 1, 0, 64 * K, 0},
    {20, "XA-G39", 1, 0, 32 * K, 0},
    // family 2
    {12, "89C51RA2xx", 2, 1, 8 * K, 0},
    {13, "89C51RB2xx", 2, 1, 16 * K, 0},
    {14, "89C51RC2xx", 2, 1, 32 * K, 0},
    {15, "89C51RD2xx", 2, 1, 64 * K, 0},
    {16, "89C60X2", 2, 1, 64 * K, 0},
    {17, "89C61X2", 2, 1, 64 * K, 0},
    // family 3
    {21, "89C669", 3, 1, 96 * K, 0},
    // family 4
    {37, "89LPC920", 4, 0, 2 * K, 0},
    {66, "89LPC918", 4, 0, 8 * K, kSizeGuess},
    {24, "89LPC921", 4, 0, 4 * K, 0},
    {25, "89LPC922", 4, 0, 8 * K, 0},
    {59, "89LPC9221", 4, 0, 8 * K, 0},
    {26, "89LPC930", 4, 0, 4 * K, 0},
    {27, "89LPC931", 4, 0, 8 * K, 0},
    {19, "89LPC932", 4, 0, 8 * K, 0},
    {38, "89LPC935", 4, 1, 8 * K, 0},
    {39, "89LPC934", 4, 1, 8 * K, 0},
    {40, "89LPC933", 4, 1, 4 * K, 0},
    {41, "89LPC932A1", 4, 1, 8 * K, 0},
    {43, "89LPC925", 4, 1, 8 * K, 0},
    {44, "89LPC924", 4, 1, 4 * K, 0},
    {51, "89LPC938", 4, 1, 8 * K, 0},
    {60, "89LPC952", 4, 0, 8 * K, kSizeGuess},
    {70, "89LPC954", 4, 0, 16 * K, 0},
    {61, "89LPC9401", 4, 0, 16 * K, 0},
    {77, "89LPC9201", 4, 0, 2 * K, 0},
    {78, "89LPC9211", 4, 1, 4 * K, 0},
    {79, "89LPC922A1", 4, 0, 8 * K, 0},
    {80, "89LPC9241", 4, 1, 4 * K, 0},
    {81, "89LPC9251", 4, 0, 8 * K, 0},
    {82, "89LPC9301", 4, 1, 4 * K, 0},
    {83, "89LPC931A1", 4, 0, 8 * K, 0},
    {75, "89LPC9321", 4, 1, 8 * K, 0},
    {84, "89LPC9331", 4, 1, 4 * K, 0},
    {85, "89LPC9341", 4, 0, 8 * K, 0},
    {74, "89LPC9351", 4, 0, 8 * K, 0},
    {76, "89LPC9381", 4, 1, 8 * K, 0},
    {86, "89LPC9408", 4, 0, 16 * K, kSizeGuess},
    {87, "89LPC9402", 4, 0, 16 * K, 0},
    {88, "89LPC9361", 4, 1, 16 * K, 0},
    {92, "89LPC970", 4, 0, 4 * K, kSizeGuess},
    {93, "89LPC971", 4, 1, 8 * K, kSizeGuess},
    {94, "89LPC972", 4, 0, 16 * K, kSizeGuess},
    {95, "89LPC980", 4, 1, 4 * K, kSizeGuess},
    {96, "89LPC982", 4, 0, 8 * K, kSizeGuess},
    {97, "89LPC983", 4, 1, 8 * K, kSizeGuess},
    {98, "89LPC985", 4, 0, 16 * K, kSizeGuess},
    // family 5
    {57, "89LV51RC2", 5, 0, 32 * K, 0},
    {58, "89V51RC2", 5, 0, 32 * K, 0},
    // family 6
    {23, "89LV51RD2", 6, 0, 64 * K, 0},
    {49, "89V51RD2", 6, 0, 64 * K, 0},
    // family 7
    {28, "89LPC901", 7, 0, 1 * K, 0},
    {29, "89LPC902", 7, 0, 1 * K, 0},
    {30, "89LPC903", 7, 0, 1 * K, 0},
    {31, "89LPC906", 7, 0, 1 * K, 0},
    {32, "89LPC907", 7, 0, 1 * K, 0},
    {33, "89LPC908", 7, 0, 1 * K, 0},
    {34, "89LPC912", 7, 0, 1 * K, 0},
    {35, "89LPC913", 7, 0, 1 * K, 0},
    {36, "89LPC914", 7, 0, 1 * K, 0},
    {45, "89LPC917", 7, 0, 2 * K, 0},
    {46, "89LPC916", 7, 0, 2 * K, 0},
    {47, "89LPC915", 7, 0, 2 * K, 0},
    {91, "89LPC9171", 7, 0, 2 * K, 0},
    {90, "89LPC9161", 7, 0, 2 * K, 0},
    {89, "89LPC9151", 7, 0, 2 * K, 0},
    {48, "89LPC904", 7, 0, 1 * K, 0},
    {52, "89LPC9102", 7, 0, 1 * K, 0},
    {53, "89LPC9103", 7, 0, 1 * K, 0},
    {54, "89LPC9107", 7, 0, 1 * K, 0},
    // family 8
    {50, "89LPC936", 8, 1, 16 * K, 0},
    {62, "WGP", 8, 1, 64 * K, 0},
    // family 9
    {55, "89LV51RB2", 9, 0, 16 * K, 0},
    {56, "89V51RB2", 9, 0, 16 * K, 0},
    // family 10
    {67, "89LPC964", 10, 1, 16 * K, kSizeGuess},
    {68, "89LPC966", 10, 1, 64 * K, 0},
    // family 11
    {69, "89V52X2", 11, 0, 8 * K, 0},
};

// The LPC92x boot loader keeps the top 512 bytes of flash.
constexpr std::uint32_t kLpc92xBootLoaderBytes = 512;

ClassicDeviceRecord make_record(const PartRow& row)
{
    ClassicDeviceRecord r = family_template(row.family);
    r.number = row.number;
    r.name = row.name;
    r.high_speed_allowed = row.high_speed;
    r.flash_size = row.flash_size;
    if (row.marks & kNoEraseAll)
        r.erase_all_command = 0; // guess
    if (row.marks & kPages128)
        r.page_size = 128;

    // derived: the blocks of the family's table that the flash covers
    r.block_count = static_cast<std::uint8_t>(blocks_below(row.family, row.flash_size));
    // derived: whole pages of flash
    r.page_count = r.page_size ? r.flash_size / r.page_size : 0;
    // derived: three sector-security flags per block on dialect 2 (the
    // 89V52X2 keeps its own count)
    if (family_dialect(row.family) == kDialect2 && row.family != kFamily89V52X2)
        r.security_flag_count = static_cast<std::uint8_t>(3 * r.block_count);
    if (row.family == kFamilyLpc92x) {
        // derived: the boot loader sits in the last block, in its top pages
        r.boot_loader_guard = 1;
        r.first_paged_block = r.block_count - 1u;
        r.page_limit = (r.flash_size - kLpc92xBootLoaderBytes) / r.page_size;
        // guess: the boot vector names the top page, as on the 89LPC922
        r.reset_boot_vector = static_cast<std::uint8_t>((r.flash_size >> 8) - 1);
    }
    if (row.family == kFamilyLpc936) {
        // guess: as family 4, the boot vector names the top page
        r.reset_boot_vector = static_cast<std::uint8_t>((r.flash_size >> 8) - 1);
    }
    return r;
}

struct Table {
    std::array<ClassicDeviceRecord, kClassicDeviceCount + 1> records{};
    Table()
    {
        for (int i = 0; i < kClassicDeviceCount; ++i)
            records[i] = make_record(kParts[i]);
    }
};

const Table& table()
{
    static const Table t;
    return t;
}

} // namespace

const ClassicDeviceRecord* classic_device_table()
{
    return table().records.data();
}

int classic_device_index(int number)
{
    if (number <= 0)
        return -1;
    const ClassicDeviceRecord* t = classic_device_table();
    int found = -1;
    for (int i = 0; i < kClassicDeviceCount; ++i)
        if (t[i].number == number)
            found = i;
    return found;
}

const ClassicDeviceRecord* classic_device_at(int index)
{
    if (index < 0 || index >= kClassicDeviceCount)
        return nullptr;
    return &classic_device_table()[index];
}

} // namespace qz
