// The classic programming run against a simulated part: what reaches the
// flash, which records go out, and how refusals and bad files end the run.
#include "isp/classic/transmission.h"
#include "tests/isp/classic/enginefixture.h"

#include <algorithm>
#include <cstring>
#include <sys/ioctl.h>

namespace {

using namespace classictest;

class ClassicProgram : public EngineFixture {
protected:
    std::size_t count(const std::string& prefix) const
    {
        const auto r = sent();
        return static_cast<std::size_t>(
            std::count_if(r.begin(), r.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; }));
    }
};

std::vector<std::uint8_t> bytes(std::size_t n, std::uint8_t first)
{
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(first + i);
    return v;
}

const char kEof[] = ":00000001FF\n";

TEST_F(ClassicProgram, WritesTheDataWithChecksumAdjustersOnlyInBlocksThatHoldData)
{
    open(k89C51RB2Hxx);
    const IspResult* r = program(hexLine(0x0000, bytes(16, 1)) + hexLine(0x1005, {0x42}) + kEof, 1);
    ASSERT_EQ(r->status, 1) << r->text;
    const sim::ClassicFlash f = part->flash();
    EXPECT_EQ(f.at(0x0000), 1);
    EXPECT_EQ(f.at(0x000F), 16);
    EXPECT_EQ(f.at(0x1005), 0x42);
    // The sum of the block's other bytes, the blank ones included.
    unsigned sum = 0;
    for (unsigned a = 0; a < 0x1FFF; ++a)
        sum += f.at(a);
    EXPECT_EQ(f.at(0x1FFF), static_cast<std::uint8_t>(0xAB - sum));
    EXPECT_TRUE(f.blank(0x3FFF)) << "block 1 holds no data";
    // Records at 0x0000, 0x1000 and 0x1FF0, then the end of file and the
    // boot vector step (the simulated part starts with status 0 and 0xFC).
    EXPECT_EQ(count(":10"), 3u);
    EXPECT_EQ(sent().back(), ":020000050701F1") << "the last step reads the status byte";
    EXPECT_EQ(count(":00000001FF"), 1u);
}

TEST_F(ClassicProgram, BootVectorStepPutsTheVectorBackUnlessTheFinalFlagSaysSo)
{
    sim::ClassicPersona p = personaFor(k89C51RB2Hxx);
    p.settings.bootVector = 0x00;
    p.settings.statusByte = 0xFF;
    open(k89C51RB2Hxx, p);
    ASSERT_EQ(program(hexLine(0x0100, {1, 2}) + kEof, 0, 0, 1)->status, 1);
    EXPECT_EQ(part->settings().bootVector, 0x00);
    ASSERT_EQ(program(hexLine(0x0100, {1, 2}) + kEof)->status, 1);
    EXPECT_EQ(part->settings().bootVector, 0xFC);
    EXPECT_EQ(part->settings().statusByte, 0x00);
}

TEST_F(ClassicProgram, AllBlankImageSendsNothing)
{
    open(k89V51RD2);
    const IspResult* r = program(hexLine(0x0000, std::vector<std::uint8_t>(16, 0xFF)) + kEof, 0);
    EXPECT_EQ(r->status, 1) << r->text;
    EXPECT_TRUE(sent().empty());
}

TEST_F(ClassicProgram, ProgressCountsBlankRecordPositions)
{
    open(k89V51RD2);
    static std::vector<int> seen;
    seen.clear();
    auto cb = [](int event, int value, int, int) {
        if (event == QZ_EVENT_BLOCK_PROGRAMMED)
            seen.push_back(value);
        return 1;
    };
    // Record positions 1 and 10 hold data, 2 to 9 are blank.
    ASSERT_EQ(program(hexLine(0x0000, {1}) + hexLine(0x0090, {2}) + kEof, 0, 0, 1, cb)->status, 1);
    EXPECT_EQ(seen, std::vector<int>{0x90});
    // A 0 return cancels the run before the end of file.
    auto stop = [](int, int, int, int) { return 0; };
    EXPECT_EQ(program(hexLine(0x0000, {1}) + hexLine(0x0090, {2}) + kEof, 0, 0, 1, stop)->status, -20);
}

TEST_F(ClassicProgram, RefusedRecordStopsTheRunAtItsAddress)
{
    struct Case {
        char status;
        int code;
        const char* detail;
    };
    const Case cases[] = {
        {'R', -14, "Address : 0x0020"},
        {'S', -18, "(programming hex record - security violation in device)"},
        {'P', -18, "(programming hex record - please unlock the device by supplying a password)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        open(k89V51RD2);
        part->addFault({":10002000", sim::ClassicFaultKind::Status, c.status, 6});
        const IspResult* r = program(hexLine(0x0000, bytes(16, 1)) + hexLine(0x0020, bytes(16, 1)) +
                                     hexLine(0x0040, bytes(16, 1)) + kEof);
        EXPECT_EQ(r->status, c.code);
        EXPECT_NE(std::string(r->text).find(c.detail), std::string::npos) << r->text;
        EXPECT_EQ(count(":10004000"), 0u) << "nothing after the refused record";
        EXPECT_EQ(count(":00000001FF"), 0u);
        part->stop();
        qz::close_port();
    }
}

TEST_F(ClassicProgram, BadFilesFailBeforeThePartIsTouched)
{
    const std::string good = hexLine(0x0000, {1, 2, 3});
    const std::string cases[] = {
        good + ":0300100001020399\n" + kEof, // wrong checksum
        good + ":03001000010203\n" + kEof,   // short record
        std::string(kEof),                   // no data
        good + hexLine(0xFFF8, bytes(16, 0)) + kEof, // past the 64 KB part
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        open(k89V51RD2);
        const IspResult* r = program(text);
        EXPECT_LT(r->status, 0);
        EXPECT_TRUE(sent().empty());
        part->stop();
        qz::close_port();
    }
}

TEST_F(ClassicProgram, UpperAddressRecordsAboveSixtyFourKilobytes)
{
    open(k89C669);
    // 04 takes its second byte with bit 7 cleared: 0x0081 is page 1.
    const std::string text = hexLine(0, {0x00, 0x81}, 4) + hexLine(0x0010, {0x77}) + kEof;
    const IspResult* r = program(text, 0, 0, 1);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(part->flash().at(0x10010), 0x77);
}

TEST_F(ClassicProgram, PseudoAddressesAreLiftedOnlyFromTheAddressesARecordHolds)
{
    open(k89LPC922);
    // Sector security of block 0 at 0xFFF8; no configuration byte in the
    // record, so none may be taken from 0xFFD8 either.
    const IspResult* r = program(hexLine(0x0000, {0x12}) + hexLine(0xFFF8, {0x02}) + kEof, 0, 0, 1);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(part->settings().sectorSecurity.at(0), 0x02);
    EXPECT_EQ(count(":0200000200"), 0u) << "no configuration written";
    EXPECT_EQ(part->flash().at(0), 0x12);

    // The configuration byte at 0xFFF0.
    r = program(hexLine(0xFFF0, {0x5A, 0x33}) + kEof, 0, 0, 1);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(part->settings().config[0], 0x5A);
    EXPECT_EQ(part->settings().config[1], 0x00) << "the part has one configuration byte";
}

TEST_F(ClassicProgram, DialectTwoRecordsOfSixtyFourBytes)
{
    open(k89LPC922);
    std::string text;
    for (unsigned a = 0; a < 0x100; a += 16)
        text += hexLine(a, bytes(16, static_cast<std::uint8_t>(a)));
    ASSERT_EQ(program(text + kEof, 0, 0, 1)->status, 1);
    EXPECT_EQ(count(":40"), 4u);
    EXPECT_EQ(part->flash().at(0xFF), 0xFF);
    EXPECT_EQ(part->flash().at(0x42), 0x42);
}

TEST_F(ClassicProgram, GuardKeepsTheRunBelowTheBootLoader)
{
    open(k89LPC922);
    const std::string text = hexLine(0x1DF0, {1}) + hexLine(0x1E00, {2}) + kEof;
    ASSERT_EQ(program(text, 0, 1, 1)->status, 1);
    EXPECT_EQ(part->flash().at(0x1DF0), 1);
    EXPECT_TRUE(part->flash().blank(0x1E00));
    EXPECT_EQ(part->flash().guardHits(), 0);
}

TEST_F(ClassicProgram, ProductionTasksAndAGeneratorWithoutAFinalLineEnd)
{
    open(k89V51RD2);
    // The generator's output ends right after its last record.
    const std::string generated = hexFile(":02003000C1C24B\n:00000001FF");
    ProductionTask tasks[2];
    std::memset(tasks, 0, sizeof tasks);
    tasks[0].type = QZ_TASK_DIRECT_DATA;
    tasks[0].address = 0x7F00;
    tasks[0].count = 2;
    tasks[0].data[0] = 0xA1, tasks[0].data[1] = 0xA2;
    tasks[1].type = QZ_TASK_HEX_GENERATOR;
    std::snprintf(tasks[1].path, sizeof tasks[1].path, "cat %s", generated.c_str());
    const IspResult* r = qz_program2("", 0, 0, 0, 0, 2, tasks, 1, 0, nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(part->flash().at(0x7F01), 0xA2);
    EXPECT_EQ(part->flash().at(0x31), 0xC2);
}

TEST_F(ClassicProgram, EndOfFileRefusalIsReported)
{
    open(k89V51RD2);
    part->addFault({":00000001FF", sim::ClassicFaultKind::Status, 'X', 6});
    const IspResult* r = program(hexLine(0, {1}) + kEof, 0, 0, 1);
    EXPECT_EQ(r->status, -18);
    EXPECT_NE(std::string(r->text).find("(EOF checksum)"), std::string::npos) << r->text;
}

TEST_F(ClassicProgram, LiftedAdditionalSecurityIsWrittenAndItsFailureReturned)
{
    constexpr int k89V52X2 = 69;
    open(k89V52X2);
    const std::string text = hexLine(0x0000, {0x11}) + hexLine(0xFFF3, {0xA0}) + kEof;
    const IspResult* r = program(text, 0, 0, 1);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(part->settings().addlSecurity & 0xE0, 0xA0);

    part->addFault({":0200000203", sim::ClassicFaultKind::Status, 'S', 6});
    r = program(text, 0, 0, 1);
    EXPECT_EQ(r->status, -18);
    EXPECT_NE(std::string(r->text).find("(programming security bit - security violation in device)"),
              std::string::npos)
        << r->text;
}

TEST_F(ClassicProgram, LateReplyAnswersNoRetry)
{
    open(k89V51RD2);
    qz::session().shortTimeoutMs = 100;
    qz::use_short_timeouts();
    // The reply to the first try comes only after the driver gave up on it.
    part->addFault({":10002000", sim::ClassicFaultKind::Late, 0, 1});
    rec.onSleep = [this](unsigned ms) {
        if (ms != qz::kLateReplyMs || !part->releaseLate())
            return;
        int queued = 0;
        for (int i = 0; i < 500 && queued < 3; ++i) {
            ::ioctl(qz::get_port_handle(), FIONREAD, &queued);
            if (queued < 3)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    const IspResult* r = program(hexLine(0x0000, bytes(16, 1)) + hexLine(0x0020, bytes(16, 0x21)) +
                                 hexLine(0x0040, bytes(16, 0x41)) + kEof, 0, 0, 1);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(count(":10002000"), 2u);
    EXPECT_EQ(part->flash().at(0x002F), 0x30);
    EXPECT_EQ(part->flash().at(0x004F), 0x50);
}

TEST_F(ClassicProgram, UpperAddressRecordIsDoneOnlyOnItsSuccessCharacter)
{
    struct Case {
        int refusals;
        int status;
    };
    const Case cases[] = {{1, 1}, {6, -14}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusals);
        open(k89C669);
        part->addFault({":020000040001F9", sim::ClassicFaultKind::Status, 'Z', c.refusals});
        const IspResult* r = program(hexLine(0, {0x00, 0x01}, 4) + hexLine(0x0010, {0x77}) + kEof, 0, 0, 1);
        EXPECT_EQ(r->status, c.status) << r->text;
        EXPECT_TRUE(part->flash().blank(0x0010)) << "nothing in the bank the part is still in";
        if (c.status == 1) {
            EXPECT_EQ(part->flash().at(0x10010), 0x77);
        } else {
            EXPECT_NE(std::string(r->text).find("Address : 0x010010"), std::string::npos) << r->text;
        }
        part->stop();
        qz::close_port();
    }
}

TEST_F(ClassicProgram, GuardLeavesOnlyTheBytesInTheBootLoadersArea)
{
    open(k89LPC922);
    ASSERT_EQ(program(hexLine(0x1DF0, bytes(32, 1)) + kEof, 0, 1, 1)->status, 1);
    EXPECT_EQ(part->flash().at(0x1DF0), 1);
    EXPECT_EQ(part->flash().at(0x1DFF), 16);
    EXPECT_TRUE(part->flash().blank(0x1E00));
    EXPECT_EQ(part->flash().guardHits(), 0);
    EXPECT_TRUE(logged("Data from 0x1E00 to 0x1E0F lies in the boot loader's area: left out"));
}

TEST_F(ClassicProgram, DataOutsideThePartNamesItsOwnAddress)
{
    constexpr int k89V52X2 = 69;
    struct Case {
        int number;
        unsigned address;
        std::size_t count;
        const char* named;
    };
    const Case cases[] = {
        {k89LPC922, 0xFFC0, 16, "(address 0x0000FFC0 outside the part)"},
        {k89LPC922, 0x1FF0, 32, "(address 0x00002000 outside the part)"},
        // Below the pseudo-addresses, and in no memory of the part.
        {k89V52X2, 0xFFD0, 16, "(address 0x0000FFD0 outside the part)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.named);
        open(c.number);
        const IspResult* r = program(hexLine(0x0000, {1}) + hexLine(c.address, bytes(c.count, 1)) + kEof, 0, 0, 1);
        EXPECT_EQ(r->status, -15);
        EXPECT_NE(std::string(r->text).find(c.named), std::string::npos) << r->text;
        EXPECT_TRUE(sent().empty());
        part->stop();
        qz::close_port();
    }
}

} // namespace
