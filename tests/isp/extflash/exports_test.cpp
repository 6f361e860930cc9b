// QuasmeriteExtFlash as a caller sees it: exactly the 61 qz_ names of the
// interface, listed in QuasmeriteARMCortex's export order, nothing else
// leaking out, and the answers of the exports that do nothing here.
#include "isp/cortex/export_order.h"

#include "qz_interface.h"
#include "tests/isp/core/libsymbols.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

class ExtFlashExportsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { lib_ = dlopen(QZ_EXTFLASH_LIBRARY, RTLD_NOW | RTLD_LOCAL); }
    static void TearDownTestSuite()
    {
        if (lib_)
            dlclose(lib_);
        lib_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(lib_, nullptr) << dlerror(); }

    using ResultFn = const IspResult* (*)(void);
    static const IspResult* call(const char* name)
    {
        void* f = dlsym(lib_, name);
        EXPECT_NE(f, nullptr) << name;
        return f ? reinterpret_cast<ResultFn>(f)() : nullptr;
    }

    static void* lib_;
};

void* ExtFlashExportsTest::lib_ = nullptr;

TEST_F(ExtFlashExportsTest, ExportsExactlyTheSixtyOneNamesInTheCortexOrder)
{
    const std::vector<std::string> listed = libtest::versionScriptNames(QZ_EXTFLASH_VERSION_SCRIPT);
    EXPECT_EQ(listed, std::vector<std::string>(qz::kCortexExportOrder.begin(), qz::kCortexExportOrder.end()));
    EXPECT_EQ(libtest::definedDynamicSymbols(QZ_EXTFLASH_LIBRARY), std::set<std::string>(listed.begin(), listed.end()));
    for (const char* name : qz::kCortexExportOrder)
        EXPECT_NE(dlsym(lib_, name), nullptr) << name;
}

TEST_F(ExtFlashExportsTest, VersionTextsNameThisLibrary)
{
    EXPECT_STREQ(call("qz_version")->text, "1.21.3043");
    const std::string l = call("qz_longversion")->text;
    EXPECT_EQ(l.rfind("QuasmeriteExtFlash v1.21.3043 (31-Jan-2013) ", 0), 0u) << l;
}

TEST_F(ExtFlashExportsTest, WhatAnExternalFlashCannotDoIsNotSupported)
{
    for (const char* name : {"qz_read_signature", "qz_erase_pages", "qz_cancelautobaud", "qz_read_security_bits",
                             "qz_read_clocks_bit", "qz_program_clocks_bit", "qz_bootloader_version",
                             "qz_serial_number"}) {
        const IspResult* r = call(name);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->status, -16) << name;
        EXPECT_STREQ(r->text, "Not supported") << name;
    }
    auto verify = reinterpret_cast<const IspResult* (*)(const char*, int, ProgressCallback, int)>(dlsym(lib_, "qz_verify"));
    EXPECT_STREQ(verify("x.hex", 0, nullptr, 0)->text, "Not supported");
    auto reset = reinterpret_cast<const IspResult* (*)(int, unsigned, unsigned)>(dlsym(lib_, "qz_reset"));
    EXPECT_EQ(reset(0, 0, 0)->status, -16);
    auto bootrom = reinterpret_cast<const IspResult* (*)(const char*, int, const char*, int, int)>(
        dlsym(lib_, "qz_start_bootrom"));
    EXPECT_STREQ(bootrom("/dev/null", 9600, "", 0, 0)->text, "Not supported");

    using BlockFn = const IspResult* (*)(int);
    EXPECT_STREQ(reinterpret_cast<BlockFn>(dlsym(lib_, "qz_read_crc"))(-3)->text, "Not supported");
    const IspResult* m = reinterpret_cast<BlockFn>(dlsym(lib_, "qz_read_misr"))(-3);
    EXPECT_EQ(m->status, -16);
    EXPECT_STREQ(m->text, "Device does not support operation.");
    auto bank = reinterpret_cast<const IspResult* (*)(int)>(dlsym(lib_, "qz_activate_flash_bank"));
    const IspResult* b = bank(1);
    EXPECT_EQ(b->status, -16);
    EXPECT_STREQ(b->text, "Device does not support operation."); // left as it was

    for (const char* name : {"qz_reset_password", "qz_enable_softice", "qz_read_configuration"})
        EXPECT_EQ(call(name)->status, 1) << name;
    auto password = reinterpret_cast<const IspResult* (*)(const char*, int)>(dlsym(lib_, "qz_set_password"));
    EXPECT_EQ(password("secret", 6)->status, 1);
    auto select = reinterpret_cast<const IspResult* (*)(int, unsigned)>(dlsym(lib_, "qz_select_device"));
    EXPECT_EQ(select(12345, 7)->status, 1);
}

} // namespace
