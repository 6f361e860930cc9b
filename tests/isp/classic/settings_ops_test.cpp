// The classic settings and check operations against the simulated part:
// what they send, what they make of the answers, and their failure texts.
#include "isp/classic/command_templates.h"
#include "isp/classic/record_senders.h"
#include "isp/classic/settings_ops.h"
#include "isp/core/errorcodes.h"
#include "tests/isp/classic/classicfixture.h"
#include "tests/isp/classic/partnumbers.h"

#include <cstdio>
#include <map>
#include <string>
#include <unistd.h>

using namespace qz;
using sim::ClassicFaultKind;

namespace {

using namespace classictest;

const ClassicDeviceRecord& dev(int number)
{
    return *classic_device_at(classic_device_index(number));
}

std::uint32_t be32(const IspResult* r)
{
    return std::uint32_t(r->data[0]) << 24 | std::uint32_t(r->data[1]) << 16 | std::uint32_t(r->data[2]) << 8 |
           r->data[3];
}

class SettingsOps : public classictest::ClassicFixture {
protected:
    void open(int number, const sim::ClassicPersona& persona)
    {
        startPart(persona);
        connectPort(number);
        const char u = persona.sync;
        char c = 0;
        ASSERT_EQ(port_write(&u, 1), 1);
        ASSERT_EQ(port_read(&c, 1, 0), 1);
    }
    void open2(int number) { open(number, classictest::dialect2Persona()); }
    std::size_t index(const std::string& record) const
    {
        const auto r = part->records();
        for (std::size_t i = 0; i < r.size(); ++i)
            if (r[i] == record)
                return i;
        return std::string::npos;
    }
};

TEST_F(SettingsOps, BootLoaderVersionOfAnLpc932)
{
    open2(k89LPC932);
    const IspResult* r = classic_bootloader_version();
    EXPECT_EQ(r->status, 1);
    EXPECT_STREQ(r->text, "ISP:1A IAP:0B");
}

TEST_F(SettingsOps, BootLoaderVersionFailuresNameTheStep)
{
    open(k89V51RD2, {});
    part->addFault({":020000050002", ClassicFaultKind::Status, 'P', 6});
    const IspResult* r = classic_bootloader_version();
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text,
                 "Operation Failed. (reading bootloader version - please unlock the device by supplying a password)");
    part->addFault({":020000050002", ClassicFaultKind::Status, 'S', 6});
    EXPECT_STREQ(classic_bootloader_version()->text,
                 "Operation Failed. (reading bootloader version - security violation in device)");
    r = classic_bootloader_version();
    EXPECT_EQ(r->status, 1);
    EXPECT_STREQ(r->text, "99");
}

TEST_F(SettingsOps, Dialect1ConfigurationRecordOfThe89V51)
{
    open(k89V51RD2, {});
    const IspResult* r = classic_read_configuration();
    ASSERT_EQ(r->status, 1);
    EXPECT_EQ(be32(r), 255u) << "read without a command";
    EXPECT_TRUE(part->records().empty());
    // Selectors 1 and 2 carry the high byte as well.
    EXPECT_EQ(classic_program_configuration(0x0201)->status, 1);
    EXPECT_TRUE(partGot(":0200000C0102EF"));
    EXPECT_EQ(classic_program_configuration(0x0005)->status, 1);
    EXPECT_TRUE(partGot(":0100000C05EE"));
    const std::size_t sent = part->records().size();
    EXPECT_EQ(classic_program_configuration(255)->status, 1);
    EXPECT_EQ(part->records().size(), sent) << "already the value";
}

TEST_F(SettingsOps, Dialect2BlankCheckSendsTheStartAndNamesNoAddress)
{
    open2(k89LPC932);
    const IspResult* r = classic_blank_check(0x0000, 0x03FF);
    EXPECT_EQ(r->status, 2);
    EXPECT_TRUE(partGot(":020000050000F9"));
    const std::uint8_t data[2] = {0x12, 0x34};
    ASSERT_EQ(d2_program_record(dev(k89LPC932), 0x0100, data, 2), 1);
    r = classic_blank_check(0x0000, 0x03FF);
    EXPECT_EQ(r->status, 3);
    EXPECT_EQ(r->data[0] | r->data[1] | r->data[2], 0);
}

TEST_F(SettingsOps, CrcOfTheSoleBlockIsTheDeviceCrc)
{
    open2(k89V52X2);
    const std::uint8_t data[3] = {1, 2, 3};
    ASSERT_EQ(d2_program_record(dev(k89V52X2), 0x0040, data, 3), 1);
    const IspResult* r = classic_read_crc(0);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(be32(r), 6u);
    EXPECT_TRUE(partGot(":00000006FA"));
    EXPECT_TRUE(logged("reading CRC of sole block, so switching to read of device CRC"));
}

TEST_F(SettingsOps, CrcOfABlockCarriesItsEraseCode)
{
    open2(k89LPC922);
    ASSERT_EQ(classic_read_crc(3)->status, 1);
    EXPECT_TRUE(partGot(":010000050CEE"));
    part->addFault({":010000050C", ClassicFaultKind::Status, 'S', 6});
    const IspResult* r = classic_read_crc(3);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (read crc - security violation in device)");
}

TEST_F(SettingsOps, EepromCrcRunsWithEepromAccess)
{
    open2(k89V52X2);
    ASSERT_EQ(classic_read_eeprom_crc(1)->status, 1);
    const std::size_t on = index(":0100000A01F4"), crc = index(":0200000CFF40B3"), off = index(":0100000A00F5");
    ASSERT_NE(crc, std::string::npos);
    EXPECT_LT(on, crc);
    EXPECT_LT(crc, off);
    EXPECT_NE(off, std::string::npos);
}

TEST_F(SettingsOps, MisrRefusalIsAFailedMisrRead)
{
    open2(k89LPC966);
    part->addFault({":04000009", ClassicFaultKind::Status, 'S', 6});
    const IspResult* r = classic_read_misr(kWholeDeviceBlock);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (read MISR)");
    // The whole device: the first block's start to the last block's end.
    EXPECT_TRUE(partGot(":040000090000FFFFF5"));
}

TEST_F(SettingsOps, MisrOfABlockCarriesItsSixteenBytes)
{
    open2(k89LPC966);
    std::uint8_t data[16];
    for (int i = 0; i < 16; ++i)
        data[i] = static_cast<std::uint8_t>(0x30 + i);
    ASSERT_EQ(d2_program_record(dev(k89LPC966), 0x2000, data, 16), 1);
    const IspResult* r = classic_read_misr(2);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_TRUE(partGot(":0400000920002FFFA5"));
    const auto memory = part->memory();
    const std::string digits = sim::misrDigits(
        [&](std::uint32_t a) {
            const auto it = memory.find(a);
            return it == memory.end() ? std::uint8_t(0xFF) : it->second;
        },
        0x2000, 0x2FFF);
    std::string got;
    for (int i = 0; i < 16; ++i) {
        char b[3];
        std::snprintf(b, sizeof b, "%02X", r->data[i]);
        got += b;
    }
    EXPECT_EQ(got, digits);
}

TEST_F(SettingsOps, EepromSecurityFlagsReadAndProgramInsideEepromAccess)
{
    open2(k89V52X2);
    part->withReadback([](sim::ClassicReadback& r) { r.eeprom.security = {0x00, 0x05, 0x02}; });
    const IspResult* r = classic_read_eeprom_security_bits();
    ASSERT_EQ(r->status, 1) << r->text;
    const std::uint8_t want[9] = {0, 0, 0, 1, 0, 1, 0, 1, 0};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(r->data[i], want[i]) << i;
    int flags[9] = {};
    flags[1] = 1; // page 0, bit 1
    flags[8] = 1; // page 2, bit 2
    ASSERT_EQ(classic_program_eeprom_security_bits(flags)->status, 1);
    int violations = -1;
    std::vector<std::uint8_t> security;
    part->withReadback([&](sim::ClassicReadback& rb) {
        violations = rb.accessViolations;
        security = rb.eeprom.security;
        EXPECT_FALSE(rb.eeprom.access) << "switched off again";
    });
    EXPECT_EQ(violations, 0);
    EXPECT_EQ(security, (std::vector<std::uint8_t>{0x02, 0x05, 0x06}));
}

TEST_F(SettingsOps, EepromPageEraseOfAProtectedPage)
{
    open2(k89V52X2);
    part->withReadback([](sim::ClassicReadback& r) { r.eeprom.security = {0x00, 0x00, 0x01}; });
    int pages[3] = {1, 0, 1};
    const IspResult* r = classic_erase_eeprom_pages(pages, nullptr, 0);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (Failed to erase page 2 - security violation in device)");
    EXPECT_EQ(part->records().back(), ":0100000A00F5") << "access off before the report";
    EXPECT_TRUE(partGot(":0300000402FF00F8")) << "page 0 of the EEPROM at 0xFF00 + 0 x 64";
}

TEST_F(SettingsOps, AdditionalSecurityKeepsTheStatusBit)
{
    open2(k89LPC966);
    sim::ClassicSettings start = part->settings();
    start.addlSecurity = 0x01;
    part->setSettings(start);
    const int flags[3] = {1, 0, 1};
    ASSERT_EQ(classic_program_addl_security_bits(flags)->status, 1);
    EXPECT_EQ(part->settings().addlSecurity, 0xA1);
    const IspResult* r = classic_read_addl_security_bits();
    ASSERT_EQ(r->status, 1);
    EXPECT_EQ(r->data[0], 1);
    EXPECT_EQ(r->data[1], 0);
    EXPECT_EQ(r->data[2], 1);
    ASSERT_EQ(classic_erase_addl_security_bits()->status, 1);
    EXPECT_EQ(part->settings().addlSecurity, 0x01);
    // The dialect 2 status byte is bit 0 of the same byte.
    ASSERT_EQ(classic_program_status_byte(0)->status, 1);
    EXPECT_EQ(part->settings().addlSecurity, 0x00);
}

TEST_F(SettingsOps, EepromProgramRunsOverTheEepromWithAccessOn)
{
    open2(k89V52X2);
    char path[] = "/tmp/qzeepromXXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string hex = ":04FF4000DEADBEEF85\n:00000001FF\n";
    ASSERT_EQ(::write(fd, hex.data(), hex.size()), static_cast<ssize_t>(hex.size()));
    ::close(fd);
    ClassicProgramRequest request;
    request.hex_file = path;
    const IspResult* r = classic_program_eeprom(request);
    EXPECT_EQ(r->status, 1) << r->text;
    std::map<std::uint32_t, std::uint8_t> eeprom;
    bool access = true;
    part->withReadback([&](sim::ClassicReadback& rb) {
        eeprom = rb.eeprom.bytes;
        access = rb.eeprom.access;
    });
    // One 64-byte record: the data, then the image's fill.
    ASSERT_EQ(eeprom.size(), 64u);
    EXPECT_EQ(eeprom.begin()->first, 0xFF40u);
    EXPECT_EQ(eeprom[0xFF40], 0xDE);
    EXPECT_EQ(eeprom[0xFF43], 0xEF);
    EXPECT_FALSE(access);
    EXPECT_LT(index(":0100000A01F4"), index(":04FF4000DEADBEEF85"));
    EXPECT_EQ(part->records().back(), ":0100000A00F5");
    EXPECT_TRUE(part->memory().empty()) << "no flash byte written";

    // Data past the EEPROM has no place there: nothing is written.
    std::FILE* f = std::fopen(path, "w");
    std::fputs(":0400100001020304E2\n:00000001FF\n", f);
    std::fclose(f);
    const std::size_t sent = part->records().size();
    r = classic_program_eeprom(request);
    EXPECT_EQ(r->status, -15) << r->text;
    const auto records = part->records();
    for (std::size_t i = sent; i < records.size(); ++i)
        EXPECT_EQ(records[i].compare(0, 9, ":0100000A"), 0) << records[i];
    std::remove(path);
}

} // namespace
