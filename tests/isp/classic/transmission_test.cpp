// One command on the wire against the simulated part: echo in both duplex
// modes, each sender's status characters, value and CRC-form replies, the
// upper-address record, the page split and the 73-character split.
#include "isp/classic/command_templates.h"
#include "isp/classic/connect_commands.h"
#include "isp/classic/record_senders.h"
#include "isp/classic/transmission.h"
#include "isp/core/errorcodes.h"
#include "tests/isp/classic/classicfixture.h"
#include "tests/isp/classic/partnumbers.h"

#include <algorithm>
#include <vector>

using namespace qz;
using sim::ClassicFaultKind;

namespace {

using namespace classictest;

constexpr int kXaG49 = 11;

const ClassicDeviceRecord& dev(int number)
{
    return *classic_device_at(classic_device_index(number));
}

class Transmission : public classictest::ClassicFixture {
protected:
    void dialect1() { startPart(); connectPort(k89C51RB2Hxx); syncUp(); }
    void dialect2() { startPart(classictest::dialect2Persona()); connectPort(k89LPC922); syncUp(); }
    void syncUp()
    {
        const char u = 'U';
        char c = 0;
        ASSERT_EQ(port_write(&u, 1), 1);
        ASSERT_EQ(port_read(&c, 1, 0), 1);
    }
    int txLines() const
    {
        const std::string log = logText();
        int n = 0;
        for (std::size_t at = log.find("tx> "); at != std::string::npos; at = log.find("tx> ", at + 1))
            ++n;
        return n;
    }
};

TEST_F(Transmission, FullDuplexWritesOnceAndReadsEchoAndStatus)
{
    dialect1();
    const int before = txLines();
    EXPECT_EQ(send_command(d1_erase_bv_sb_command(dev(k89C51RB2Hxx))), 1);
    EXPECT_EQ(txLines() - before, 1);
    EXPECT_TRUE(logged("rx> :020000030400F7.\r\n") || logged("rx> :020000030400F7.\\0d\\0a"));
}

TEST_F(Transmission, HalfDuplexSendsCharacterByCharacter)
{
    dialect1();
    session().halfDuplex = 1;
    const int before = txLines();
    EXPECT_EQ(send_command(":020000030400F7"), 1);
    EXPECT_EQ(txLines() - before, 15);
}

TEST_F(Transmission, HalfDuplexShortReplyIsATransmitFailureNotAStatus)
{
    dialect1();
    session().halfDuplex = 1;
    part->addFault({":02000003", ClassicFaultKind::Short, 0, 1});
    EXPECT_EQ(send_command(":020000030400F7"), kErrCommunicate);
}

struct StatusCase {
    const char* sender;
    char status;
    int code;
};

// Each sender against each status character (and garbage).
const StatusCase kStatusCases[] = {
    {"command", 'S', -21}, {"command", 'N', -22}, {"command", 'P', -24}, {"command", 'R', -18},
    {"command", 'X', -18}, {"command", '#', -18},
    {"d1 record", '.', 1}, {"d1 record", 'R', -10}, {"d1 record", 'X', -11}, {"d1 record", 'S', -21},
    {"d1 record", 'N', -22}, {"d1 record", 'P', -24}, {"d1 record", '#', 1},
    {"d1 data", '.', 1}, {"d1 data", 'R', -14}, {"d1 data", 'X', -14}, {"d1 data", 'S', -21},
    {"d1 data", 'N', -22}, {"d1 data", 'P', -24},
    {"d2 record", 'X', -11}, {"d2 record", 'R', -10}, {"d2 record", 'S', -10}, {"d2 record", 'N', -10},
    {"d2 record", 'P', -24}, {"d2 record", '#', 1},
    {"d2 data", 'X', -11}, {"d2 data", 'R', -10}, {"d2 data", 'S', -10}, {"d2 data", 'N', -10},
    {"d2 data", 'P', -24},
};

class SenderStatus : public Transmission, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(SenderStatus, MapsTheCharacter)
{
    const StatusCase& c = GetParam();
    const std::string sender = c.sender;
    const bool two = sender.rfind("d2", 0) == 0;
    if (two)
        dialect2();
    else
        dialect1();
    const std::uint8_t data[4] = {1, 2, 3, 4};
    part->addFault({":", c.status == '#' ? ClassicFaultKind::Garbage : ClassicFaultKind::Status, c.status, 1});
    int got = 0;
    if (sender == "command")
        got = send_command(":020000030400F7");
    else if (sender == "d1 record")
        got = d1_send_record(":020000040001F9");
    else if (sender == "d1 data")
        got = d1_program_record(dev(k89C51RB2Hxx), 0x100, data, 4);
    else if (sender == "d2 record")
        got = d2_send_record(":020000040001F9");
    else
        got = d2_program_record(dev(k89LPC922), 0x100, data, 4);
    EXPECT_EQ(got, c.code) << c.sender << " '" << c.status << "'";
}

INSTANTIATE_TEST_SUITE_P(Senders, SenderStatus, ::testing::ValuesIn(kStatusCases));

TEST_F(Transmission, DialectTwoDataRetriesGarbageThenGivesUp)
{
    dialect2();
    const std::uint8_t data[4] = {1, 2, 3, 4};
    part->addFault({":04010000", ClassicFaultKind::Garbage, 0, 2});
    EXPECT_EQ(d2_program_record(dev(k89LPC922), 0x100, data, 4), 1);
    EXPECT_EQ(part->records().size(), 3u) << "sent again until the part said '.'";
    part->addFault({":04010000", ClassicFaultKind::Garbage, 0, kPieceTries});
    EXPECT_EQ(d2_program_record(dev(k89LPC922), 0x100, data, 4), kErrOperationFailed);
}

TEST_F(Transmission, DialectTwoEndOfFileTakesItsStatusFromTheSecondLine)
{
    dialect2();
    EXPECT_EQ(d2_send_record(":00000001FF"), 1);
}

TEST_F(Transmission, PartsAbove64KGetTheUpperAddressFirst)
{
    startPart();
    connectPort(k89C669);
    syncUp();
    const std::uint8_t data[2] = {0xAA, 0x55};
    ASSERT_EQ(d1_program_record(dev(k89C669), 0x10020, data, 2), 1);
    const std::vector<std::string> got = part->records();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], ":020000040001F9");
    EXPECT_EQ(got[1], ":02002000AA55DF");
    EXPECT_EQ(part->memory().at(0x10020), 0xAA);
    // "R" after the upper-address record is its refusal, -10.
    part->addFault({":02000004", ClassicFaultKind::Status, 'R', 1});
    EXPECT_EQ(d1_program_record(dev(k89C669), 0x10020, data, 2), kErrProgramHex);
}

TEST_F(Transmission, DialectTwoSplitsAtPageBoundaries)
{
    dialect2();
    std::vector<std::uint8_t> data(64);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i + 1);
    ASSERT_EQ(d2_program_record(dev(k89LPC922), 0x1FF0, data.data(), data.size()), 1);
    const std::vector<std::string> got = part->records();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].substr(0, 9), ":101FF000");
    EXPECT_EQ(got[1].substr(0, 9), ":30200000");
    EXPECT_EQ(part->memory().at(0x1FF0), 1);
    EXPECT_EQ(part->memory().at(0x202F), 64);
}

TEST_F(Transmission, LongDialectTwoRecordsGoOutIn73CharactersAndTheRest)
{
    dialect2();
    std::vector<std::uint8_t> data(64, 0x5A);
    rec.take();
    ASSERT_EQ(d2_program_record(dev(k89LPC922), 0x0000, data.data(), data.size()), 1);
    const porttest::Events events = rec.take();
    EXPECT_NE(std::find(events.begin(), events.end(), "sleep 1"), events.end());
    const std::string record = part->records().back();
    ASSERT_EQ(record.size(), 139u);
    EXPECT_TRUE(logged("tx> " + record.substr(0, 73) + "\n"));
    EXPECT_TRUE(logged("tx> " + record.substr(73) + "\n"));
    // 32 data bytes (75 characters) stay in one piece.
    rec.take();
    ASSERT_EQ(d2_program_record(dev(k89LPC922), 0x0100, data.data(), 32), 1);
    const porttest::Events small = rec.take();
    EXPECT_EQ(std::find(small.begin(), small.end(), "sleep 1"), small.end());
}

TEST_F(Transmission, ValueRepliesGiveTheByte)
{
    dialect1();
    std::uint8_t v = 0;
    ASSERT_EQ(send_value_command(d1_read_signature_command(dev(k89C51RB2Hxx), 1), v), 1);
    EXPECT_EQ(v, 0xC2);
    part->addFault({":", ClassicFaultKind::Status, 'S', 1});
    EXPECT_EQ(send_value_command(d1_read_signature_command(dev(k89C51RB2Hxx), 1), v), -21);
    part->addFault({":", ClassicFaultKind::Garbage, 0, 1});
    EXPECT_EQ(send_value_command(d1_read_signature_command(dev(k89C51RB2Hxx), 1), v), -18);
}

TEST_F(Transmission, CrcFormReplies)
{
    dialect2();
    const std::uint8_t data[4] = {1, 2, 3, 4};
    ASSERT_EQ(d2_program_record(dev(k89LPC922), 0x0C00, data, 4), 1);
    std::uint32_t v = 0;
    ASSERT_EQ(send_crc_command(d2_read_crc_command(dev(k89LPC922), 3), v), 1);
    EXPECT_EQ(v, 10u);
    part->addFault({":01000005", ClassicFaultKind::Status, 'S', 1});
    EXPECT_EQ(send_crc_command(d2_read_crc_command(dev(k89LPC922), 3), v), -21);
    part->addFault({":01000005", ClassicFaultKind::Bare, 'S', 1});
    EXPECT_EQ(send_crc_command(d2_read_crc_command(dev(k89LPC922), 3), v), -2);
    part->addFault({":01000005", ClassicFaultKind::Status, 'X', 1});
    EXPECT_EQ(send_crc_command(d2_read_crc_command(dev(k89LPC922), 3), v), -18);
    // Half duplex: each character up to the CR with its echo.
    session().halfDuplex = 1;
    ASSERT_EQ(send_crc_command(d2_read_crc_command(dev(k89LPC922), kWholeDeviceBlock), v), 1);
    EXPECT_EQ(v, 10u);
}

TEST_F(Transmission, CommandsSwitchedOffByTheirFlagSendNothing)
{
    startPart();
    connectPort(kXaG49);
    EXPECT_EQ(send_oscillator(dev(kXaG49), 12.0), 1);
    EXPECT_EQ(send_i2c_address(dev(k89C51RB2Hxx), 0x42), 1);
    EXPECT_TRUE(part->records().empty());
    EXPECT_EQ(part->bytesReceived(), 0u);
}

} // namespace
