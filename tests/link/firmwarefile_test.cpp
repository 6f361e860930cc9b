// The firmware file check before "FU": the library's reader and the
// converter's part decide, and only a regular file is opened.
#include "link/firmwarefile.h"

#include "tests/isp/core/hexline.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using hextest::rec;

const std::string kEnd = ":00000001FF\n";

class FirmwareFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vantrel-fwfileXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string write(const std::string& name, const std::string& text)
    {
        const std::string path = dir + "/" + name;
        if (FILE* f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
        return path;
    }

    std::string dir;
};

struct Case {
    const char* what;
    std::string text;
    FirmwareFileCheck::Verdict verdict;
    const char* reason;
};

TEST_F(FirmwareFile, TheLibrarysReaderAndTheConvertersFlashDecide)
{
    const std::string data = rec(0x00, 0x0000, {1, 2, 3, 4}) + "\n";
    const Case cases[] = {
        {"good", data + kEnd, FirmwareFileCheck::kUsable, ""},
        {"CR LF, lower case, records after the end", rec(0x00, 0x10, {0xAB}) + "\r\n" + kEnd + ":0100200000df\r\n",
         FirmwareFileCheck::kUsable, ""},
        {"the flash's last bytes", rec(0x00, 0x7FFC, {1, 2, 3, 4}) + "\n" + kEnd, FirmwareFileCheck::kUsable, ""},
        {"wrong checksum", data + ":0400100001020304E3\n" + kEnd, FirmwareFileCheck::kDamaged,
         "(line 2: checksum)"},
        {"non-hex digit", data + ":04001000010G0304E2\n" + kEnd, FirmwareFileCheck::kDamaged,
         "(line 2: not a record)"},
        {"cut in a record", data + ":0400100001", FirmwareFileCheck::kDamaged, "(line 2: length)"},
        {"cut at a line end", data + rec(0x00, 0x10, {5}) + "\n", FirmwareFileCheck::kDamaged, "(no end record)"},
        {"above 32 KiB", data + rec(0x00, 0x8000, {5}) + "\n" + kEnd, FirmwareFileCheck::kDamaged,
         "(line 2: address 0x00008000 outside the part)"},
        {"across the flash's end", data + rec(0x00, 0x7FFE, {1, 2, 3, 4}) + "\n" + kEnd,
         FirmwareFileCheck::kDamaged, "(line 2: address 0x00008000 outside the part)"},
        {"another part's flash", rec(0x04, 0, {0x1A, 0x00}) + "\n" + data + kEnd, FirmwareFileCheck::kDamaged,
         "(line 2: address 0x1A000000 outside the part)"},
        {"RAM as well", data + rec(0x04, 0, {0x10, 0x00}) + "\n" + data + kEnd, FirmwareFileCheck::kDamaged,
         "(line 3: address 0x10000000 outside the part)"},
        {"no data", kEnd, FirmwareFileCheck::kDamaged, "(no data record)"},
        {"empty", "", FirmwareFileCheck::kNotHex, ""},
        {"no colon first", "\n" + data + kEnd, FirmwareFileCheck::kNotHex, ""},
    };
    int i = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FirmwareFileCheck check = checkFirmwareFile(write("f" + std::to_string(i++) + ".hex", c.text).c_str());
        EXPECT_EQ(check.verdict, c.verdict);
        EXPECT_EQ(check.reason, c.reason);
    }
}

TEST_F(FirmwareFile, OnlyARegularFileIsOpened)
{
    const std::string fifo = dir + "/fifo.hex";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string link = dir + "/link.hex";
    ASSERT_EQ(symlink(write("real.hex", rec(0x00, 0, {1}) + "\n" + kEnd).c_str(), link.c_str()), 0);
    for (const std::string& path : {std::string(), dir + "/missing.hex", dir, fifo, std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(checkFirmwareFile(path.c_str()).verdict, FirmwareFileCheck::kUnreadable);
    }
    EXPECT_EQ(checkFirmwareFile(link.c_str()).verdict, FirmwareFileCheck::kUsable) << "a link to a file is a file";
}

} // namespace
