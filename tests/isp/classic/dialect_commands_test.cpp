// The commands with more to them than one record and its status, against
// the simulated part.
#include "isp/classic/dialect_commands.h"
#include "isp/classic/record_senders.h"
#include "isp/core/errorcodes.h"
#include "tests/isp/classic/classicfixture.h"
#include "tests/isp/classic/partnumbers.h"

#include <algorithm>

using namespace qz;
using sim::ClassicFaultKind;

namespace {

using namespace classictest;

const ClassicDeviceRecord& dev(int number)
{
    return *classic_device_at(classic_device_index(number));
}

class DialectCommands : public classictest::ClassicFixture {
protected:
    void open(int number, const sim::ClassicPersona& persona = {})
    {
        startPart(persona);
        connectPort(number);
        const char u = 'U';
        char c = 0;
        ASSERT_EQ(port_write(&u, 1), 1);
        ASSERT_EQ(port_read(&c, 1, 0), 1);
    }
    std::size_t recordsLike(const std::string& record) const
    {
        const auto r = part->records();
        return static_cast<std::size_t>(std::count(r.begin(), r.end(), record));
    }
};

TEST_F(DialectCommands, ResetMethods)
{
    open(k89C51RB2Hxx);
    EXPECT_EQ(send_reset(0), 1);
    EXPECT_EQ(recordsLike(":02000005800178"), 1u);
    EXPECT_EQ(send_reset(2), 1);
    EXPECT_EQ(send_reset(7), 1) << "sends nothing";
    part->addFault({":0000000B", ClassicFaultKind::Status, 'S', 1});
    EXPECT_EQ(send_reset(1), -21);
}

TEST_F(DialectCommands, BootLoaderVersionOfEachMethod)
{
    open(k89LPC932, classictest::dialect2Persona());
    std::string text;
    ASSERT_EQ(read_bootloader_version(1, text), 1);
    EXPECT_EQ(text, "ISP:1A IAP:0B");
    // A three-character answer leaves the five short.
    part->addFault({":00000001", ClassicFaultKind::Garbage, 0, 1});
    EXPECT_EQ(read_bootloader_version(1, text), -2);
    EXPECT_EQ(read_bootloader_version(0, text), 1);
    EXPECT_EQ(text, "");
}

TEST_F(DialectCommands, BootLoaderVersionAsAValue)
{
    open(k89V51RD2);
    std::string text;
    ASSERT_EQ(read_bootloader_version(3, text), 1);
    EXPECT_EQ(text, "99"); // the part's third signature byte stands in for it
}

TEST_F(DialectCommands, SignatureOfBothDialects)
{
    open(k89C51RB2Hxx);
    std::uint8_t sig[3] = {};
    ASSERT_EQ(read_signature(dev(k89C51RB2Hxx), sig), 1);
    EXPECT_EQ(sig[0], 0x15);
    EXPECT_EQ(sig[1], 0xC2);
    EXPECT_EQ(sig[2], 0x99);
    part->stop();
    open(k89LPC932, classictest::dialect2Persona());
    std::uint8_t sig2[3] = {};
    ASSERT_EQ(read_signature(dev(k89LPC932), sig2), 1);
    EXPECT_EQ(sig2[1], 0xC2);
    EXPECT_EQ(recordsLike(":0100000311EB"), 1u);
}

TEST_F(DialectCommands, FlagsThatAreOffSendNothing)
{
    open(k89V51RD2);
    unsigned vector = 0;
    ASSERT_EQ(d1_read_boot_vector(dev(k89V51RD2), vector), 1);
    EXPECT_EQ(vector, 0xFCu);
    std::uint8_t status = 7;
    EXPECT_EQ(d1_read_status_byte(dev(k89V51RD2), status), 1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(d1_program_status_byte(dev(k89V51RD2), 0xFF), 1);
    EXPECT_EQ(d1_program_boot_vector(dev(k89V51RD2), 0xFC), 1);
    EXPECT_EQ(d1_erase_bv_sb(dev(k89V51RD2)), 1);
    EXPECT_TRUE(part->records().empty());
}

TEST_F(DialectCommands, StatusByteAlreadyHeldIsNotProgrammed)
{
    open(k89C51RB2Hxx);
    EXPECT_EQ(d1_program_status_byte(dev(k89C51RB2Hxx), 0x00), 1); // the part reads 00
    EXPECT_TRUE(logged("Status byte already has the desired value. Skipping programming..."));
    EXPECT_EQ(recordsLike(":03000003060000F4"), 0u);
    EXPECT_EQ(d1_program_status_byte(dev(k89C51RB2Hxx), 0xFF), 1);
    EXPECT_EQ(recordsLike(":030000030600FFF5"), 1u);
}

TEST_F(DialectCommands, RepeatedEraseOfBootVectorAndStatusByte)
{
    open(k89C51RB2Hxx);
    part->addFault({":020000030400", ClassicFaultKind::Status, 'S', 5});
    EXPECT_EQ(d1_erase_bv_sb(dev(k89C51RB2Hxx)), 1) << "the last of six decides";
    EXPECT_EQ(recordsLike(":020000030400F7"), 6u);
}

TEST_F(DialectCommands, ErasesRunUnderTheLongTimeOuts)
{
    open(k89C51RB2Hxx);
    ASSERT_EQ(d1_erase_block(dev(k89C51RB2Hxx), 1), 1);
    const std::string log = logText();
    const auto lng = log.find("timeouts set to long");
    ASSERT_NE(lng, std::string::npos);
    EXPECT_LT(lng, log.find("tx> :020000030120DA"));
    EXPECT_LT(log.find("tx> :020000030120DA"), log.find("timeouts set to short", lng));
    EXPECT_EQ(d1_erase_block(dev(k89C51RB2Hxx), 32), -18);
}

TEST_F(DialectCommands, ErasingBlockZeroFirstSetsTheStatusByte)
{
    open(k89C51RB2Hxx);
    ASSERT_EQ(d1_erase_block(dev(k89C51RB2Hxx), 0), 1);
    const auto r = part->records();
    ASSERT_GE(r.size(), 2u);
    EXPECT_EQ(r[r.size() - 2], ":030000030600FFF5");
    EXPECT_EQ(r.back(), ":020000030100FA");
}

TEST_F(DialectCommands, DialectTwoSecurityBitTakesOnlyTheDot)
{
    open(k89LPC932, classictest::dialect2Persona());
    EXPECT_EQ(d2_program_security_bit(dev(k89LPC932), 0), 1);
    part->addFault({":02000002", ClassicFaultKind::Status, 'S', 1});
    EXPECT_EQ(d2_program_security_bit(dev(k89LPC932), 0), -18);
    EXPECT_EQ(d2_erase_sector(dev(k89LPC932), 40), -18);
    EXPECT_EQ(d2_erase_all(dev(k89LPC932)), 1);
    EXPECT_EQ(recordsLike(":00000008F8"), 1u);
}

TEST_F(DialectCommands, DialectTwoEndOfFileIsAnsweredLikeTheVersion)
{
    open(k89LPC932, classictest::dialect2Persona());
    EXPECT_EQ(d2_send_record(":00000001FF"), 1);
}

} // namespace
