// Production tasks and the JIT module of the programming exports, on the
// simulated LPC boot ROM.
#include "tests/isp/cortex/opssimfixture.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace opstest;

namespace {

TEST_F(RawPortTest, TaskCountBeyondItsDataFieldIsRefused)
{
    ASSERT_EQ(qz_select_device(4022, 0)->status, 1);
    ProductionTask task;
    std::memset(&task, 0, sizeof task);
    task.type = QZ_TASK_DIRECT_DATA;
    task.address = 0x100;
    task.count = sizeof task.data + 1;
    const IspResult* r = qz_program2("", 0, 0, 0, 0, 1, &task, 0, 0, nullptr, 0);
    EXPECT_EQ(r->status, -10);
    task.count = 0;
    r = qz_program2("", 0, 0, 0, 0, 1, &task, 0, 0, nullptr, 0);
    EXPECT_EQ(r->status, -10);
    EXPECT_STREQ(r->text, "Error programing the Hex file. The direct entry production task requires data to program.");
}

// Production tasks place their bytes; the binary file task too.
TEST_F(OpsTest, ProductionTasks)
{
    connectOrFail();
    ASSERT_EQ(qz_erase(-3, 0, 0, nullptr, 0, nullptr)->status, 1);
    const std::string bin = file("serial.bin");
    writeFile(bin, std::string("\x01\x02\x03\x04\x05", 5));
    const std::string hexTask = file("task.hex");
    writeFile(hexTask, ":03002000B1B2B3C7\n:00000001FF\n");
    const std::string generated = file("generated.hex");
    writeFile(generated, ":02003000C1C24B\n:00000001FF\n");
    ProductionTask tasks[4];
    std::memset(tasks, 0, sizeof tasks);
    tasks[0].type = QZ_TASK_DIRECT_DATA;
    tasks[0].address = 0x7F00;
    tasks[0].count = 3;
    tasks[0].data[0] = 0xA1, tasks[0].data[1] = 0xA2, tasks[0].data[2] = 0xA3;
    tasks[1].type = QZ_TASK_BINARY_FILE;
    tasks[1].address = 0x7F10;
    std::snprintf(tasks[1].path, sizeof tasks[1].path, "%s", bin.c_str());
    // A hex file task at 0x7F20 and a generator whose output lands at 0x7F30.
    tasks[2].type = QZ_TASK_HEX_FILE;
    std::snprintf(tasks[2].path, sizeof tasks[2].path, "%s", hexTask.c_str());
    tasks[3].type = QZ_TASK_HEX_GENERATOR;
    std::snprintf(tasks[3].path, sizeof tasks[3].path, "cat %s", generated.c_str());
    const IspResult* r = qz_program2("", 0, 0, 0, 0, 4, tasks, 0, 0, nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(sim.readMemory(0x7F00, 3), (std::vector<std::uint8_t>{0xA1, 0xA2, 0xA3}));
    EXPECT_EQ(sim.readMemory(0x7F10, 5), (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(sim.readMemory(0x20, 3), (std::vector<std::uint8_t>{0xB1, 0xB2, 0xB3}));
    EXPECT_EQ(sim.readMemory(0x30, 2), (std::vector<std::uint8_t>{0xC1, 0xC2}));

    std::snprintf(tasks[3].path, sizeof tasks[3].path, "%s", "true"); // writes nothing
    r = qz_program2("", 0, 0, 0, 0, 4, tasks, 0, 0, nullptr, 0);
    EXPECT_EQ(r->status, -15);
    EXPECT_STREQ(r->text, "Unable to open Hex file. The hex generator production task failed or didn't "
                          "generate output.");
    std::snprintf(tasks[2].path, sizeof tasks[2].path, "%s", (dir + "/missing.hex").c_str());
    r = qz_program2("", 0, 0, 0, 0, 3, tasks, 0, 0, nullptr, 0);
    EXPECT_EQ(r->status, -15);
    EXPECT_STREQ(r->text, "Unable to open Hex file. Unable to open the production task hex file.");
}

TEST_F(OpsTest, JitModuleMessageReachesTheCallback)
{
    const std::string module = file("jit.sh");
    writeFile(module, "#!/bin/sh\n"
                      "data=$(sed -n 1p \"$1\"); msg=$(sed -n 2p \"$1\")\n"
                      "printf ':0400100001020304E2\\n:00000001FF\\n' > \"$data\"\n"
                      "printf 'hello from jit\\n' > \"$msg\"\n"
                      "exit 1\n");
    ASSERT_EQ(::chmod(module.c_str(), 0700), 0);
    connectOrFail();
    ASSERT_EQ(qz_erase(0, 1, 0, nullptr, 0, nullptr)->status, 1);
    g_jitText.clear();
    const IspResult* r = qz_program("", 0, 0, 0, 0, module.c_str(), "a b", 10, 0, 0, record, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(g_jitText, "hello from jit");
    EXPECT_EQ(valuesOf(9), std::vector<int>{14});
    EXPECT_STRNE(r->text, "hello from jit") << "the text is put back after the callback";
    EXPECT_EQ(sim.readMemory(0x10, 4), (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

} // namespace
