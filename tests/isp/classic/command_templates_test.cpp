#include "isp/classic/classic_device.h"
#include "isp/classic/command_templates.h"
#include "isp/classic/hex_command.h"
#include "isp/classic/record_senders.h"
#include "isp/core/errorcodes.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace qz {
namespace {

const ClassicDeviceRecord& part(int number)
{
    return *classic_device_at(classic_device_index(number));
}

struct Case {
    const char* what;
    std::function<std::string()> build;
    const char* bytes;
};

// Parts: 2 89C51RB2Hxx (family 0), 11 XA-G49, 21 89C669 (above 64 KB),
// 49 89V51RD2, 25 89LPC922, 28 89LPC901, 68 89LPC966, 69 89V52X2.
const Case kCases[] = {
    // Shared.
    {"icp version", [] { return icp_version_command(); }, ":000000FF01"},
    {"softice", [] { return softice_command(); }, ":00000002FE"},
    {"baud reload 89LPC922", [] { return baud_reload_command(part(25), 48); }, ":020000070030C7"},
    {"baud reload 89C51RB2Hxx", [] { return baud_reload_command(part(2), 65530); }, ":02000006FFFAFF"},
    {"reset method 0", [] { return reset_command(0); }, ":02000005800178"},
    {"reset method 1", [] { return reset_command(1); }, ":0000000BF5"},
    {"reset method 2", [] { return reset_command(2); }, "$"},
    {"reset method 3", [] { return reset_command(3); }, ""},
    {"boot loader version 1", [] { return bootloader_version_command(1); }, ":00000001FF"},
    {"boot loader version 2", [] { return bootloader_version_command(2); }, ":02000005008079"},
    {"boot loader version 3", [] { return bootloader_version_command(3); }, ":020000050002F7"},
    {"boot loader version 0", [] { return bootloader_version_command(0); }, ""},
    // Dialect 1.
    {"oscillator 11.0592", [] { return d1_oscillator_command(part(2), 11.0592); }, ":010000020BF2"},
    {"oscillator -12.5", [] { return d1_oscillator_command(part(2), -12.5); }, ":010000020CF1"},
    {"i2c address", [] { return d1_i2c_address_command(part(2), 0x42); }, ":0100000042BD"},
    {"signature 2", [] { return d1_read_signature_command(part(2), 2); }, ":020000050002F7"},
    {"signature XA", [] { return d1_read_signature_command(part(11), 0); }, ":02000085000079"},
    {"security", [] { return d1_read_security_command(part(2)); }, ":020000050700F2"},
    {"clocks read", [] { return d1_read_clocks_command(part(49)); }, ":020000050700F2"},
    {"clocks program", [] { return d1_program_clocks_command(part(49)); }, ":020000030505F1"},
    {"erase block 1", [] { return d1_erase_block_command(part(2), 1); }, ":020000030120DA"},
    {"erase block 89C669", [] { return d1_erase_block_command(part(21), 11); }, ":0300000301016098"},
    {"erase block 32", [] { return d1_erase_block_command(part(2), 32); }, ""},
    {"erase bv sb", [] { return d1_erase_bv_sb_command(part(2)); }, ":020000030400F7"},
    {"program status byte", [] { return d1_program_status_byte_command(part(2), 0x00); }, ":03000003060000F4"},
    {"program i2c address", [] { return d1_program_i2c_address_command(part(2), 0x42); }, ":03000003060342AF"},
    {"program boot vector", [] { return d1_program_boot_vector_command(part(2), 1, 0xFC); }, ":030000030601FCF7"},
    {"erase all", [] { return d1_erase_all_command(part(2)); }, ":0100000307F5"},
    {"erase all XA", [] { return d1_erase_all_command(part(11)); }, ":0100008391EB"},
    {"erase all 89V51RD2", [] { return d1_erase_all_command(part(49)); }, ":00000007F9"},
    {"read memory", [] { return d1_read_memory_command(part(2), 0, 0x1F); }, ":050000040000001F00D8\r"},
    {"read memory XA", [] { return d1_read_memory_command(part(11), 0x100, 0x1FF); }, ":05000084010001FF0076\n"},
    {"read memory 89C669", [] { return d1_read_memory_command(part(21), 0x10000, 0x1001F); },
     ":0700000701000001001F00D1\r"},
    {"blank check", [] { return d1_blank_check_command(part(2), 0, 0x3FFF); }, ":0500000400003FFF01B8\r\n"},
    {"read status byte", [] { return d1_read_byte_command(part(2), 0x01); }, ":020000050701F1"},
    {"read boot vector", [] { return d1_read_byte_command(part(2), 0x02); }, ":020000050702F0"},
    {"read i2c address", [] { return d1_read_byte_command(part(2), 0x04); }, ":020000050704EE"},
    {"program security 0", [] { return d1_program_security_command(part(2), 0); }, ":020000030500F6"},
    {"program security single", [] { return d1_program_security_command(part(49), 0); }, ":020000030501F5"},
    {"set password", [] { static const std::uint8_t pw[] = {0x31, 0x32}; return d1_set_password_command(pw, 2); },
     ":02000009313292"},
    {"verify password", [] { static const std::uint8_t pw[] = {0x31}; return d1_verify_password_command(pw, 1); },
     ":0100000831C6"},
    {"password of 32", [] { static const std::uint8_t pw[32] = {}; return d1_set_password_command(pw, 32); }, ""},
    {"reset password", [] { return d1_reset_password_command(); }, ":00000007F9"},
    {"erase page 3", [] { return d1_erase_page_command(part(49), 3); }, ":0300000308018071"},
    {"erase page 1024", [] { return d1_erase_page_command(part(49), 1024); }, ""},
    {"icp select 1", [] { return d1_icp_select_command(part(49), 1, 0); }, ":0400000B00000000F1"},
    {"icp select 2", [] { return d1_icp_select_command(part(49), 2, 0); }, ":0600000B000000000200ED"},
    {"icp select 2 if6", [] { return d1_icp_select_command(part(49), 2, 6); }, ":0600000B000000000201EC"},
    // Dialect 2.
    {"d2 signature 1", [] { return d2_read_signature_command(part(25), 1); }, ":0100000311EB"},
    {"d2 sector security 3", [] { return d2_read_sector_security_command(part(25), 3); }, ":010000030BF1"},
    {"d2 sector security 966", [] { return d2_read_sector_security_command(part(68), 2); }, ":010000032AD2"},
    {"d2 erase sector 3", [] { return d2_erase_sector_command(part(25), 3); }, ":03000004010C00EC"},
    {"d2 erase sector 32", [] { return d2_erase_sector_command(part(62), 32); }, ""},
    {"d2 erase page 5", [] { return d2_erase_page_command(part(25), 5); }, ":03000004000140B8"},
    {"d2 erase eeprom page 2", [] { return d2_erase_eeprom_page_command(part(69), 2); }, ":0300000402FF8078"},
    {"d2 erase eeprom page 128", [] { return d2_erase_eeprom_page_command(part(69), 128); }, ""},
    {"d2 erase all", [] { return d2_erase_all_command(part(25)); }, ":00000008F8"},
    {"d2 read addl security", [] { return d2_read_addl_security_command(part(68)); }, ":0100000303F9"},
    {"d2 write addl security", [] { return d2_write_addl_security_command(part(68), 0xE0); }, ":0200000203E019"},
    {"d2 config protection", [] { return d2_clear_configuration_protection_command(part(69)); }, ":020000021000EC"},
    {"d2 program config high", [] { return d2_program_configuration_command(part(68), 1, 0x5A); }, ":02000002015AA1"},
    {"d2 read config low", [] { return d2_read_configuration_command(part(68), 0); }, ":0100000300FC"},
    {"d2 program boot vector", [] { return d2_program_boot_vector_command(part(25), 0x1F); }, ":02000002021FDB"},
    {"d2 security bit 4", [] { return d2_program_security_bit_command(part(25), 4); }, ":020000020902F1"},
    {"d2 security bit 25", [] { return d2_program_security_bit_command(part(25), 25); }, ":020000021802E2"},
    {"d2 eeprom access on", [] { return d2_eeprom_access_command(true); }, ":0100000A01F4"},
    {"d2 eeprom access off", [] { return d2_eeprom_access_command(false); }, ":0100000A00F5"},
    {"d2 misr", [] { return d2_read_misr_command(0x1000, 0x1FFF); }, ":0400000910001FFFC5\r\n"},
    {"d2 icp select 1", [] { return d2_icp_select_command(part(69), 1, 0); }, ":0400000B01010101ED"},
    {"d2 icp select 2", [] { return d2_icp_select_command(part(69), 2, 0); }, ":0600000B010101010100EA"},
    {"d2 icp select 2 if6", [] { return d2_icp_select_command(part(69), 2, 6); }, ":0600000B000000000101ED"},
    {"d2 blank check", [] { return d2_blank_check_command(0x11234); }, ":020000051234B3\r\n"},
    {"d2 crc block 3 89LPC922", [] { return d2_read_crc_command(part(25), 3); }, ":010000050CEE\r\n"},
    {"d2 crc device", [] { return d2_read_crc_command(part(25), kWholeDeviceBlock); }, ":00000006FA\r\n"},
    {"d2 crc block past table", [] { return d2_read_crc_command(part(25), 16); }, ""},
    {"d2 eeprom crc 1", [] { return d2_read_eeprom_crc_command(part(69), 1); }, ":0200000CFF40B3\r\n"},
    {"d2 eeprom security 2", [] { return d2_read_eeprom_security_command(part(69), 2); }, ":0100000317E5"},
    {"d2 eeprom security bit 5", [] { return d2_program_eeprom_security_bit_command(part(69), 5); },
     ":020000021604E2"},
};

std::string compact(const char* s)
{
    std::string out;
    for (; *s; ++s)
        if (*s != ' ')
            out += *s;
    return out;
}

class Template : public ::testing::TestWithParam<Case> {};

TEST_P(Template, ExactBytes)
{
    const Case& c = GetParam();
    EXPECT_EQ(c.build(), compact(c.bytes)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(BothDialects, Template, ::testing::ValuesIn(kCases));

TEST(HexCommandRecord, ChecksumIsTheTwosComplementOfTheByteSum)
{
    // 02 + 00 + 00 + 05 + 00 + 02 = 0x09; 0x100 - 0x09 = 0xF7.
    EXPECT_EQ(hex_command(0x05, 0x0000, {0x00, 0x02}), ":020000050002F7");
    EXPECT_EQ(hex_command(0x01, 0x0000, {}), ":00000001FF");
    EXPECT_EQ(hex_command(0x00, 0xABCD, {0xFF}), ":01ABCD00FF88");
    // A sum that is a multiple of 256 gives 00, not 100.
    EXPECT_EQ(hex_command(0x00, 0x0000, {0x80, 0x7E}), ":02000000807E00");
}

TEST(HexCommandRecord, EraseAllOfThe89V51PartsIsTheResetPasswordRecord)
{
    for (int number : {23, 49, 55, 56, 57, 58})
        EXPECT_EQ(d1_erase_all_command(*classic_device_at(classic_device_index(number))), d1_reset_password_command());
}

TEST(StatusChar, EachSenderMapsItsCharacters)
{
    struct Row {
        char c;
        int command, record;
    };
    const Row rows[] = {{'.', 1, 1},   {'S', -21, -21}, {'N', -22, -22}, {'P', -24, -24},
                        {'R', -18, -10}, {'X', -18, -11}, {'?', -18, -18}, {'\0', -18, -18}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.c);
        EXPECT_EQ(status_char_code(r.c, StatusSender::Command), r.command);
        EXPECT_EQ(status_char_code(r.c, StatusSender::Record), r.record);
    }
}

TEST(DialectTwoPieces, SplitAtPageBoundaries)
{
    // 64 bytes at 0x1FF0 with 64-byte pages: 16 bytes at 0x1FF0, 48 at 0x2000.
    EXPECT_EQ(d2_piece_end(64, 0x1FF0, 0, 64), 16u);
    EXPECT_EQ(d2_piece_end(64, 0x1FF0, 16, 64), 64u);
    // Aligned data stays whole; no page size means 0xFFFF.
    EXPECT_EQ(d2_piece_end(64, 0x2000, 0, 64), 64u);
    EXPECT_EQ(d2_piece_end(0, 0xFFF0, 0, 64), 15u);
    EXPECT_EQ(d2_piece_end(16, 0x0008, 0, 16), 8u);
}

} // namespace
} // namespace qz
