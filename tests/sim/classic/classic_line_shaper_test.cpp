// The simulated part's answers cut into lines: which piece a fault holds
// back, splits, drops or adds noise to.
#include "tests/sim/classic/classic_line_shaper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using sim::ClassicLineFault;
using sim::ClassicLineShaper;
using sim::kUntilHostWrites;
using sim::LineFaultKind;

// Segments as "text" and "|gap|text" for every one after a gap.
std::string cut(ClassicLineShaper& shaper, const std::vector<std::string>& outputs)
{
    std::string s;
    for (const std::string& out : outputs) {
        for (const sim::OutSegment& seg : shaper.shape(out)) {
            if (seg.gapMs != 0)
                s += "|" + std::to_string(seg.gapMs) + "|";
            s += seg.text;
        }
    }
    return s;
}

// A value reply, a dialect 1 read of 17 bytes and a CRC-form reply.
const std::string kValue = ":0200000500001A5A.\r\n";
const std::string kRead = ":050000040000001000E7\r\n0000=00112233445566778899AABBCCDDEEFF\r\n0010=5A\r.";
const std::string kCrc = ":0100000504F600000B2C..\r\n";

TEST(ClassicLineShaper, CutsWhereTheFaultSays)
{
    struct Case {
        const char* what;
        std::string out;
        ClassicLineFault fault;
        std::string want;
    } const cases[] = {
        {"late value", kValue, {":02", 1, LineFaultKind::Late, 700, 1, 1}, ":0200000500001A|700|5A.\r\n"},
        {"late echo", kValue, {"", 0, LineFaultKind::Late, kUntilHostWrites, 1, 1},
         "|-1|:0200000500001A5A.\r\n"},
        {"dropped value", kValue, {":02", 1, LineFaultKind::Drop, 0, 1, 1}, ":0200000500001A"},
        {"dropped echo", kValue, {":02", 0, LineFaultKind::Drop, 0, 1, 1}, "5A.\r\n"},
        {"split value", kValue, {":02", 1, LineFaultKind::Split, 300, 2, 1}, ":0200000500001A5A|300|.\r\n"},
        {"second data line late", kRead, {":05", 2, LineFaultKind::Late, 50, 1, 1},
         ":050000040000001000E7\r\n0000=00112233445566778899AABBCCDDEEFF\r\n|50|0010=5A\r."},
        {"first data line dropped", kRead, {":05", 1, LineFaultKind::Drop, 0, 1, 1},
         ":050000040000001000E7\r\n0010=5A\r."},
        {"last character split off", kRead, {":05", 3, LineFaultKind::Late, 9, 1, 1},
         ":050000040000001000E7\r\n0000=00112233445566778899AABBCCDDEEFF\r\n0010=5A\r|9|."},
        {"CRC value late", kCrc, {":01000005", 1, LineFaultKind::Late, 20, 1, 1}, ":0100000504F6|20|00000B2C..\r\n"},
        {"stray digit before the CRC value", kCrc, {":01000005", 1, LineFaultKind::Stray, 0, 0, 1, '7'},
         ":0100000504F6700000B2C..\r\n"},
        {"other record untouched", kCrc, {":02", 1, LineFaultKind::Late, 20, 1, 1}, kCrc},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClassicLineShaper shaper;
        shaper.add(c.fault);
        EXPECT_EQ(cut(shaper, {c.out}), c.want);
        // Struck once: the next answer goes out whole.
        EXPECT_EQ(cut(shaper, {c.out}), c.out);
    }
}

TEST(ClassicLineShaper, AnEchoFaultWaitsUntilTheRecordIsKnown)
{
    ClassicLineShaper shaper;
    shaper.add({":0200000500", 0, LineFaultKind::Late, 40, 1, 1});
    // Half duplex: one character at a time. Another record goes out at once.
    std::vector<std::string> chars;
    for (char c : std::string(":0200000507001A5A.\r\n"))
        chars.push_back(std::string(1, c));
    EXPECT_EQ(cut(shaper, chars), ":0200000507001A5A.\r\n");
    chars.clear();
    for (char c : kValue)
        chars.push_back(std::string(1, c));
    EXPECT_EQ(cut(shaper, chars), "|40|" + kValue);
}

} // namespace
