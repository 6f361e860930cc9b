// Input files that are not regular files: a folder or a FIFO given as a HEX,
// task or binary file gives the file error at once, and never blocks.
#include "tests/isp/cortex/opssimfixture.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace opstest;

namespace {

struct Call {
    const char* name;
    std::function<const IspResult*(const std::string& path)> run;
    const char* text;
};

ProductionTask taskFor(unsigned type, const std::string& path)
{
    ProductionTask task;
    std::memset(&task, 0, sizeof task);
    task.type = type;
    std::snprintf(task.path, sizeof task.path, "%s", path.c_str());
    return task;
}

const Call kCalls[] = {
    {"program", [](const std::string& p) { return qz_program(p.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0); },
     "Unable to open Hex file. Reselect the Hex file."},
    {"verify", [](const std::string& p) { return qz_verify(p.c_str(), 0, nullptr, 0); },
     "Unable to open Hex file. Reselect the Hex file."},
    {"erase", [](const std::string& p) { return qz_erase(-2, 0, 0, nullptr, 0, p.c_str()); },
     "Unable to open Hex file. Reselect the Hex file."},
    {"task hex",
     [](const std::string& p) {
         const ProductionTask t = taskFor(QZ_TASK_HEX_FILE, p);
         return qz_program2("", 0, 0, 0, 0, 1, &t, 0, 0, nullptr, 0);
     },
     "Unable to open Hex file. Unable to open the production task hex file."},
    {"task binary",
     [](const std::string& p) {
         const ProductionTask t = taskFor(QZ_TASK_BINARY_FILE, p);
         return qz_program2("", 0, 0, 0, 0, 1, &t, 0, 0, nullptr, 0);
     },
     "Unable to open Hex file. Unable to open the production task binary file."},
};

TEST_F(RawPortTest, FolderIsNoInputFile)
{
    ASSERT_EQ(qz_select_device(4022, 0)->status, 1);
    const std::string folder = dir + "/folder";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    for (const Call& c : kCalls) {
        const IspResult* r = c.run(folder);
        EXPECT_EQ(r->status, -15) << c.name;
        EXPECT_STREQ(r->text, c.text) << c.name;
    }
    ::rmdir(folder.c_str());
}

// Each call runs on its own thread; should it block on the FIFO, a writer
// opened after a generous wait lets it go, and the order shows the fault.
TEST_F(RawPortTest, FifoIsRefusedWithoutBlocking)
{
    ASSERT_EQ(qz_select_device(4022, 0)->status, 1);
    const std::string fifo = file("input.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const Call& c : kCalls) {
        auto done = std::async(std::launch::async, [&] {
            const IspResult* r = c.run(fifo);
            return std::make_pair(r->status, std::string(r->text));
        });
        const bool returnedAlone = done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        if (!returnedAlone) {
            const int w = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (w >= 0)
                ::close(w);
        }
        const auto [status, text] = done.get();
        EXPECT_TRUE(returnedAlone) << c.name << " blocked on the FIFO";
        EXPECT_EQ(status, -15) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
    }
}

// The JIT module's data file is read the same way: a module that leaves a
// FIFO in its place fails the run at once.
TEST_F(RawPortTest, JitDataFifoIsRefusedWithoutBlocking)
{
    ASSERT_EQ(qz_select_device(4022, 0)->status, 1);
    const std::string module = file("fifo-jit.sh");
    writeFile(module, "#!/bin/sh\n"
                      "data=$(sed -n 1p \"$1\")\n"
                      "rm -f \"$data\" && mkfifo \"$data\"\n"
                      "exit 1\n");
    ASSERT_EQ(::chmod(module.c_str(), 0700), 0);
    auto done = std::async(std::launch::async, [&] {
        const IspResult* r = qz_program("", 0, 0, 0, 0, module.c_str(), "", 10, 0, 0, nullptr, 0);
        return std::make_pair(r->status, std::string(r->text));
    });
    const bool returnedAlone = done.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    const auto [status, text] = done.get();
    EXPECT_TRUE(returnedAlone) << "blocked on the FIFO";
    EXPECT_EQ(status, -15);
    EXPECT_EQ(text, "Unable to open Hex file. Unable to open the JIT data file.");
}

} // namespace
