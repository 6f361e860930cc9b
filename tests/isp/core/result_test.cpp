// The result builder, the engine-code convention and the driver state's
// defaults.
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"
#include "isp/core/session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace qz;

namespace {

class ResultTest : public ::testing::Test {
protected:
    void SetUp() override { reset_session_slots(); }

    static void setText(const char* text)
    {
        std::strncpy(isp_result()->text, text, sizeof isp_result()->text - 1);
    }
};

TEST_F(ResultTest, CodeNotInTableGivesStatusZeroAndKeepsText)
{
    setText("previous");
    isp_result()->status = 1;
    for (int code : {1, 2, -4, -8, -21, -24, 12345}) {
        IspResult* r = set_result(code, "(detail)");
        EXPECT_EQ(r->status, 0) << code;
        EXPECT_STREQ(r->text, "previous") << code;
    }
}

TEST_F(ResultTest, CodeZeroGivesEmptyText)
{
    setText("previous");
    IspResult* r = set_result(0, "(detail)");
    EXPECT_EQ(r->status, 0);
    EXPECT_STREQ(r->text, "");
}

TEST_F(ResultTest, TableTextWithAndWithoutDetail)
{
    EXPECT_STREQ(set_result(-18, "(erasing device)")->text, "Operation Failed. (erasing device)");
    EXPECT_EQ(isp_result()->status, -18);
    EXPECT_STREQ(set_result(-7)->text, "There is no connection to the device.");
    EXPECT_EQ(isp_result()->status, -7);
    EXPECT_STREQ(set_result(-23, "")->text, "Just In Time error. ");
}

TEST_F(ResultTest, EveryTableCodeGivesItsText)
{
    int count = 0;
    for (const ErrorCodeEntry* e = ErrorCodeTable; e->code != 0; ++e, ++count) {
        IspResult* r = set_result(e->code);
        EXPECT_EQ(r->status, e->code);
        EXPECT_STREQ(r->text, e->text);
    }
    EXPECT_EQ(count, 18);
    EXPECT_STREQ(set_result(-17)->text,
                 "Error verifying. There is a difference in the Hex file value and the stored value.");
}

TEST_F(ResultTest, DataBytesAreNeverTouched)
{
    std::memset(isp_result()->data, 0x5A, sizeof isp_result()->data);
    set_result(-2, "(transmit/receive)");
    set_result(0);
    set_result(7);
    for (unsigned char b : isp_result()->data)
        ASSERT_EQ(b, 0x5A);
}

TEST_F(ResultTest, LongDetailIsCutWithinTheText)
{
    SessionRecord& s = session();
    s.deviceIndex = 0x11223344; // the field right behind the result
    std::string detail(5000, 'x');
    IspResult* r = set_result(-15, detail.c_str());
    ASSERT_EQ(std::strlen(r->text), sizeof r->text - 1);
    EXPECT_EQ(std::string(r->text).rfind("Unable to open Hex file. x", 0), 0u);
    EXPECT_EQ(s.deviceIndex, 0x11223344);

    r = set_result_f(-9, "(%s)", detail.c_str());
    EXPECT_EQ(std::strlen(r->text), sizeof r->text - 1);
    EXPECT_EQ(s.deviceIndex, 0x11223344);

    r = set_status_text(-16, detail.c_str());
    EXPECT_EQ(std::strlen(r->text), sizeof r->text - 1);
    EXPECT_EQ(s.deviceIndex, 0x11223344);
}

TEST_F(ResultTest, FormattedDetail)
{
    EXPECT_STREQ(set_result_f(-16, "(erasing block %d)", 31)->text,
                 "Device does not support operation. (erasing block 31)");
}

TEST_F(ResultTest, SuccessAndStatusText)
{
    setText("kept");
    EXPECT_EQ(set_success()->status, 1);
    EXPECT_STREQ(isp_result()->text, "kept");
    IspResult* r = set_status_text(-16, "Not supported");
    EXPECT_EQ(r->status, -16);
    EXPECT_STREQ(r->text, "Not supported");
}

TEST_F(ResultTest, BigEndianResultBytes)
{
    set_result_be(0, 115200, 4);
    const unsigned char* d = isp_result()->data;
    EXPECT_EQ(d[0], 0x00);
    EXPECT_EQ(d[1], 0x01);
    EXPECT_EQ(d[2], 0xC2);
    EXPECT_EQ(d[3], 0x00);
    set_result_be(0, 0x1A0010, 3);
    EXPECT_EQ(d[0], 0x1A);
    EXPECT_EQ(d[1], 0x00);
    EXPECT_EQ(d[2], 0x10);
    set_result_be(126, 0xFFFFFFFF, 4); // would run past the data: refused
    EXPECT_EQ(d[126], 0);
    EXPECT_EQ(d[127], 0);
}

struct EngineCase {
    int engineCode;
    int status;
    const char* text;
};

TEST_F(ResultTest, EngineCodesMapByConvention)
{
    const EngineCase cases[] = {
        {-24, -18, "Operation Failed. (erasing device - please unlock the device by supplying a password)"},
        {-22, -18,
         "Operation Failed. (erasing device - I2C Communication error - Possible causes includes open "
         "connections, shorted bus wires, missing pullup resistors, or incorrect I2C slave address)"},
        {-21, -18, "Operation Failed. (erasing device - security violation in device)"},
        {-18, -18, "Operation Failed. (erasing device)"},
        {-2, -2, "Unable to communicate. (transmit/receive)"},
        {-19, -19, "Failed to allocate memory."},
    };
    for (const EngineCase& c : cases) {
        IspResult* r = report_engine_failure(c.engineCode, "erasing device");
        EXPECT_EQ(r->status, c.status) << c.engineCode;
        EXPECT_STREQ(r->text, c.text) << c.engineCode;
    }
    EXPECT_EQ(engine_reason(-18), nullptr);
}

TEST_F(ResultTest, StepFailureNamesItsOwnPlainFailureAndMapsTheRestByConvention)
{
    const EngineCase cases[] = {
        {-18, -18, "Operation Failed. (writing - no reply)"},
        {-21, -18, "Operation Failed. (writing block - security violation in device)"},
        {-24, -18, "Operation Failed. (writing block - please unlock the device by supplying a password)"},
        {-2, -2, "Unable to communicate. (transmit/receive)"},
        {-19, -19, "Failed to allocate memory."},
    };
    for (const EngineCase& c : cases) {
        IspResult* r = report_step_failure(c.engineCode, "writing block", "(writing - no reply)");
        EXPECT_EQ(r->status, c.status) << c.engineCode;
        EXPECT_STREQ(r->text, c.text) << c.engineCode;
    }
}

void expectDefaults(const SessionRecord& s)
{
    EXPECT_EQ(s.autobaudReadTimeoutMs, 50);
    EXPECT_EQ(s.autobaudWriteTimeoutMs, 150);
    EXPECT_EQ(s.autobaudAttempts, 20);
    EXPECT_EQ(s.echoLineFeedState, 0);
    EXPECT_EQ(s.shortTimeoutMs, 4000);
    EXPECT_EQ(s.longTimeoutMs, 60000);
    EXPECT_EQ(s.portHandle, -1);
    EXPECT_EQ(s.writeEvent, -1);
    EXPECT_EQ(s.readEvent, -1);
    EXPECT_EQ(s.cancelEvent, -1);
    EXPECT_EQ(s.psenLevel, 1);
    EXPECT_EQ(s.rstLevel, 1);
    EXPECT_EQ(s.deviceIndex, 0);
    EXPECT_EQ(s.debugLog, 0);
    EXPECT_EQ(s.logPath[0], '\0');
    EXPECT_EQ(s.result.status, 0);
    EXPECT_EQ(s.sectorTable, nullptr);
}

TEST(SessionDefaults, EveryRecordHasTheLoadTimeDefaults)
{
    // No operation uses any record but the first: these show what was set
    // when the library was loaded.
    expectDefaults(session_slots()[1]);
    expectDefaults(session_slots()[kSessionSlotCount - 1]);

    session().debugLog = 1;
    session().portHandle = 5;
    reset_session_slots();
    expectDefaults(session());
    EXPECT_EQ(&session(), &session_slots()[0]);
    EXPECT_EQ(isp_result(), &session().result);
}

} // namespace
