// Quasmerite as a caller sees it: exactly the 61 qz_ exports by their plain
// names, its own export order, version texts, stubs and the argument checks
// of connect and device selection.
#include "isp/classic/export_order.h"

#include "qz_interface.h"
#include "tests/isp/core/libsymbols.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>

namespace {

class ClassicExports : public ::testing::Test {
protected:
    static void SetUpTestSuite() { lib_ = dlopen(QZ_CLASSIC_LIBRARY, RTLD_NOW | RTLD_LOCAL); }
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
    static const IspResult* connect(const ConnectOptions& o, int size = QZ_CONNECT_OPTIONS_SIZE)
    {
        return fn<const IspResult* (*)(const ConnectOptions*, int)>("qz_connect")(&o, size);
    }
    static const IspResult* select(int number)
    {
        return fn<const IspResult* (*)(int, unsigned)>("qz_select_device")(number, 0);
    }

    static void* lib_;
};

void* ClassicExports::lib_ = nullptr;

TEST_F(ClassicExports, ExactlyTheSixtyOneNamesOfTheVersionScript)
{
    const std::set<std::string> exported = libtest::definedDynamicSymbols(QZ_CLASSIC_LIBRARY);
    const std::set<std::string> order(qz::kClassicExportOrder.begin(), qz::kClassicExportOrder.end());
    EXPECT_EQ(order.size(), 61u);
    EXPECT_EQ(exported.size(), 61u);
    EXPECT_EQ(exported, order);
    EXPECT_EQ(exported, libtest::versionScriptNameSet(QZ_CLASSIC_VERSION_SCRIPT));
    for (const char* name : qz::kClassicExportOrder)
        EXPECT_NE(dlsym(lib_, name), nullptr) << name;
}

TEST_F(ClassicExports, BindsItsOwnSymbolsInternally)
{
    const std::string dynamic = libtest::runTool(std::string("readelf -d '") + QZ_CLASSIC_LIBRARY + "'");
    EXPECT_NE(dynamic.find("SYMBOLIC"), std::string::npos) << dynamic;
}

TEST(ClassicExportOrder, OwnOrdinals)
{
    EXPECT_EQ(qz::classic_export_ordinal("qz_version"), 1);
    EXPECT_EQ(qz::classic_export_ordinal("qz_erase_eeprom_pages"), 19);
    EXPECT_EQ(qz::classic_export_ordinal("qz_program"), 21);
    EXPECT_EQ(qz::classic_export_ordinal("qz_program_eeprom"), 23);
    EXPECT_EQ(qz::classic_export_ordinal("qz_verify"), 24);
    EXPECT_EQ(qz::classic_export_ordinal("qz_read_misr"), 34);
    EXPECT_EQ(qz::classic_export_ordinal("qz_reset"), 51);
    EXPECT_EQ(qz::classic_export_ordinal("qz_set_default_timeouts"), 53);
    EXPECT_EQ(qz::classic_export_ordinal("qz_serial_number"), 56);
    EXPECT_EQ(qz::classic_export_ordinal("qz_nothing"), 0);
}

TEST_F(ClassicExports, VersionTexts)
{
    const IspResult* r = call("qz_version");
    EXPECT_EQ(r->status, 1);
    EXPECT_STREQ(r->text, "3.03.3043");
    const IspResult* l = call("qz_longversion");
    EXPECT_EQ(l, r);
    const std::string text = l->text;
    EXPECT_EQ(text.rfind("Quasmerite v3.03.3043 (14-Jan-2013) ", 0), 0u) << text;
}

TEST_F(ClassicExports, Stubs)
{
    const IspResult* r = call("qz_serial_number");
    EXPECT_EQ(r->status, -16);
    EXPECT_STREQ(r->text, "Device does not support operation. (serial number)");
    r = fn<const IspResult* (*)(const unsigned char*, unsigned, unsigned)>("qz_program_eeprom_from_buffer")(nullptr, 0, 0);
    EXPECT_EQ(r->status, -16);
    EXPECT_STREQ(r->text, "Not supported");
    r = fn<const IspResult* (*)(unsigned char*, unsigned, unsigned)>("qz_read_eeprom_to_buffer")(nullptr, 0, 0);
    EXPECT_STREQ(r->text, "Not supported");
    call("qz_version");
    r = fn<const IspResult* (*)(int)>("qz_activate_flash_bank")(1);
    EXPECT_EQ(r->status, -16);
    EXPECT_STREQ(r->text, "3.03.3043") << "text left as it was";
    fn<void (*)(int, int, int)>("qz_set_autobaud_configuration")(1, 2, 3);
}

TEST_F(ClassicExports, NothingSelectedGivesMinusSevenWithoutReadingTheTable)
{
    const IspResult* r = call("qz_cancelautobaud");
    EXPECT_EQ(r->status, -7);
    EXPECT_STREQ(r->text, "There is no connection to the device.");
    r = fn<const IspResult* (*)(const char*, int, int)>("qz_raw_connect")("/dev/null", 9600, 0);
    EXPECT_EQ(r->status, -7);
    EXPECT_EQ(call("qz_read_signature")->status, -7);
    EXPECT_EQ(fn<const IspResult* (*)(int)>("qz_read_crc")(0)->status, -7);
    EXPECT_EQ(call("qz_disconnect")->status, -7);
}

TEST_F(ClassicExports, SelectDeviceKeepsThePreviousChoiceOnAnUnknownNumber)
{
    EXPECT_EQ(select(25)->status, 1);
    const IspResult* r = select(18);
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, "Invalid value or command sent. Please try the operation again. ");
    // Still selected: the cancel reaches the part's dialect (nothing to do there).
    EXPECT_EQ(call("qz_cancelautobaud")->status, 1);
}

TEST_F(ClassicExports, CapabilitiesAreTestedBeforeThePort)
{
    ASSERT_EQ(select(2)->status, 1); // 89C51RB2Hxx: no CRC, MISR, boot loader version or update
    const IspResult* r = fn<const IspResult* (*)(int)>("qz_read_crc")(0);
    EXPECT_EQ(r->status, -16);
    EXPECT_STREQ(r->text, "Device does not support operation. (read crc)");
    EXPECT_STREQ(fn<const IspResult* (*)(int)>("qz_read_misr")(-3)->text, "Device does not support operation. (read misr)");
    EXPECT_STREQ(call("qz_bootloader_version")->text, "Device does not support operation. (bootloader version)");
    r = fn<const IspResult* (*)(const char*, ProgressCallback, int)>("qz_update_bootloader")("x.hex", nullptr, 0);
    EXPECT_STREQ(r->text, "Device does not support operation. (update bootloader)");
    // What the part can do waits for the port.
    EXPECT_EQ(fn<const IspResult* (*)(unsigned, unsigned)>("qz_blank_check")(0, 1)->status, -7);
    EXPECT_EQ(call("qz_read_security_bits")->status, -7);
}

TEST_F(ClassicExports, ConnectChecksItsArgumentsBeforeThePort)
{
    ConnectOptions o{};
    o.device_id = 2;
    o.baud_rate = 9600;
    std::snprintf(o.port_name, sizeof o.port_name, "/dev/no-such-port");
    const IspResult* r = connect(o, 1130);
    EXPECT_EQ(r->status, -16);
    EXPECT_STREQ(r->text, "Device does not support operation. Only COM connections supported.");

    o.high_speed = 1;
    o.clocks = 8;
    o.oscillator_mhz = 11.0592;
    r = connect(o);
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, "Invalid value or command sent. Please try the operation again. Clocks must be 6, 12 or 0");
    o.clocks = 12;
    o.oscillator_mhz = 0.0;
    r = connect(o);
    EXPECT_STREQ(r->text, "Invalid value or command sent. Please try the operation again. Oscillator frequency "
                          "must be valid to use high speed communications mode");
    // Without high speed neither is looked at: the port is.
    o.high_speed = 0;
    o.clocks = 8;
    r = connect(o);
    EXPECT_EQ(r->status, -2);
    EXPECT_STREQ(r->text, "Unable to communicate. (in use)");

    std::memset(o.port_name, 'A', sizeof o.port_name);
    r = connect(o);
    EXPECT_EQ(r->status, -5);
    o.port_name[49] = '\0';
    EXPECT_EQ(connect(o)->status, -2);

    o.device_id = 99;
    r = connect(o);
    EXPECT_EQ(r->status, -5);
    EXPECT_EQ(fn<int (*)(void)>("qz_get_comport_handle")(), -1);
}

} // namespace
