// Staying in step with the simulated boot ROM when a line of an answer comes
// late, in pieces, garbled or not at all: no call takes a line meant for an
// earlier command, the call after it works, a silent part costs one time-out
// a try, and the echo is on again after a failed "A 0".
#include "tests/isp/cortex/opssimfixture.h"

#include "isp/core/serialport.h"
#include "tests/isp/core/portfixture.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using namespace opstest;
using sim::LineAction;
using sim::LineFault;

namespace {

// The calls a fault strikes wait time-outs out, so theirs is short; the calls
// that must succeed get one that no answer outlasts on a loaded machine.
constexpr int kShortMs = 1000;
constexpr int kSureMs = 4000;
constexpr std::uint32_t kSector = 0x1000; // LPC11C24: 4 KiB sectors
constexpr int kPacedMs = 200;
constexpr int kLongGapMs = 1500;

LineFault lineFault(const std::string& command, int line, LineAction action = LineAction::Hold)
{
    LineFault f;
    f.command = command;
    f.line = line;
    f.action = action;
    return f;
}

// Every line of the answer from `line` on, its LF only `gapMs` after its CR.
LineFault lateLineFeeds(const std::string& command, int line, int gapMs)
{
    LineFault f = lineFault(command, line, LineAction::Split);
    f.everyLine = true;
    f.releaseAfterLines = 0;
    f.releaseAfterMs = gapMs;
    return f;
}

struct LateCase;

// Every line of the answer from `line` on goes only `gapMs` after the one
// before it has gone.
LineFault pacedLines(const std::string& command, int line, int gapMs)
{
    LineFault f = lineFault(command, line);
    f.everyLine = true;
    f.releaseAfterLines = 0;
    f.releaseAfterMs = gapMs;
    return f;
}

// The answer's line `line` goes only `gapMs` after the one before it.
LineFault lineAfter(const std::string& command, int line, int gapMs)
{
    LineFault f = lineFault(command, line);
    f.releaseAfterLines = 0;
    f.releaseAfterMs = gapMs;
    return f;
}

class InStepTest : public OpsTest {
public:
    using OpsTest::sim;

protected:
    explicit InStepTest(const sim::lpc::PartInfo& part = sim::lpc::lpc11c24()) : OpsTest(part) {}

    // Sectors 0 and 1 hold data, the others are blank.
    void begin(bool crp1 = false, int deviceId = 4022)
    {
        const std::size_t size = sim.part().banks[0].end + 1;
        image = withVectorChecksum(firmwareImage(size, std::min<std::size_t>(2 * kSector, size / 2), 3));
        if (crp1) {
            const std::uint8_t word[] = {0x78, 0x56, 0x34, 0x12};
            std::copy(word, word + 4, image.begin() + 0x2FC);
        }
        sim.stop();
        sim.setFaults({});
        sim.setFlash(image);
        sim.enterIsp();
        ASSERT_TRUE(sim.start());
        qz::session().shortTimeoutMs = kSureMs;
        ConnectOptions o = vantrelOptions(sim.slavePath());
        o.device_id = deviceId;
        ASSERT_EQ(connect(o)->status, 1);
        useTimeout(kShortMs);
    }

public:
    static void useTimeout(int ms)
    {
        qz::session().shortTimeoutMs = ms;
        qz::use_short_timeouts();
    }

    void strike(const LineFault& f)
    {
        sim::LpcFaults faults = sim.faults();
        faults.lineFaults.push_back(f);
        sim.setFaults(faults);
    }

    // 2 for a blank sector, else 3 and its first non-blank word, as the part holds them.
    std::pair<int, std::uint32_t> truth(std::uint32_t start)
    {
        const std::vector<std::uint8_t> f = sim.flash();
        for (std::uint32_t a = start; a < start + kSector; ++a)
            if (f[a] != 0xFF)
                return {3, a & ~3u};
        return {2, 0};
    }

    // The calls after a broken-off exchange answer what the part holds.
    void expectInStep(const std::string& what, bool readable = true)
    {
        useTimeout(kSureMs);
        expectCallsInStep(what, readable);
        useTimeout(kShortMs);
    }

    void expectCallsInStep(const std::string& what, bool readable)
    {
        for (std::uint32_t start : {kSector, 3 * kSector, kSector}) {
            const IspResult* r = qz_blank_check(start, start + kSector - 1);
            const auto t = truth(start);
            EXPECT_EQ(r->status, t.first) << what << ": blank check at 0x" << std::hex << start << " " << r->text;
            if (t.first == 3 && r->status == 3) {
                const std::uint32_t at = r->data[0] << 16 | r->data[1] << 8 | r->data[2];
                EXPECT_EQ(at, t.second) << what;
            }
        }
        const IspResult* r = qz_read_signature();
        EXPECT_EQ(r->status, 1) << what << ": " << r->text;
        EXPECT_EQ(std::string(r->text), std::to_string(sim.part().partId[0])) << what;
        if (!readable)
            return;
        std::vector<std::uint8_t> back(0x40);
        r = qz_read_data_to_buffer(kSector, kSector + 0x3F, back.data(), nullptr, 0);
        EXPECT_EQ(r->status, 1) << what << ": " << r->text;
        const std::vector<std::uint8_t> f = sim.flash();
        EXPECT_EQ(back, std::vector<std::uint8_t>(f.begin() + kSector, f.begin() + kSector + 0x40)) << what;
    }

    template <std::size_t N>
    void run(const LateCase (&cases)[N]);

    std::vector<std::uint8_t> image;
};

// ---- late echoes and replies ------------------------------------------------

// The first unlock's echo comes during the second try: the tries after it
// must not read the answers of the commands before them, so the erase that
// the protected part refuses is not reported as done.
TEST_F(InStepTest, ARefusedEraseIsNotReportedAsDone)
{
    begin(true);
    strike(lineFault("U", 0));
    const IspResult* r = qz_erase(0, 0x1, 0, nullptr, 0, "");
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (Failed to erase block 0 - security violation in device)");
    const std::vector<std::uint8_t> f = sim.flash();
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + kSector, f.begin())) << "sector 0 erased";
    expectInStep("after the refused erase", false);
}

// The echo of one blank check comes after the call gave up; the checks
// after it answer their own question.
TEST_F(InStepTest, ABlankCheckGivesItsOwnAnswer)
{
    begin();
    strike(lineFault("I 3 3", 0));
    EXPECT_EQ(qz_blank_check(3 * kSector, 4 * kSector - 1)->status, -2);
    expectInStep("after a late blank check echo");
}

struct LateCase {
    const char* name;
    LineFault fault;
    // The call the fault strikes: what it returns is true; it may fail
    // unless every line came within its time-out.
    std::function<int(InStepTest&)> call;
    bool mustSucceed = false;
};

template <std::size_t N>
void InStepTest::run(const LateCase (&cases)[N])
{
    for (const LateCase& c : cases) {
        begin();
        strike(c.fault);
        if (c.mustSucceed)
            useTimeout(kSureMs);
        const int status = c.call(*this);
        if (c.mustSucceed) {
            EXPECT_EQ(status, 1) << c.name;
        }
        expectInStep(c.name);
        qz_disconnect();
    }
}

int readBuffer(InStepTest& t)
{
    std::vector<std::uint8_t> back(0x40);
    const IspResult* r = qz_read_data_to_buffer(kSector, kSector + 0x3F, back.data(), nullptr, 0);
    const std::vector<std::uint8_t> f = t.sim.flash();
    if (r->status == 1) {
        EXPECT_EQ(back, std::vector<std::uint8_t>(f.begin() + kSector, f.begin() + kSector + 0x40));
    }
    return r->status;
}

int readSignature(InStepTest& t)
{
    const IspResult* r = qz_read_signature();
    if (r->status == 1) {
        EXPECT_EQ(std::string(r->text), std::to_string(t.sim.part().partId[0]));
    }
    return r->status;
}

int blankCheckSector1(InStepTest& t)
{
    const IspResult* r = qz_blank_check(kSector, 2 * kSector - 1);
    if (r->status == 2 || r->status == 3) {
        const auto truth = t.truth(kSector);
        EXPECT_EQ(r->status, truth.first);
        if (r->status == 3) {
            EXPECT_EQ(std::uint32_t(r->data[0] << 16 | r->data[1] << 8 | r->data[2]), truth.second);
        }
        return 1;
    }
    return r->status;
}

int serialNumber(InStepTest& t)
{
    const IspResult* r = qz_serial_number();
    if (r->status == 1) {
        const auto& w = t.sim.part().serial;
        EXPECT_EQ(std::string(r->text), std::to_string(w[0]) + " " + std::to_string(w[1]) + " " +
                                            std::to_string(w[2]) + " " + std::to_string(w[3]));
    }
    return r->status;
}

int bootCodeVersion(InStepTest& t)
{
    const IspResult* r = qz_bootloader_version();
    if (r->status == 1) {
        EXPECT_EQ(std::string(r->text),
                  std::to_string(t.sim.part().bootMajor) + "." + std::to_string(t.sim.part().bootMinor));
    }
    return r->status;
}

// One line of an answer late (after its call gave up), or each line's LF of
// a read later than the line-feed wait: the session is in step for the next
// calls.
// A read of 64 bytes answers "0", two UU lines and the checksum line.
TEST_F(InStepTest, TheCallsAfterALateLineAreInStep)
{
    const LateCase cases[] = {
        {"R reply code", lineFault("R", 1), readBuffer},
        {"R data lines", lineFault("R", 2), readBuffer},
        {"R checksum line", lineFault("R", 4), readBuffer},
        {"R echo", lineFault("R", 0), readBuffer},
        {"J reply code", lineFault("J", 1), readSignature},
        {"J id line", lineFault("J", 2), readSignature},
        {"J echo", lineFault("J", 0), readSignature},
        {"I offset line", lineFault("I 1 1", 2), blankCheckSector1},
        {"K version line", lineFault("K", 3), bootCodeVersion},
        {"late LFs of R", lateLineFeeds("R", 1, 150), readBuffer, true},
    };
    run(cases);
}

// The lines of one multi-line answer come apart: within the time-out the call
// succeeds, beyond it the call may fail; either way the next calls are in step.
TEST_F(InStepTest, TheLinesOfOneAnswerMayComeApart)
{
    const LateCase cases[] = {
        // The lines of one answer well within the time-out of each other.
        {"paced J", pacedLines("J", 1, kPacedMs), readSignature, true},
        {"paced K", pacedLines("K", 1, kPacedMs), bootCodeVersion, true},
        {"paced N", pacedLines("N", 1, kPacedMs), serialNumber, true},
        {"paced I", pacedLines("I 1 1", 1, kPacedMs), blankCheckSector1, true},
        {"paced R", pacedLines("R", 1, kPacedMs), readBuffer, true},
        {"paced R from its echo", pacedLines("R", 0, kPacedMs), readBuffer, true},
        // ... and one gap longer than the time-out.
        {"J id line after a long gap", lineAfter("J", 2, kLongGapMs), readSignature},
        {"K major line after a long gap", lineAfter("K", 3, kLongGapMs), bootCodeVersion},
        {"N last word after a long gap", lineAfter("N", 5, kLongGapMs), serialNumber},
        {"I content line after a long gap", lineAfter("I 1 1", 3, kLongGapMs), blankCheckSector1},
        {"R second UU line after a long gap", lineAfter("R", 3, kLongGapMs), readBuffer},
        {"R checksum line after a long gap", lineAfter("R", 4, kLongGapMs), readBuffer},
    };
    run(cases);
}

// Noise in front of a data line of J, K or N: no call returns that line as
// its value, and the calls after it are in step.
TEST_F(InStepTest, AGarbledDataLineIsNoValue)
{
    const LateCase cases[] = {
        {"garbled J id line", lineFault("J", 2, LineAction::Garble), readSignature, true},
        {"garbled K minor line", lineFault("K", 2, LineAction::Garble), bootCodeVersion},
        {"garbled N second word", lineFault("N", 3, LineAction::Garble), serialNumber},
    };
    run(cases);
}

// A late erase echo, or an erase reply that comes only during the third
// try: the erase still ends well, and the calls after it are not behind.
TEST_F(InStepTest, ALateEraseEchoOrReplyLeavesNothingBehind)
{
    struct Case {
        const char* what;
        int line;
        int releaseAfterLines;
    };
    const Case cases[] = {
        {"after a late erase echo", 0, 1},
        {"after a very late erase reply", 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        begin();
        LineFault f = lineFault("E", c.line);
        f.releaseAfterLines = c.releaseAfterLines;
        strike(f);
        const IspResult* r = qz_erase(0, 0x2, 0, nullptr, 0, "");
        EXPECT_EQ(r->status, 1) << r->text;
        EXPECT_EQ(truth(kSector).first, 2);
        expectInStep(c.what);
        qz_disconnect();
    }
}

// A program run whose copy echo comes late fails; the next run writes the file.
TEST_F(InStepTest, ProgrammingAgainAfterALateCopyEcho)
{
    begin();
    std::vector<std::uint8_t> data(4 * kSector, 0xFF);
    for (std::size_t i = 0; i < 0x400; ++i)
        data[3 * kSector + i] = static_cast<std::uint8_t>(i * 7 + 1);
    const std::string hex = hexFile(data);
    strike(lineFault("C", 0));
    EXPECT_NE(qz_program(hex.c_str(), 0, 0, 0, 1, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, 1);
    useTimeout(kSureMs);
    const IspResult* r = qz_program(hex.c_str(), 0, 0, 0, 1, nullptr, nullptr, 0, 0, 0, nullptr, 0);
    EXPECT_EQ(r->status, 1) << r->text;
    const std::vector<std::uint8_t> f = sim.flash();
    EXPECT_TRUE(std::equal(data.begin() + 3 * kSector, data.begin() + 3 * kSector + 0x400, f.begin() + 3 * kSector));
    expectInStep("after programming again");
}

// A reply held until the test lets it go: every try of the call fails, and
// once the part answers again the session works without a reconnect.
TEST_F(InStepTest, APartThatAnswersAgainWorksAgain)
{
    begin();
    LineFault f = lineFault("R", 1);
    f.releaseAfterLines = 0;
    strike(f);
    std::vector<std::uint8_t> back(0x40);
    EXPECT_NE(qz_read_data_to_buffer(kSector, kSector + 0x3F, back.data(), nullptr, 0)->status, 1);
    EXPECT_NE(qz_read_signature()->status, 1);
    sim.releaseHeld();
    expectInStep("after the part answered again");
}

// ---- one time-out a try -------------------------------------------------------

// A part that echoes the erase but never answers it: each try waits one
// time-out, and the next call owes none.
TEST_F(InStepTest, ASilentReplyCostsOneTimeOutATry)
{
    begin();
    porttest::DebugLogFile log;
    ASSERT_TRUE(log.open("qzinsteptest"));
    const auto timeOuts = [&log] {
        const std::string text = log.text();
        int n = 0;
        for (std::size_t at = text.find("ReadFile - not enough"); at != std::string::npos;
             at = text.find("ReadFile - not enough", at + 1))
            ++n;
        return n;
    };
    for (int i = 0; i < 6; ++i)
        strike(lineFault("E", 1, LineAction::Drop));
    EXPECT_EQ(qz_erase(0, 0x2, 0, nullptr, 0, "")->status, -18);
    EXPECT_EQ(timeOuts(), 6);
    useTimeout(kSureMs);
    EXPECT_EQ(qz_blank_check(3 * kSector, 4 * kSector - 1)->status, 2);
    EXPECT_EQ(timeOuts(), 6) << "the next call waited for the erase's reply";
    qz::session().debugLog = 0;
    log.remove();
}

// ---- echo state ---------------------------------------------------------------

class BinaryTransferTest : public InStepTest {
protected:
    BinaryTransferTest() : InStepTest(sim::lpc::lpc810()) {}
};

// Noise in front of the "0" to "A 0": the run fails, the part's echo is on
// again, and the calls after it read their own answers.
TEST_F(BinaryTransferTest, AFailedEchoOffIsUndone)
{
    begin(false, 20000);
    std::vector<std::uint8_t> data(0x1000, 0xFF);
    for (std::size_t i = 0; i < 0x100; ++i)
        data[0xC00 + i] = static_cast<std::uint8_t>(i + 3);
    const std::string hex = hexFile(data);
    strike(lineFault("A 0", 1, LineAction::Garble));
    EXPECT_EQ(qz_program(hex.c_str(), 0, 0, 0, 1, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, -18);
    EXPECT_TRUE(sim.echo());
    useTimeout(kSureMs);
    const IspResult* r = qz_blank_check(0x400, 0x7FF);
    EXPECT_EQ(r->status, 3) << r->text;
    r = qz_program(hex.c_str(), 0, 0, 0, 1, nullptr, nullptr, 0, 0, 0, nullptr, 0);
    EXPECT_EQ(r->status, 1) << r->text;
    const std::vector<std::uint8_t> f = sim.flash();
    EXPECT_TRUE(std::equal(data.begin() + 0xC00, data.begin() + 0xD00, f.begin() + 0xC00));
}

// The reply to a write sent with the echo off comes after the try gave up, or
// with noise in front: the part then waits for the data, and must not
// swallow the commands after it.
TEST_F(BinaryTransferTest, AWriteWhoseReplyWasMissedLeavesNoDataOwed)
{
    std::vector<std::uint8_t> data(0x1000, 0xFF);
    for (std::size_t i = 0; i < 0x100; ++i)
        data[0xC00 + i] = static_cast<std::uint8_t>(i + 5);
    const std::string hex = hexFile(data);
    const std::pair<const char*, LineFault> cases[] = {
        {"late W reply", lineAfter("W", 1, kLongGapMs)},
        {"garbled W reply", lineFault("W", 1, LineAction::Garble)},
    };
    const auto written = [&] {
        const std::vector<std::uint8_t> f = sim.flash();
        return std::equal(data.begin() + 0xC00, data.begin() + 0xD00, f.begin() + 0xC00);
    };
    for (const auto& c : cases) {
        begin(false, 20000);
        strike(c.second);
        // This run may fail; the ones after it must not.
        if (qz_program(hex.c_str(), 0, 0, 0, 1, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status == 1) {
            EXPECT_TRUE(written()) << c.first;
        }
        useTimeout(kSureMs);
        EXPECT_EQ(qz_blank_check(0x400, 0x7FF)->status, 3) << c.first;
        const IspResult* r = qz_program(hex.c_str(), 0, 0, 0, 1, nullptr, nullptr, 0, 0, 0, nullptr, 0);
        EXPECT_EQ(r->status, 1) << c.first << ": " << r->text;
        EXPECT_TRUE(written()) << c.first;
        qz_disconnect();
    }
}

// The reply to a binary read comes after the try gave up, the raw data behind
// it: none of that data is taken for the answers of the calls after it.
TEST_F(BinaryTransferTest, ALateBinaryReadLeavesNothingBehind)
{
    begin(false, 20000);
    const auto readBack = [this](std::uint32_t at, std::uint32_t size) {
        std::vector<std::uint8_t> back(size);
        const IspResult* r = qz_read_data_to_buffer(at, at + size - 1, back.data(), nullptr, 0);
        if (r->status == 1) {
            const std::vector<std::uint8_t> f = sim.flash();
            EXPECT_EQ(back, std::vector<std::uint8_t>(f.begin() + at, f.begin() + at + size));
        }
        return r->status;
    };
    // More raw bytes than a line holds.
    strike(lineAfter("R", 1, kLongGapMs));
    readBack(0x400, 0x200);
    useTimeout(kSureMs);
    EXPECT_EQ(qz_blank_check(0x400, 0x7FF)->status, 3);
    EXPECT_EQ(qz_blank_check(0xC00, 0xFFF)->status, 2);
    EXPECT_EQ(qz_read_signature()->status, 1);
    EXPECT_EQ(readBack(0x440, 0x40), 1);
}

} // namespace
