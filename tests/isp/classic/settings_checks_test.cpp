// The classic read-back and settings operations before they reach the part:
// the capability each needs, and the arguments they refuse.
#include "isp/classic/capabilities.h"
#include "isp/classic/settings_ops.h"
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"
#include "tests/isp/classic/classicfixture.h"
#include "tests/isp/classic/partnumbers.h"

#include <string>

using namespace qz;

namespace {

using namespace classictest;

// Calls the operation with arguments that pass its own checks.
const IspResult* call(ClassicOp op)
{
    static const int flags[1024] = {1};
    static const unsigned uflags[96] = {1};
    static unsigned char buffer[16];
    switch (op) {
    case ClassicOp::ReadClocksBit: return classic_read_clocks_bit();
    case ClassicOp::ProgramClocksBit: return classic_program_clocks_bit();
    case ClassicOp::Verify: return classic_verify("/nonexistent.hex", 0, nullptr, 0);
    case ClassicOp::ReadData: return classic_read_data(0, 15, "/tmp/qz-never-written.hex", nullptr, 0);
    case ClassicOp::ReadDataToBuffer: return classic_read_data_to_buffer(0, 15, buffer, nullptr, 0);
    case ClassicOp::ReadCrc: return classic_read_crc(0);
    case ClassicOp::ReadEepromCrc: return classic_read_eeprom_crc(0);
    case ClassicOp::ReadMisr: return classic_read_misr(0);
    case ClassicOp::ProgramAddlSecurity: return classic_program_addl_security_bits(flags);
    case ClassicOp::EraseAddlSecurity: return classic_erase_addl_security_bits();
    case ClassicOp::ReadAddlSecurity: return classic_read_addl_security_bits();
    case ClassicOp::ReadEepromSecurity: return classic_read_eeprom_security_bits();
    case ClassicOp::ProgramEepromSecurity: return classic_program_eeprom_security_bits(flags);
    case ClassicOp::ProgramEeprom: return classic_program_eeprom({});
    case ClassicOp::ErasePages: return classic_erase_pages(flags, 0, nullptr, 0);
    case ClassicOp::EraseEepromPages: return classic_erase_eeprom_pages(flags, nullptr, 0);
    case ClassicOp::EraseBootVectorStatusByte: return classic_erase_boot_vector_status_byte();
    case ClassicOp::ProgramBootVector: return classic_program_boot_vector(0xFC);
    case ClassicOp::ProgramStatusByte: return classic_program_status_byte(0);
    case ClassicOp::ReadConfiguration: return classic_read_configuration();
    case ClassicOp::ProgramConfiguration: return classic_program_configuration(1);
    case ClassicOp::ClearConfigurationProtection: return classic_clear_configuration_protection();
    case ClassicOp::ProgramI2cAddress: return classic_program_i2c_address(0x26);
    case ClassicOp::EnableSoftIce: return classic_enable_softice();
    case ClassicOp::UpdateBootloader: return nullptr; // an export of its own
    case ClassicOp::BootloaderVersion: return classic_bootloader_version();
    }
    (void)uflags;
    return nullptr;
}

// The first part of the table whose flag is as asked, or -1.
int partWhere(const CapabilityCase& c, bool allowed)
{
    for (int i = 0; i < kClassicDeviceCount; ++i)
        if (c.allowed(*classic_device_at(i)) == allowed)
            return i;
    return -1;
}

class SettingsChecks : public classictest::ClassicFixture {
protected:
    void select(int number) { classic_state().deviceIndex = classic_device_index(number); }
};

TEST_F(SettingsChecks, EachCapabilityRefusesWithItsDetailBeforeThePort)
{
    int count = 0;
    const CapabilityCase* cases = capability_cases(count);
    ASSERT_GT(count, 20);
    for (int k = 0; k < count; ++k) {
        const CapabilityCase& c = cases[k];
        SCOPED_TRACE(c.name);
        const int without = partWhere(c, false);
        ASSERT_GE(without, 0);
        classic_state().deviceIndex = without;
        EXPECT_EQ(refuse_unless_ready(c.op)->status, -16);
        EXPECT_EQ(std::string(isp_result()->text), std::string("Device does not support operation. ") + c.detail);
        if (const IspResult* r = call(c.op)) {
            EXPECT_EQ(r->status, -16);
            EXPECT_EQ(std::string(r->text), std::string("Device does not support operation. ") + c.detail);
        }
        // A part that has it goes on to the port.
        const int with = partWhere(c, true);
        if (with >= 0) {
            classic_state().deviceIndex = with;
            EXPECT_EQ(refuse_unless_ready(c.op)->status, -7);
            if (const IspResult* r = call(c.op)) {
                EXPECT_EQ(r->status, -7);
            }
        }
    }
}

TEST_F(SettingsChecks, NoPartSelectedIsNoConnection)
{
    EXPECT_EQ(classic_read_crc(0)->status, -7);
    EXPECT_EQ(classic_blank_check(0, 1)->status, -7);
    EXPECT_EQ(classic_read_security_bits()->status, -7);
    EXPECT_EQ(classic_read_boot_vector_status_byte()->status, -7);
}

TEST_F(SettingsChecks, TheTelling89LPC922Row)
{
    const ClassicDeviceRecord& d = *classic_device_at(classic_device_index(k89LPC922));
    int count = 0;
    const CapabilityCase* cases = capability_cases(count);
    for (int k = 0; k < count; ++k) {
        if (cases[k].op == ClassicOp::ReadCrc || cases[k].op == ClassicOp::ErasePages ||
            cases[k].op == ClassicOp::ReadConfiguration || cases[k].op == ClassicOp::BootloaderVersion)
            EXPECT_TRUE(cases[k].allowed(d)) << cases[k].name;
        if (cases[k].op == ClassicOp::Verify || cases[k].op == ClassicOp::ReadMisr ||
            cases[k].op == ClassicOp::ReadEepromCrc)
            EXPECT_FALSE(cases[k].allowed(d)) << cases[k].name;
    }
}

class SettingsArguments : public SettingsChecks {
protected:
    void SetUp() override
    {
        SettingsChecks::SetUp();
        startPart(classictest::dialect2Persona());
    }
    // Nothing of a refused call reaches the part.
    void expectNothingSent() { EXPECT_TRUE(part->records().empty()); }
};

TEST_F(SettingsArguments, BlockNumbersOutsideThePartGiveMinusFive)
{
    struct Case {
        int device;
        IspResult* (*op)(int);
        int block;
    } cases[] = {
        {k89LPC922, classic_read_crc, 8},  {k89LPC922, classic_read_crc, -1},    {k89LPC922, classic_read_crc, -4},
        {k89LPC966, classic_read_misr, 16}, {k89LPC966, classic_read_misr, -2},  {k89V52X2, classic_read_eeprom_crc, 3},
        {k89V52X2, classic_read_eeprom_crc, -3}, {k89V52X2, classic_read_eeprom_crc, -1},
    };
    connectPort(k89LPC922);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.block);
        select(c.device);
        const IspResult* r = c.op(c.block);
        EXPECT_EQ(r->status, -5);
        EXPECT_EQ(std::string(r->text), "Invalid value or command sent. Please try the operation again. (block " +
                                            std::to_string(c.block) + ")");
    }
    expectNothingSent();
}

TEST_F(SettingsArguments, ReadRangesThatTheCommandsCannotCarry)
{
    connectPort(k89C51RB2Hxx);
    unsigned char buffer[32];
    const IspResult* r = classic_read_data_to_buffer(0x20, 0x1F, buffer, nullptr, 0);
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, "Invalid value or command sent. Please try the operation again. The start address is "
                          "greater than the end address");
    // A 16 KB part's addresses are 16 bits: 0x10000 would be read as 0.
    r = classic_read_data_to_buffer(0xFFF0, 0x1000F, buffer, nullptr, 0);
    EXPECT_EQ(r->status, -5);
    EXPECT_EQ(classic_read_data(0xFFF0, 0x10000, "/tmp/qz-never-written.hex", nullptr, 0)->status, -5);
    EXPECT_EQ(classic_blank_check(0, 0x10000)->status, -5);
    EXPECT_EQ(classic_blank_check(2, 1)->status, -5);
    r = classic_read_data_to_buffer(0, 15, nullptr, nullptr, 0);
    EXPECT_EQ(r->status, -5);
    expectNothingSent();
}

TEST_F(SettingsArguments, RangesPastThePartsFlashAreRefusedAtOnceByName)
{
    enum Op { Blank, ToFile, ToBuffer };
    struct Case {
        int device;
        Op op;
        unsigned start, end;
        const char* named;
    } const cases[] = {
        {k89C51RB2Hxx, Blank, 0, 0x4000, "(end address 0x4000 beyond the part's flash, which ends at 0x3FFF)"},
        {k89C51RB2Hxx, ToFile, 0, 0x4000, "(end address 0x4000 beyond the part's flash, which ends at 0x3FFF)"},
        {k89C51RB2Hxx, ToBuffer, 0x3FF0, 0x4000, "(end address 0x4000 beyond the part's flash, which ends at 0x3FFF)"},
        {k89C51RB2Hxx, Blank, 0x4000, 0x7FFF, "(end address 0x7FFF beyond the part's flash, which ends at 0x3FFF)"},
        {k89C669, ToBuffer, 0x17FF0, 0x18000, "(end address 0x18000 beyond the part's flash, which ends at 0x17FFF)"},
        {k89LPC922, Blank, 0x1000, 0x2000, "(end address 0x2000 beyond the part's flash, which ends at 0x1FFF)"},
    };
    connectPort(k89C51RB2Hxx);
    // Were anything sent, the waits would be short.
    session().shortTimeoutMs = 200;
    session().longTimeoutMs = 200;
    use_short_timeouts();
    static unsigned char buffer[0x20];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.named);
        select(c.device);
        const IspResult* r = c.op == Blank    ? classic_blank_check(c.start, c.end)
                             : c.op == ToFile ? classic_read_data(c.start, c.end, "/tmp/qz-never-written.hex", nullptr, 0)
                                              : classic_read_data_to_buffer(c.start, c.end, buffer, nullptr, 0);
        EXPECT_EQ(r->status, -5);
        EXPECT_EQ(std::string(r->text), std::string("Invalid value or command sent. Please try the operation again. ") +
                                            c.named);
    }
    expectNothingSent();
}

TEST_F(SettingsArguments, NullPointersGiveMinusFive)
{
    connectPort(k89V52X2);
    EXPECT_EQ(classic_program_security_bits(nullptr)->status, -5);
    EXPECT_EQ(classic_program_eeprom_security_bits(nullptr)->status, -5);
    EXPECT_EQ(classic_program_addl_security_bits(nullptr)->status, -5);
    EXPECT_EQ(classic_erase_eeprom_pages(nullptr, nullptr, 0)->status, -5);
    select(k89LPC922);
    EXPECT_EQ(classic_erase_pages(nullptr, 0, nullptr, 0)->status, -5);
    const int none[128] = {};
    const IspResult* r = classic_erase_pages(none, 0, nullptr, 0);
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, "Invalid value or command sent. Please try the operation again. (nothing to erase)");
    EXPECT_EQ(classic_read_data(0, 15, nullptr, nullptr, 0)->status, -16) << "no read-back on this part";
    select(k89C51RB2Hxx);
    r = classic_read_data(0, 15, nullptr, nullptr, 0);
    EXPECT_EQ(r->status, -9);
    expectNothingSent();
}

} // namespace
