// The classic settings operations against the simulated part's memory and
// setting bytes: security bits of both dialects, the clocks bit, boot
// vector and status byte, configuration and page erase.
#include "isp/classic/settings_ops.h"
#include "isp/core/errorcodes.h"
#include "tests/isp/classic/classicfixture.h"
#include "tests/isp/classic/partnumbers.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace qz;

namespace {

using namespace classictest;

std::vector<int> g_pages;
int recordPage(int event, int value, int, int)
{
    if (event == 8)
        g_pages.push_back(value);
    return 1;
}

class SettingsModel : public classictest::ClassicFixture {
protected:
    void open(int number, const sim::ClassicPersona& persona)
    {
        g_pages.clear();
        startPart(persona);
        connectPort(number);
        const char u = persona.sync;
        char c = 0;
        ASSERT_EQ(port_write(&u, 1), 1);
        ASSERT_EQ(port_read(&c, 1, 0), 1);
    }
    static sim::ClassicPersona lpc922()
    {
        sim::ClassicPersona p = classictest::dialect2Persona();
        p.layout.flashSize = 0x2000;
        p.layout.erased = 0x00;
        p.layout.blocks = sim::classic_family_blocks(4, 8);
        p.layout.pageSize = 64;
        p.settings.sectorSecurity.assign(8, 0);
        return p;
    }
    void settle(const std::function<void(sim::ClassicSettings&)>& change)
    {
        sim::ClassicSettings s = part->settings();
        change(s);
        part->setSettings(s);
    }
};

TEST_F(SettingsModel, Dialect1SecurityByteAsThreeFlags)
{
    open(k89C51RB2Hxx, {});
    settle([](sim::ClassicSettings& s) { s.security = 0x05; });
    const IspResult* r = classic_read_security_bits();
    ASSERT_EQ(r->status, 1);
    EXPECT_EQ(r->data[0], 1);
    EXPECT_EQ(r->data[1], 0);
    EXPECT_EQ(r->data[2], 1);
    const unsigned flags[3] = {0, 1, 0};
    ASSERT_EQ(classic_program_security_bits(flags)->status, 1);
    EXPECT_TRUE(partGot(":020000030501F5"));
    EXPECT_EQ(part->settings().security, 0x07);
}

TEST_F(SettingsModel, Dialect2SectorSecurityOfEveryBlock)
{
    open(k89LPC922, lpc922());
    settle([](sim::ClassicSettings& s) { s.sectorSecurity[2] = 0x04; });
    const IspResult* r = classic_read_security_bits();
    ASSERT_EQ(r->status, 1);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(r->data[i], i == 8 ? 1 : 0) << i;
    unsigned flags[24] = {};
    flags[22] = 1; // block 7, bit 1
    ASSERT_EQ(classic_program_security_bits(flags)->status, 1);
    EXPECT_EQ(part->settings().sectorSecurity[7], 0x02);
}

TEST_F(SettingsModel, ClocksBitIsProgrammedOnce)
{
    open(k89V51RD2, {});
    const IspResult* r = classic_read_clocks_bit();
    ASSERT_EQ(r->status, 1);
    EXPECT_EQ(r->data[0], 0);
    ASSERT_EQ(classic_program_clocks_bit()->status, 1);
    EXPECT_TRUE(partGot(":020000030505F1"));
    r = classic_read_clocks_bit();
    EXPECT_EQ(r->data[0], 1);
    const std::size_t sent = part->records().size();
    ASSERT_EQ(classic_program_clocks_bit()->status, 1);
    EXPECT_TRUE(logged("Clocks bit is already set in device, skipping programming of clocks bit"));
    EXPECT_EQ(part->records().size(), sent + 1) << "only the read";
}

TEST_F(SettingsModel, BootVectorAndStatusByteOfDialect1)
{
    open(k89C51RB2Hxx, {});
    settle([](sim::ClassicSettings& s) {
        s.bootVector = 0x00FC;
        s.statusByte = 0x00;
    });
    ASSERT_EQ(classic_program_boot_vector(0x1E)->status, 1);
    ASSERT_EQ(classic_program_status_byte(0x1FF)->status, 1) << "its low 8 bits";
    const IspResult* r = classic_read_boot_vector_status_byte();
    ASSERT_EQ(r->status, 1);
    EXPECT_EQ(r->data[0], 0x00);
    EXPECT_EQ(r->data[1], 0x1E);
    EXPECT_EQ(r->data[2], 0xFF);
    ASSERT_EQ(classic_erase_boot_vector_status_byte()->status, 1);
    EXPECT_EQ(part->settings().bootVector, 0);
    sim::ClassicFault f{":02000005070", sim::ClassicFaultKind::Status, 'S', 6};
    part->addFault(f);
    r = classic_read_boot_vector_status_byte();
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (reading boot vector)");
}

TEST_F(SettingsModel, BootVectorAndStatusByteOfDialect2)
{
    open(k89LPC966, classictest::dialect2Persona());
    settle([](sim::ClassicSettings& s) {
        s.bootVector = 0xE1;
        s.addlSecurity = 0x21;
    });
    const IspResult* r = classic_read_boot_vector_status_byte();
    ASSERT_EQ(r->status, 1);
    EXPECT_EQ(r->data[0], 0x00);
    EXPECT_EQ(r->data[1], 0xE1);
    EXPECT_EQ(r->data[2], 0x01);
    ASSERT_EQ(classic_program_boot_vector(0x1F)->status, 1);
    EXPECT_EQ(part->settings().bootVector, 0x1F);
}

TEST_F(SettingsModel, ConfigurationOfTwoBytesIsWrittenOnlyWhenItDiffers)
{
    open(k89LPC966, classictest::dialect2Persona());
    settle([](sim::ClassicSettings& s) {
        s.config[0] = 0x12;
        s.config[1] = 0x34;
    });
    const IspResult* r = classic_read_configuration();
    ASSERT_EQ(r->status, 1);
    EXPECT_EQ(r->data[2], 0x34);
    EXPECT_EQ(r->data[3], 0x12);
    ASSERT_EQ(classic_program_configuration(0x5678)->status, 1);
    EXPECT_EQ(part->settings().config[0], 0x78);
    EXPECT_EQ(part->settings().config[1], 0x56);
    const std::size_t sent = part->records().size();
    ASSERT_EQ(classic_program_configuration(0x5678)->status, 1);
    EXPECT_EQ(part->records().size(), sent + 2) << "the two reads alone";
}

TEST_F(SettingsModel, ProtectedConfigurationIsClearedFirst)
{
    sim::ClassicPersona p = classictest::dialect2Persona();
    p.settings.configProtected = true;
    open(k89V52X2, p);
    const IspResult* r = classic_program_configuration(0x05);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (programming configuration)");
    ASSERT_EQ(classic_clear_configuration_protection()->status, 1);
    EXPECT_FALSE(part->settings().configProtected);
    ASSERT_EQ(classic_program_configuration(0x05)->status, 1);
    EXPECT_EQ(part->settings().config[0], 0x05);
}

TEST_F(SettingsModel, PageEraseSparesTheBootLoaderWhenGuarded)
{
    open(k89LPC922, lpc922());
    std::vector<int> flags(128, 0);
    flags[3] = flags[121] = 1;
    ASSERT_EQ(classic_erase_pages(flags.data(), 1, recordPage, 0)->status, 1);
    EXPECT_EQ(g_pages, (std::vector<int>{3}));
    EXPECT_TRUE(partGot(":030000040000C039"));
    g_pages.clear();
    ASSERT_EQ(classic_erase_pages(flags.data(), 0, recordPage, 0)->status, 1);
    EXPECT_EQ(g_pages, (std::vector<int>{3, 121}));
}

TEST_F(SettingsModel, PageEraseRefusesALockedSector)
{
    open(k89LPC922, lpc922());
    settle([](sim::ClassicSettings& s) { s.sectorSecurity[0] = 0x04; });
    std::vector<int> flags(128, 0);
    flags[3] = 1;
    const IspResult* r = classic_erase_pages(flags.data(), 0, recordPage, 0);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (Unable to erase page 3 - erase disabled via security bits)");
    EXPECT_TRUE(g_pages.empty());
}

TEST_F(SettingsModel, Dialect1PageEraseAddressesThePageByItsSize)
{
    sim::ClassicPersona p;
    p.layout.flashSize = 0x10000;
    p.layout.pageSize = 128;
    open(k89V51RD2, p);
    std::vector<int> flags(512, 0);
    flags[0] = 1;
    ASSERT_EQ(classic_erase_pages(flags.data(), 0, nullptr, 0)->status, 1);
    EXPECT_TRUE(partGot(":03000003080000F2"));
    flags[0] = 0;
    flags[511] = 1;
    ASSERT_EQ(classic_erase_pages(flags.data(), 0, nullptr, 0)->status, 1);
    EXPECT_TRUE(partGot(":0300000308FF8073")) << "page 511 at 511 x 128";
}

} // namespace
