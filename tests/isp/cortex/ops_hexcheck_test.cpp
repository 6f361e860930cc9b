// HEX input is checked whole before the part is touched: a damaged or
// unusable file fails program, erase by file and verify with the line or
// address that shows why, and the flash keeps what it held.
#include "tests/isp/cortex/opssimfixture.h"

#include "isp/core/debuglog.h"

#include <array>
#include <cctype>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace opstest;

namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

std::string joined(const std::vector<std::string>& ls)
{
    std::string out;
    for (const std::string& l : ls)
        out += l + "\n";
    return out;
}

// 16 KiB of firmware: line 1 is the address record, then one data record a line.
std::string firmwareHex()
{
    return hexText(firmwareImage(0x8000, 0x4000, 3));
}

std::string withLine(int number, const std::function<void(std::string&)>& change)
{
    std::vector<std::string> ls = lines(firmwareHex());
    change(ls.at(number - 1));
    return joined(ls);
}

std::string decodedLog(const std::string& path)
{
    std::array<unsigned char, 256> inverse{};
    for (int b = 0; b < 256; ++b)
        inverse[qz::log_substitute(static_cast<unsigned char>(b))] = static_cast<unsigned char>(b);
    std::string text = readFile(path);
    for (char& c : text)
        c = static_cast<char>(inverse[static_cast<unsigned char>(c)]);
    return text;
}

struct BadFile {
    const char* name;
    std::string text;
    int status;
    const char* detail;
};

std::vector<BadFile> badFiles()
{
    std::vector<std::uint8_t> tooBig(0x8000 + 256, 0x5A);
    std::vector<std::uint8_t> straddling(32, 0xA5);
    const std::string whole = firmwareHex();
    // Cut inside a record: the last line is shorter than its count says.
    const std::string truncated = whole.substr(0, whole.size() / 2 + 5);
    static std::string truncatedDetail;
    truncatedDetail = "(line " + std::to_string(lines(truncated).size()) + ": length)";
    return {
        {"letter G among the digits", withLine(101, [](std::string& l) { l[12] = 'G'; }), -15,
         "(line 101: not a record)"},
        {"flipped digit", withLine(201, [](std::string& l) { l[12] = l[12] == '0' ? '1' : '0'; }), -11,
         "(line 201: checksum)"},
        {"garbage", "This is not a HEX file.\n", -15, "(line 1: not a record)"},
        {"truncated", truncated, -15, truncatedDetail.c_str()},
        {"no data record", ":00000001FF\n", -15, "(no data record)"},
        {"32 KiB and 256 bytes", hexText(tooBig), -15, "(address 0x00008000 outside the part)"},
        {"record across the end of flash", hexText(straddling, 0x7FF0), -15,
         "(address 0x00008000 outside the part)"},
    };
}

std::string expectedText(const BadFile& b)
{
    const char* table = b.status == -11 ? "Checksum error in Hex file." : "Unable to open Hex file.";
    return std::string(table) + " Reselect the Hex file. " + b.detail;
}

TEST_F(OpsTest, DamagedHexFileFailsBeforeThePartIsTouched)
{
    const std::vector<std::uint8_t> flash = withVectorChecksum(firmwareImage(0x8000, 0x8000, 9));
    sim.setFlash(flash);
    connectOrFail();
    for (const BadFile& b : badFiles()) {
        const std::string path = file(std::string("bad") + std::to_string(files.size()) + ".hex");
        writeFile(path, b.text);
        const IspResult* r = qz_erase(-2, 0, 0, nullptr, 0, path.c_str());
        EXPECT_EQ(r->status, b.status) << "erase, " << b.name;
        EXPECT_EQ(std::string(r->text), expectedText(b)) << "erase, " << b.name;
        r = qz_program(path.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0);
        EXPECT_EQ(r->status, b.status) << "program, " << b.name;
        EXPECT_EQ(std::string(r->text), expectedText(b)) << "program, " << b.name;
        r = qz_verify(path.c_str(), 0, nullptr, 0);
        EXPECT_EQ(r->status, b.status) << "verify, " << b.name;
        EXPECT_EQ(std::string(r->text), expectedText(b)) << "verify, " << b.name;
        EXPECT_EQ(sim.flash(), flash) << b.name;
    }
}

// The production tasks' sources are checked the same way, with their own texts.
TEST_F(OpsTest, DamagedTaskSourcesFailBeforeThePartIsTouched)
{
    const std::vector<std::uint8_t> flash = withVectorChecksum(firmwareImage(0x8000, 0x8000, 9));
    sim.setFlash(flash);
    connectOrFail();
    const std::string badHex = file("task.hex");
    writeFile(badHex, withLine(5, [](std::string& l) { l[12] = l[12] == '0' ? '1' : '0'; }));
    const std::string bigBinary = file("task.bin");
    writeFile(bigBinary, std::string(0x200, '\x42'));
    const std::string output = file("output.hex");
    writeFile(output, ":0400100001020304E2\n:04001400010203\n");

    struct TaskCase {
        ProductionTask task;
        int status;
        const char* text;
    } cases[3];
    std::memset(cases, 0, sizeof cases);
    cases[0].task.type = QZ_TASK_HEX_FILE;
    std::snprintf(cases[0].task.path, sizeof cases[0].task.path, "%s", badHex.c_str());
    cases[0] = {cases[0].task, -11, "Checksum error in Hex file. Check the production task hex file. (line 5: checksum)"};
    cases[1].task.type = QZ_TASK_BINARY_FILE;
    cases[1].task.address = 0x7F00;
    std::snprintf(cases[1].task.path, sizeof cases[1].task.path, "%s", bigBinary.c_str());
    cases[1] = {cases[1].task, -15,
                "Unable to open Hex file. Check the production task binary file. (address 0x00008000 outside the part)"};
    cases[2].task.type = QZ_TASK_HEX_GENERATOR;
    std::snprintf(cases[2].task.path, sizeof cases[2].task.path, "cat %s", output.c_str());
    cases[2] = {cases[2].task, -15,
                "Unable to open Hex file. Check the hex generator production task's output. (line 2: length)"};
    for (const TaskCase& c : cases) {
        const IspResult* r = qz_program2("", 0, 0, 0, 0, 1, &c.task, 0, 0, nullptr, 0);
        EXPECT_EQ(r->status, c.status) << c.text;
        EXPECT_STREQ(r->text, c.text);
    }

    ProductionTask direct;
    std::memset(&direct, 0, sizeof direct);
    direct.type = QZ_TASK_DIRECT_DATA;
    direct.address = 0x7FFE;
    direct.count = 4;
    const IspResult* r = qz_program2("", 0, 0, 0, 0, 1, &direct, 0, 0, nullptr, 0);
    EXPECT_EQ(r->status, -10);
    EXPECT_STREQ(r->text, "Error programing the Hex file. Check the direct entry production task. (address "
                          "0x00008000 outside the part)");
    EXPECT_EQ(sim.flash(), flash);
}

// Lower-case digits, CR LF line ends and records after the end record are
// all taken.
TEST_F(OpsTest, HarmlessHexVariantsProgram)
{
    std::vector<std::uint8_t> image = firmwareImage(0x8000, 0x400, 4);
    std::vector<std::string> ls = lines(hexText(std::vector<std::uint8_t>(image.begin(), image.begin() + 0x200)));
    std::string text;
    for (std::string& l : ls) {
        for (char& c : l)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        text += l + "\r\n";
    }
    text += ":00000001FF\r\n";
    text += hexText(std::vector<std::uint8_t>(image.begin() + 0x200, image.begin() + 0x400), 0x200);
    const std::string path = file("harmless.hex");
    writeFile(path, text);
    connectOrFail();
    ASSERT_EQ(qz_erase(-2, 0, 0, nullptr, 0, path.c_str())->status, 1);
    const IspResult* r = qz_program(path.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(qz_verify(path.c_str(), 0, nullptr, 0)->status, 1);
    std::vector<std::uint8_t> expected(image.begin(), image.begin() + 0x400);
    expected = withVectorChecksum(expected);
    EXPECT_EQ(sim.readMemory(0, 0x400), expected);
}

class TwoBankTest : public OpsTest {
protected:
    TwoBankTest() : OpsTest(sim::lpc::lpc4357()) {}
};

// A two-bank part is programmed bank by bank from one file: the other bank's
// records are left for its run, and logged.
TEST_F(TwoBankTest, OtherBankIsLeftForItsOwnRun)
{
    const std::vector<std::uint8_t> first = firmwareImage(0x400, 0x400, 5);
    const std::vector<std::uint8_t> second = firmwareImage(0x400, 0x400, 6);
    const std::string path = file("two-banks.hex");
    writeFile(path, hexText(first, 0x1A000000) + hexText(second, 0x1B000000));
    const std::string log = file("two-banks.qzd");
    ASSERT_EQ(qz_select_debug_mode(1, log.c_str())->status, 1);
    ConnectOptions o = vantrelOptions(sim.slavePath());
    o.device_id = 19003;
    ASSERT_EQ(connect(o)->status, 1);
    ASSERT_EQ(qz_erase(-2, 0, 0, nullptr, 0, path.c_str())->status, 1);
    const IspResult* r = qz_program(path.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(qz_verify(path.c_str(), 0, nullptr, 0)->status, 1);
    EXPECT_EQ(sim.readMemory(0x1A000100, 0x300), std::vector<std::uint8_t>(first.begin() + 0x100, first.end()));
    EXPECT_EQ(sim.readMemory(0x1B000000, 0x400), std::vector<std::uint8_t>(0x400, 0xFF));
    qz_select_debug_mode(0, log.c_str());
    EXPECT_NE(decodedLog(log).find("lies in flash bank 1: left for that bank's run"), std::string::npos);
}

} // namespace
