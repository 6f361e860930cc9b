#include "isp/classic/classic_device.h"
#include "isp/classic/family_blocks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

namespace qz {
namespace {

// Every scalar field, for comparing whole records.
#define CLASSIC_FIELDS(X)                                                                              \
    X(number) X(signature_bytes) X(block_count) X(erased_value) X(erase_all_command) X(flash_size)     \
    X(high_speed_allowed) X(send_oscillator) X(use_i2c_address) X(sync_char) X(osc_record_type)        \
    X(write_record_type) X(read_record_type) X(query_record_type) X(baud_record_type)                  \
    X(i2c_record_type) X(erase_all_code) X(erase_block_code) X(security_base) X(family)                \
    X(reset_boot_vector) X(reset_allowed) X(reset_method) X(repeat_erase) X(clocks_bit_supported)      \
    X(clocks_read_word) X(clocks_program_word) X(clocks_bit_inverted) X(boot_vector_programmable)      \
    X(status_byte_programmable) X(boot_vector_readable) X(status_byte_readable) X(bv_sb_erasable)      \
    X(verify_supported) X(configuration_supported) X(configuration_protection_supported)              \
    X(configuration_bytes) X(security_flag_count) X(page_erase_supported) X(page_count) X(page_size)   \
    X(crc_supported) X(misr_supported) X(boot_loader_guard) X(first_paged_block) X(page_limit)         \
    X(security_flag_order) X(threaded_autobaud) X(passwords_supported) X(record_size)                  \
    X(softice_supported) X(addl_security_supported) X(bootloader_update_supported)                    \
    X(eeprom_security_supported) X(eeprom_base) X(eeprom_page_count) X(eeprom_page_size)               \
    X(eeprom_crc_supported) X(eeprom_security_flag_count) X(eeprom_security_base)                     \
    X(icp_select_code) X(bootloader_version_method)

// The parts whose every field is fixed, in field order.
const ClassicDeviceRecord kTelling[] = {
    {2, "89C51RB2Hxx", 3, 2, 0xFF, 1, 0x4000, 1, 1, 0, 0x55, 0x02, 0x03, 0x04, 0x05, 0x06, 0x00, 0x07, 0x01,
     0x00, 0, 0xFC, 1, 0, 1, 0, 0x0, 0x0, 0, 1, 1, 1, 1, 1, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
     16, 0, 0, 0, 0, 0x0, 0, 0, 0, 0, 0x00, {0, 0, 0, 0}, 0x00, 0},
    {11, "XA-G49", 3, 5, 0xFF, 1, 0x10000, 0, 0, 0, 0x66, 0x00, 0x83, 0x84, 0x85, 0x00, 0x00, 0x91, 0x01,
     0x00, 1, 0xF8, 0, 0, 1, 0, 0x0, 0x0, 0, 1, 1, 1, 1, 1, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
     16, 0, 0, 0, 0, 0x0, 0, 0, 0, 0, 0x00, {0, 0, 0, 0}, 0x00, 0},
    {21, "89C669", 3, 12, 0xFF, 1, 0x18000, 1, 0, 0, 0x55, 0x00, 0x03, 0x07, 0x05, 0x06, 0x00, 0x07, 0x01,
     0x00, 3, 0xFC, 1, 0, 0, 0, 0x0, 0x0, 0, 1, 1, 1, 1, 1, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
     16, 0, 0, 0, 0, 0x0, 0, 0, 0, 0, 0x00, {0, 0, 0, 0}, 0x00, 0},
    {49, "89V51RD2", 2, 1, 0xFF, 1, 0x10000, 0, 0, 0, 0x55, 0x00, 0x03, 0x04, 0x05, 0x00, 0x00, 0x07, 0x01,
     0x00, 6, 0xFC, 1, 1, 0, 1, 0x700, 0x505, 0, 0, 0, 0, 0, 0, 1, 1, 0, 1, 1, 1, 512, 128, 0, 0, 0, 0, 0, 1,
     1, 1, 16, 1, 0, 1, 0, 0x0, 0, 0, 0, 0, 0x00, {0, 0, 0, 0}, 0x02, 3},
    {25, "89LPC922", 3, 8, 0x00, 1, 0x2000, 0, 0, 0, 0x55, 0x00, 0x02, 0x05, 0x03, 0x07, 0x00, 0x08, 0x01,
     0x08, 4, 0x1F, 0, 0, 0, 0, 0x0, 0x0, 0, 1, 1, 1, 1, 0, 0, 1, 0, 1, 24, 1, 128, 64, 1, 0, 1, 7, 120, 0, 0,
     0, 64, 0, 0, 0, 0, 0x0, 0, 0, 0, 0, 0x00, {0, 0, 0, 0}, 0x00, 1},
    {28, "89LPC901", 3, 4, 0x00, 1, 0x400, 0, 0, 0, 0x55, 0x00, 0x02, 0x05, 0x03, 0x00, 0x00, 0x08, 0x01,
     0x08, 7, 0x1E, 0, 0, 0, 0, 0x0, 0x0, 0, 1, 1, 1, 1, 0, 0, 1, 0, 1, 12, 1, 64, 16, 1, 0, 0, 0, 0, 0, 0, 0,
     16, 0, 0, 0, 0, 0x0, 0, 0, 0, 0, 0x00, {0, 0, 0, 0}, 0x00, 1},
    {68, "89LPC966", 3, 16, 0xFF, 1, 0x10000, 1, 0, 0, 0x55, 0x00, 0x02, 0x05, 0x03, 0x07, 0x00, 0x08, 0x01,
     0x20, 10, 0xE1, 0, 0, 0, 0, 0x0, 0x0, 0, 1, 1, 1, 1, 0, 0, 1, 0, 2, 48, 0, 256, 256, 0, 1, 0, 0, 0, 0, 0,
     0, 64, 0, 1, 0, 0, 0x0, 0, 0, 0, 0, 0x00, {0, 0, 0, 0}, 0x00, 1},
    {69, "89V52X2", 3, 1, 0x00, 1, 0x2000, 0, 0, 0, 0x55, 0x00, 0x02, 0x05, 0x03, 0x07, 0x00, 0x08, 0x01,
     0x08, 11, 0x00, 0, 0, 0, 0, 0x0, 0x0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 2, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
     64, 0, 1, 0, 1, 0xFF00, 3, 64, 1, 9, 0x15, {1, 1, 1, 1}, 0x01, 0},
};

const ClassicDeviceRecord& part(int number)
{
    int i = classic_device_index(number);
    EXPECT_GE(i, 0) << "no part " << number;
    static const ClassicDeviceRecord none{};
    return i >= 0 ? *classic_device_at(i) : none;
}

class TellingRow : public ::testing::TestWithParam<ClassicDeviceRecord> {};

TEST_P(TellingRow, EveryFieldAsFixed)
{
    const ClassicDeviceRecord& want = GetParam();
    const ClassicDeviceRecord& got = part(want.number);
    SCOPED_TRACE(want.name);
    EXPECT_STREQ(got.name, want.name);
#define CHECK_FIELD(f) EXPECT_EQ(unsigned(got.f), unsigned(want.f)) << #f;
    CLASSIC_FIELDS(CHECK_FIELD)
#undef CHECK_FIELD
    EXPECT_EQ(0, std::memcmp(got.icp_select_bytes, want.icp_select_bytes, 4));
}

INSTANTIATE_TEST_SUITE_P(Parts, TellingRow, ::testing::ValuesIn(kTelling));

// The listed parts: number, name, family, high-speed switch allowed.
struct Listed {
    int number;
    const char* name;
    int family;
    int hs;
};

const Listed kListed[] = {
    {1, "89C51RB+", 0, 0}, {2, "89C51RB2Hxx", 0, 1}, {3, "89C51RC+", 0, 0}, {4, "89C51RC2Hxx", 0, 1},
    {5, "89C51RD+", 0, 0}, {6, "89C51RD2Hxx", 0, 1}, {7, "89C660", 0, 1}, {8, "89C662", 0, 1},
    {9, "89C664", 0, 1}, {10, "89C668", 0, 1}, {63, "89V660", 0, 1}, {64, "89V662", 0, 1},
    {65, "89V664", 0, 1}, {71, "89CV51RB2", 0, 1}, {72, "89CV51RC2", 0, 1}, {73, "89CV51RD2", 0, 1},
    {11, "XA-G49", 1, 0}, {20, "XA-G39", 1, 0},
    {12, "89C51RA2xx", 2, 1}, {13, "89C51RB2xx", 2, 1}, {14, "89C51RC2xx", 2, 1}, {15, "89C51RD2xx", 2, 1},
    {16, "89C60X2", 2, 1}, {17, "89C61X2", 2, 1},
    {21, "89C669", 3, 1},
    {37, "89LPC920", 4, 0}, {66, "89LPC918", 4, 0}, {24, "89LPC921", 4, 0}, {25, "89LPC922", 4, 0},
    {59, "89LPC9221", 4, 0}, {26, "89LPC930", 4, 0}, {27, "89LPC931", 4, 0}, {19, "89LPC932", 4, 0},
    {38, "89LPC935", 4, 1}, {39, "89LPC934", 4, 1}, {40, "89LPC933", 4, 1}, {41, "89LPC932A1", 4, 1},
    {43, "89LPC925", 4, 1}, {44, "89LPC924", 4, 1}, {51, "89LPC938", 4, 1}, {60, "89LPC952", 4, 0},
    {70, "89LPC954", 4, 0}, {61, "89LPC9401", 4, 0}, {77, "89LPC9201", 4, 0}, {78, "89LPC9211", 4, 1},
    {79, "89LPC922A1", 4, 0}, {80, "89LPC9241", 4, 1}, {81, "89LPC9251", 4, 0}, {82, "89LPC9301", 4, 1},
    {83, "89LPC931A1", 4, 0}, {75, "89LPC9321", 4, 1}, {84, "89LPC9331", 4, 1}, {85, "89LPC9341", 4, 0},
    {74, "89LPC9351", 4, 0}, {76, "89LPC9381", 4, 1}, {86, "89LPC9408", 4, 0}, {87, "89LPC9402", 4, 0},
    {88, "89LPC9361", 4, 1}, {92, "89LPC970", 4, 0}, {93, "89LPC971", 4, 1}, {94, "89LPC972", 4, 0},
    {95, "89LPC980", 4, 1}, {96, "89LPC982", 4, 0}, {97, "89LPC983", 4, 1}, {98, "89LPC985", 4, 0},
    {57, "89LV51RC2", 5, 0}, {58, "89V51RC2", 5, 0},
    {23, "89LV51RD2", 6, 0}, {49, "89V51RD2", 6, 0},
    {28, "89LPC901", 7, 0}, {29, "89LPC902", 7, 0}, {30, "89LPC903", 7, 0}, {31, "89LPC906", 7, 0},
    {32, "89LPC907", 7, 0}, {33, "89LPC908", 7, 0}, {34, "89LPC912", 7, 0}, {35, "89LPC913", 7, 0},
    {36, "89LPC914", 7, 0}, {45, "89LPC917", 7, 0}, {46, "89LPC916", 7, 0}, {47, "89LPC915", 7, 0},
    {91, "89LPC9171", 7, 0}, {90, "89LPC9161", 7, 0}, {89, "89LPC9151", 7, 0}, {48, "89LPC904", 7, 0},
    {52, "89LPC9102", 7, 0}, {53, "89LPC9103", 7, 0}, {54, "89LPC9107", 7, 0},
    {50, "89LPC936", 8, 1}, {62, "WGP", 8, 1},
    {55, "89LV51RB2", 9, 0}, {56, "89V51RB2", 9, 0},
    {67, "89LPC964", 10, 1}, {68, "89LPC966", 10, 1},
    {69, "89V52X2", 11, 0},
};

TEST(ClassicDeviceTable, HoldsTheListedPartsThenTheEndRecord)
{
    ASSERT_EQ(sizeof kListed / sizeof kListed[0], static_cast<std::size_t>(kClassicDeviceCount));
    const ClassicDeviceRecord* t = classic_device_table();
    std::set<int> numbers;
    for (int i = 0; i < kClassicDeviceCount; ++i)
        EXPECT_TRUE(numbers.insert(t[i].number).second) << "number twice: " << int(t[i].number);
    EXPECT_EQ(t[kClassicDeviceCount].number, 0);
    for (const Listed& l : kListed) {
        const ClassicDeviceRecord& d = part(l.number);
        SCOPED_TRACE(l.name);
        EXPECT_STREQ(d.name, l.name);
        EXPECT_EQ(d.family, l.family);
        EXPECT_EQ(d.high_speed_allowed, l.hs);
        EXPECT_EQ(record_dialect(d), (l.family == 4 || l.family == 7 || l.family == 8 || l.family == 10 ||
                                      l.family == 11)
                                         ? kDialect2
                                         : kDialect1);
    }
}

TEST(ClassicDeviceTable, UnknownNumbersFindNothing)
{
    EXPECT_EQ(classic_device_index(0), -1);
    EXPECT_EQ(classic_device_index(18), -1); // no part 18
    EXPECT_EQ(classic_device_index(99), -1);
    EXPECT_EQ(classic_device_index(-1), -1);
    EXPECT_EQ(classic_device_at(-1), nullptr);
    EXPECT_EQ(classic_device_at(kClassicDeviceCount), nullptr);
}

TEST(ClassicDeviceTable, DerivedFieldsFollowTheirRules)
{
    for (int i = 0; i < kClassicDeviceCount; ++i) {
        const ClassicDeviceRecord& d = *classic_device_at(i);
        SCOPED_TRACE(d.name);
        const FamilyBlockTable blocks = family_blocks(d.family);
        ASSERT_GT(blocks.count, 0);
        EXPECT_EQ(d.block_count, blocks_below(d.family, d.flash_size));
        EXPECT_GE(d.block_count, 1);
        EXPECT_LE(d.block_count, 32);
        // The flash ends inside the last block it uses.
        EXPECT_LE(d.flash_size, blocks.blocks[d.block_count - 1].end + 1);
        EXPECT_EQ(d.page_count, d.page_size ? d.flash_size / d.page_size : 0u);
        if (record_dialect(d) == kDialect2 && d.number != 69) {
            EXPECT_EQ(d.security_flag_count, 3 * d.block_count);
        }
        if (d.family == 4) {
            EXPECT_EQ(d.boot_loader_guard, 1);
            EXPECT_EQ(d.first_paged_block, d.block_count - 1u);
            EXPECT_EQ(d.page_limit, (d.flash_size - 512) / d.page_size);
        } else {
            EXPECT_EQ(d.boot_loader_guard, 0);
        }
        EXPECT_EQ(d.threaded_autobaud, d.family == 5 || d.family == 6 || d.family == 9 ? 1 : 0);
        EXPECT_EQ(d.sync_char, d.family == 1 ? 'f' : 'U');
        EXPECT_EQ(d.use_i2c_address, 0);
        EXPECT_EQ(d.record_size, d.family == 4 || d.family == 8 || d.family == 10 || d.family == 11 ? 64u : 16u);
        if (d.number != 69) {
            EXPECT_EQ(d.eeprom_security_supported, 0);
            EXPECT_EQ(d.eeprom_page_count, 0u);
            EXPECT_EQ(d.eeprom_crc_supported, 0);
            EXPECT_EQ(d.eeprom_security_flag_count, 0);
        }
        // Method 1 is a dialect 2 command.
        if (d.bootloader_version_method == 1) {
            EXPECT_EQ(record_dialect(d), kDialect2);
        }
    }
}

TEST(ClassicDeviceTable, ThreeSparePartsLackEraseAll)
{
    int without = 0;
    for (int i = 0; i < kClassicDeviceCount; ++i)
        without += classic_device_at(i)->erase_all_command == 0;
    EXPECT_EQ(without, 3);
}

TEST(FamilyBlockTable, BlocksAsLaidOut)
{
    struct Case {
        int family, count;
        unsigned lastStart, lastEnd, secondCode;
    };
    const Case cases[] = {
        {0, 5, 0xC000, 0xFFFF, 0x20},  {1, 5, 0xC000, 0xFFFF, 0x20}, {2, 16, 0xF000, 0xFFFF, 0x10},
        {3, 12, 0x16000, 0x17FFF, 0x20}, {4, 16, 0x3C00, 0x3FFF, 0x04}, {5, 1, 0, 0x7FFF, 0},
        {6, 1, 0, 0xFFFF, 0},          {7, 8, 0x700, 0x7FF, 0x01},     {8, 32, 0xF800, 0xFFFF, 0x08},
        {9, 1, 0, 0x3FFF, 0},          {10, 16, 0xF000, 0xFFFF, 0x10}, {11, 1, 0, 0x1FFF, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.family);
        FamilyBlockTable t = family_blocks(c.family);
        ASSERT_EQ(t.count, c.count);
        EXPECT_EQ(t.blocks[c.count - 1].start, c.lastStart);
        EXPECT_EQ(t.blocks[c.count - 1].end, c.lastEnd);
        if (c.count > 1) {
            EXPECT_EQ(t.blocks[1].erase_code, c.secondCode);
        }
        for (int i = 0; i < t.count; ++i) {
            EXPECT_EQ(t.blocks[i].checksum_address, t.blocks[i].end);
            EXPECT_EQ(t.blocks[i].erase_code, t.blocks[i].start >> 8);
            if (i > 0) {
                EXPECT_EQ(t.blocks[i].start, t.blocks[i - 1].end + 1);
            }
        }
    }
    EXPECT_EQ(family_blocks(12).count, 0);
    EXPECT_EQ(family_block(4, 16), nullptr);
    EXPECT_EQ(family_block(4, 15)->erase_code, 0x3Cu);
}

} // namespace
} // namespace qz
