// QuasmeriteARMCortex as a caller sees it: exactly the qz_ exports by their
// plain names, in the library's export order, answering through its own
// IspResult.
#include "isp/cortex/export_order.h"

#include "qz_interface.h"
#include "tests/isp/core/libsymbols.h"
#include "tests/isp/core/opsfixture.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>

extern "C" int qz_interface_c_check(void);

namespace {

// The version and stub exports; the library has more (see the version script).
const std::set<std::string> kFrameExports = {
    "qz_version",
    "qz_longversion",
    "qz_erase_pages",
    "qz_read_clocks_bit",
    "qz_program_clocks_bit",
    "qz_read_crc",
    "qz_read_misr",
    "qz_program_addl_security_bits",
    "qz_erase_addl_security_bits",
    "qz_read_addl_security_bits",
    "qz_read_boot_vector_status_byte",
    "qz_read_configuration",
    "qz_erase_boot_vector_status_byte",
    "qz_program_boot_vector",
    "qz_program_status_byte",
    "qz_clear_configuration_protection",
    "qz_program_configuration",
    "qz_program_i2c_address",
    "qz_set_password",
    "qz_verify_password",
    "qz_reset_password",
    "qz_enable_softice",
    "qz_read_eeprom_security_bits",
    "qz_program_eeprom_security_bits",
    "qz_erase_eeprom_pages",
    "qz_read_eeprom_crc",
    "qz_program_eeprom",
};

class ExportsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { lib_ = dlopen(QZ_CORTEX_LIBRARY, RTLD_NOW | RTLD_LOCAL); }
    static void TearDownTestSuite()
    {
        if (lib_)
            dlclose(lib_);
        lib_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(lib_, nullptr) << dlerror(); }

    template <typename F>
    static F fn(const char* name)
    {
        void* p = dlsym(lib_, name);
        EXPECT_NE(p, nullptr) << name;
        return reinterpret_cast<F>(p);
    }
    using ResultFn = const IspResult* (*)(void);
    static const IspResult* call(const char* name) { return fn<ResultFn>(name)(); }

    static void* lib_;
};

void* ExportsTest::lib_ = nullptr;

TEST_F(ExportsTest, DynamicSymbolsAreExactlyTheDefinedExports)
{
    const std::set<std::string> exported = libtest::definedDynamicSymbols(QZ_CORTEX_LIBRARY);
    // Exactly what the version script lists, each defined, nothing else
    // leaking out; every one an export of the interface.
    EXPECT_EQ(exported, libtest::versionScriptNameSet(QZ_CORTEX_VERSION_SCRIPT));
    for (const std::string& name : exported)
        EXPECT_NE(qz::cortex_export_ordinal(name.c_str()), 0) << name;
    for (const std::string& name : kFrameExports)
        EXPECT_EQ(exported.count(name), 1u) << name;
}

TEST_F(ExportsTest, ExportsExactlyTheSixtyOneNamesEachResolvable)
{
    const std::set<std::string> exported = libtest::definedDynamicSymbols(QZ_CORTEX_LIBRARY);
    const std::set<std::string> interface(qz::kCortexExportOrder.begin(), qz::kCortexExportOrder.end());
    EXPECT_EQ(exported, interface);
    for (const char* name : qz::kCortexExportOrder)
        EXPECT_NE(dlsym(lib_, name), nullptr) << name;
}

TEST_F(ExportsTest, LibraryBindsItsOwnSymbolsInternally)
{
    std::string dynamic = libtest::runTool(std::string("readelf -d '") + QZ_CORTEX_LIBRARY + "'");
    EXPECT_NE(dynamic.find("SYMBOLIC"), std::string::npos) << dynamic;
}

TEST(ExportOrder, SixtyOneUniqueNamesWithTheCallersOrdinals)
{
    std::set<std::string> names(qz::kCortexExportOrder.begin(), qz::kCortexExportOrder.end());
    EXPECT_EQ(names.size(), 61u);
    for (const std::string& n : names)
        EXPECT_EQ(n.rfind("qz_", 0), 0u) << n;
    // The firmware upgrade binds these by ordinal.
    EXPECT_EQ(qz::cortex_export_ordinal("qz_set_default_timeouts"), 48);
    EXPECT_EQ(qz::cortex_export_ordinal("qz_select_debug_mode"), 14);
    EXPECT_EQ(qz::cortex_export_ordinal("qz_connect"), 11);
    EXPECT_EQ(qz::cortex_export_ordinal("qz_erase"), 17);
    EXPECT_EQ(qz::cortex_export_ordinal("qz_program"), 20);
    EXPECT_EQ(qz::cortex_export_ordinal("qz_verify"), 22);
    EXPECT_EQ(qz::cortex_export_ordinal("qz_reset"), 46);
    EXPECT_EQ(qz::cortex_export_ordinal("qz_disconnect"), 12);
    EXPECT_EQ(qz::cortex_export_ordinal("qz_read_addl_security_bits"), 34);
    EXPECT_EQ(qz::cortex_export_ordinal("qz_program_eeprom"), 56);
    EXPECT_EQ(qz::cortex_export_ordinal("qz_nothing"), 0);
    // The header declares every one of them, also when compiled as C.
    EXPECT_EQ(qz_interface_c_check(), 61);
}

TEST_F(ExportsTest, VersionTexts)
{
    const IspResult* r = call("qz_version");
    EXPECT_EQ(r->status, 1);
    EXPECT_STREQ(r->text, "4.45.3043");
    const IspResult* l = call("qz_longversion");
    EXPECT_EQ(l, r); // the library's one result
    EXPECT_EQ(l->status, 1);
    std::string text = l->text;
    EXPECT_EQ(text.rfind("QuasmeriteARMCortex v4.45.3043 (18-Feb-2013) ", 0), 0u) << text;
    EXPECT_GT(text.size(), std::strlen("QuasmeriteARMCortex v4.45.3043 (18-Feb-2013) "));
}

// An export looked up in the loaded library and called with the header's
// prototype, so the widened stubs see the arguments a caller passes.
#define QZ_CALL(name, ...) fn<decltype(&::name)>(#name)(__VA_ARGS__)

using StubCall = std::function<const IspResult*()>;

// Arguments a caller of another library would pass; the stubs leave them unread.
const int kFlags[48] = {1, 1, 1};

TEST_F(ExportsTest, UnsupportedStubs)
{
    const IspResult* r = QZ_CALL(qz_erase_pages, kFlags, 1, nullptr, 7);
    EXPECT_EQ(r->status, -16);
    EXPECT_STREQ(r->text, "Not supported");
    for (int block : {0, 3, -3}) {
        r = QZ_CALL(qz_read_misr, block);
        EXPECT_EQ(r->status, -16) << block;
        EXPECT_STREQ(r->text, "Device does not support operation.") << block;
    }
}

TEST_F(ExportsTest, ReadingStubsZeroTheirResultBytes)
{
    const struct {
        const char* name;
        std::size_t zeroed;
        StubCall call;
    } cases[] = {
        {"qz_read_clocks_bit", 1, [] { return QZ_CALL(qz_read_clocks_bit); }},
        {"qz_read_boot_vector_status_byte", 2, [] { return QZ_CALL(qz_read_boot_vector_status_byte); }},
        {"qz_read_addl_security_bits", 3, [] { return QZ_CALL(qz_read_addl_security_bits); }},
        {"qz_read_crc", 4, [] { return QZ_CALL(qz_read_crc, 0); }},
        {"qz_read_crc(-3)", 4, [] { return QZ_CALL(qz_read_crc, -3); }},
        {"qz_read_configuration", 4, [] { return QZ_CALL(qz_read_configuration); }},
    };
    for (const auto& c : cases) {
        IspResult* r = const_cast<IspResult*>(call("qz_version"));
        std::memset(r->data, 0xEE, sizeof r->data);
        c.call();
        EXPECT_EQ(r->status, 1) << c.name;
        EXPECT_STREQ(r->text, "4.45.3043") << c.name; // text left as it was
        for (std::size_t i = 0; i < 8; ++i)
            EXPECT_EQ(r->data[i], i < c.zeroed ? 0x00 : 0xEE) << c.name << " byte " << i;
    }
}

TEST_F(ExportsTest, SucceedingStubs)
{
    const struct {
        const char* name;
        StubCall call;
    } cases[] = {
        {"qz_program_clocks_bit", [] { return QZ_CALL(qz_program_clocks_bit); }},
        {"qz_program_addl_security_bits", [] { return QZ_CALL(qz_program_addl_security_bits, kFlags); }},
        {"qz_erase_addl_security_bits", [] { return QZ_CALL(qz_erase_addl_security_bits); }},
        {"qz_erase_boot_vector_status_byte", [] { return QZ_CALL(qz_erase_boot_vector_status_byte); }},
        {"qz_program_boot_vector", [] { return QZ_CALL(qz_program_boot_vector, 0xFC); }},
        {"qz_program_status_byte", [] { return QZ_CALL(qz_program_status_byte, 0); }},
        {"qz_clear_configuration_protection", [] { return QZ_CALL(qz_clear_configuration_protection); }},
        {"qz_program_configuration", [] { return QZ_CALL(qz_program_configuration, 0x0102); }},
        {"qz_program_i2c_address", [] { return QZ_CALL(qz_program_i2c_address, 0x42); }},
        {"qz_set_password", [] { return QZ_CALL(qz_set_password, "secret", 6); }},
        {"qz_verify_password", [] { return QZ_CALL(qz_verify_password, "secret", 6); }},
        {"qz_reset_password", [] { return QZ_CALL(qz_reset_password); }},
        {"qz_enable_softice", [] { return QZ_CALL(qz_enable_softice); }},
        {"qz_read_eeprom_security_bits", [] { return QZ_CALL(qz_read_eeprom_security_bits); }},
        {"qz_program_eeprom_security_bits", [] { return QZ_CALL(qz_program_eeprom_security_bits, kFlags); }},
        {"qz_erase_eeprom_pages", [] { return QZ_CALL(qz_erase_eeprom_pages, kFlags, nullptr, 0); }},
        {"qz_read_eeprom_crc", [] { return QZ_CALL(qz_read_eeprom_crc, 1); }},
        {"qz_program_eeprom",
         [] {
             return QZ_CALL(qz_program_eeprom, "missing.hex", 1, 1, 0xFF, 1, nullptr, nullptr, 0, 1, 0,
                            nullptr, 0);
         }},
    };
    for (const auto& c : cases) {
        QZ_CALL(qz_erase_pages, nullptr, 0, nullptr, 0); // status -16 before
        const IspResult* r = c.call();
        EXPECT_EQ(r->status, 1) << c.name;
        EXPECT_STREQ(r->text, "Not supported") << c.name;
    }
}

} // namespace
