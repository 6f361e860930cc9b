// qz_program and qz_program2 through the loader: the top-down chunk walk,
// blank chunks skipped, fill bytes, failures and production tasks.
#include "tests/isp/extflash/extflashfixture.h"

#include <vector>

namespace {

using sim::loader::LoaderCommand;

std::vector<int> g_programmed; // event 3 values
int g_cancelAfter = -1;

int cb(int event, int value, int, int)
{
    if (event == 3)
        g_programmed.push_back(value);
    return static_cast<int>(g_programmed.size()) == g_cancelAfter ? 0 : 1;
}

class ProgramTest : public exttest::ExtFlashTest {
protected:
    void SetUp() override
    {
        ExtFlashTest::SetUp();
        g_programmed.clear();
        g_cancelAfter = -1;
    }

    std::vector<std::uint8_t> pattern(std::size_t n, int seed = 0) const
    {
        std::vector<std::uint8_t> v(n);
        for (std::size_t i = 0; i < n; ++i)
            v[i] = static_cast<std::uint8_t>((i * 13 + seed) % 251);
        return v;
    }

    const IspResult* program(const std::string& hexFile, int useFill = 0, int fill = 0xFF)
    {
        return qz_program(hexFile.c_str(), 0, useFill, fill, 0, nullptr, nullptr, 0, 0, 0, cb, 0);
    }

    std::vector<LoaderCommand> programs() const
    {
        std::vector<LoaderCommand> out;
        for (const LoaderCommand& c : sim->commands())
            if (c.op == 0)
                out.push_back(c);
        return out;
    }
};

TEST_F(ProgramTest, AFullFlashIsWrittenFromTheTopChunkDown)
{
    desc.flashStart = 0;
    desc.flashEnd = 0xFFFF;
    connectLoader();
    const std::vector<std::uint8_t> data = pattern(0x10000, 1);
    const IspResult* r = program(writeText("data.hex", sim::loader::hexText(0, data)));
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(sim->flash(), data);
    ASSERT_EQ(g_programmed.size(), 256u);
    for (std::size_t i = 0; i < g_programmed.size(); ++i)
        EXPECT_EQ(g_programmed[i], 0xFF00 - static_cast<int>(i) * 256) << i;
    const std::vector<LoaderCommand> p = programs();
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(p.front().address, 0xFF00u);
    EXPECT_EQ(p.front().pieces, 1u);
    EXPECT_EQ(sim->conflicts(), 0u);
}

TEST_F(ProgramTest, BlankChunksAreSkippedAndABlankImageSendsNothing)
{
    connectLoader();
    std::vector<std::uint8_t> data(0x300, 0xFF);
    data[0x000] = 1; // chunk 0
    data[0x2FF] = 2; // chunk 2; chunk 1 stays blank
    ASSERT_EQ(program(writeText("data.hex", sim::loader::hexText(desc.flashStart, data)))->status, 1);
    const std::vector<LoaderCommand> p = programs();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].address, desc.flashStart + 0x200);
    EXPECT_EQ(p[1].address, desc.flashStart);

    sim->clearRecords();
    const std::string blank = writeText("blank.hex", sim::loader::hexText(desc.flashStart, std::vector<std::uint8_t>(64, 0xFF)));
    ASSERT_EQ(program(blank)->status, 1);
    EXPECT_TRUE(sim->commands().empty());
}

TEST_F(ProgramTest, AFillByteOtherThanTheErasedOneProgramsEveryChunk)
{
    connectLoader();
    ASSERT_EQ(program("", 1, 0x5A)->status, 1); // no file: the fill alone
    EXPECT_EQ(programs().size(), flashSize() / desc.chunkSize);
    const std::vector<std::uint8_t> f = sim->flash();
    EXPECT_TRUE(std::all_of(f.begin(), f.end(), [](std::uint8_t b) { return b == 0x5A; }));
}

TEST_F(ProgramTest, AMissedEraseShowsInTheFlash)
{
    connectLoader();
    const std::string a = writeText("a.hex", sim::loader::hexText(desc.flashStart, {0x0F}));
    const std::string b = writeText("b.hex", sim::loader::hexText(desc.flashStart, {0xF0}));
    ASSERT_EQ(program(a)->status, 1);
    ASSERT_EQ(program(b)->status, 1); // the loader does not check what it wrote
    EXPECT_EQ(sim->flash()[0], 0x00);
    ASSERT_EQ(qz_erase(0, 1, 0, nullptr, 0, nullptr)->status, 1);
    ASSERT_EQ(program(b)->status, 1);
    EXPECT_EQ(sim->flash()[0], 0xF0);
}

TEST_F(ProgramTest, ARefusedChunkEndsTheRun)
{
    connectLoader();
    sim->setFaults({1, 0, 0, false});
    const IspResult* r = program(writeText("data.hex", sim::loader::hexText(desc.flashStart, pattern(0x400))));
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (programming - failed to send data to the device)");
    EXPECT_TRUE(g_programmed.empty());
    EXPECT_EQ(programs().size(), 1u);
}

TEST_F(ProgramTest, APushedBackByteAfterAMissingLineFeedIsNotLost)
{
    connectLoader();
    sim->setFaults({0, 3, 0, false}); // "PROGOK\rOK\r" twice-ish, then normal
    const std::vector<std::uint8_t> data = pattern(0x400, 3);
    ASSERT_EQ(program(writeText("data.hex", sim::loader::hexText(desc.flashStart, data)))->status, 1);
    const std::vector<std::uint8_t> f = sim->flash();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), f.begin()));
}

TEST_F(ProgramTest, TheCallbackCancelsAfterAChunk)
{
    connectLoader();
    g_cancelAfter = 2;
    EXPECT_EQ(program(writeText("data.hex", sim::loader::hexText(desc.flashStart, pattern(0x400))))->status, -20);
    EXPECT_EQ(programs().size(), 2u);
}

TEST_F(ProgramTest, SourcesThatCannotBeReadFail)
{
    connectLoader();
    const IspResult* r = program(path("missing.hex"));
    EXPECT_EQ(r->status, -15);
    EXPECT_STREQ(r->text, "Unable to open Hex file. Reselect the Hex file.");
    ProductionTask task{};
    task.type = QZ_TASK_DIRECT_DATA;
    r = qz_program2(nullptr, 0, 0, 0, 0, 1, &task, 0, 0, nullptr, 0);
    EXPECT_EQ(r->status, -10);
    EXPECT_TRUE(sim->commands().empty());
}

TEST_F(ProgramTest, ProductionTasksPlaceTheirBytesInTheFlash)
{
    connectLoader();
    ProductionTask tasks[2]{};
    tasks[0].type = QZ_TASK_DIRECT_DATA;
    tasks[0].address = desc.flashStart + 0x10;
    tasks[0].count = 3;
    tasks[0].data[0] = 0xA1;
    tasks[0].data[1] = 0xA2;
    tasks[0].data[2] = 0xA3;
    tasks[1].type = QZ_TASK_HEX_FILE;
    const std::string hex = writeText("task.hex", sim::loader::hexText(desc.flashEnd - 7, {0xC1, 0xC2}));
    std::snprintf(tasks[1].path, sizeof tasks[1].path, "%s", hex.c_str());
    ASSERT_EQ(qz_program2(nullptr, 0, 0, 0, 0, 2, tasks, 0, 0, nullptr, 0)->status, 1);
    const std::vector<std::uint8_t> f = sim->flash();
    EXPECT_EQ(f[0x10], 0xA1);
    EXPECT_EQ(f[0x12], 0xA3);
    EXPECT_EQ(f[flashSize() - 8], 0xC1);
    EXPECT_EQ(f[flashSize() - 7], 0xC2);
}

TEST_F(ProgramTest, DataBeyondTheFlashFailsTheRunBeforeAnythingIsSent)
{
    desc.flashEnd = 0x80007FFF; // so one record can cross the flash end
    connectLoader();
    const std::string hex = writeText("data.hex", sim::loader::hexText(desc.flashStart, {1, 2}) +
                                                      sim::loader::hexText(desc.flashEnd - 1, {0xB1, 0xB2, 0xB3}));
    const IspResult* r = program(hex);
    EXPECT_EQ(r->status, -15);
    EXPECT_STREQ(r->text, "Unable to open Hex file. Reselect the Hex file. (address 0x80008000 outside the part)");
    EXPECT_TRUE(sim->commands().empty());
}

// Data that lies wholly outside the flash is named by its own address.
TEST_F(ProgramTest, DataOutsideTheFlashIsNamedByItsOwnAddress)
{
    desc.flashStart = 0;
    desc.flashEnd = 0xFFFF;
    connectLoader();
    struct Case {
        std::uint32_t address;
        const char* named;
    };
    for (const Case& c : {Case{0x30000, "0x00030000"}, Case{0x10000, "0x00010000"}, Case{0xFFFF, "0x00010000"}}) {
        const std::string hex = writeText("data.hex", sim::loader::hexText(c.address, {1, 2}));
        const std::string want =
            std::string("Unable to open Hex file. Reselect the Hex file. (address ") + c.named + " outside the part)";
        EXPECT_EQ(program(hex)->text, want) << std::hex << c.address;
        EXPECT_EQ(qz_erase(-2, 0, 0, nullptr, 0, hex.c_str())->text, want) << std::hex << c.address;
    }
    EXPECT_TRUE(sim->commands().empty());
}

TEST_F(ProgramTest, WithoutAPortThereIsNoConnection)
{
    EXPECT_EQ(program(path("x.hex"))->status, -7);
}

} // namespace
