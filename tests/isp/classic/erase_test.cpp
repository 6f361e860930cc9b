// qz_erase, qz_reset, the passwords and qz_read_signature against a
// simulated part.
#include "tests/isp/classic/enginefixture.h"

#include <algorithm>
#include <functional>

namespace {

using namespace classictest;

using ClassicErase = EngineFixture;

// The position of the first record that starts with `prefix` (the count
// when there is none).
std::size_t firstOf(const std::vector<std::string>& records, const std::string& prefix)
{
    return static_cast<std::size_t>(
        std::find_if(records.begin(), records.end(), [&](const std::string& r) { return r.rfind(prefix, 0) == 0; }) -
        records.begin());
}

std::size_t countOf(const std::vector<std::string>& records, const std::string& prefix)
{
    return static_cast<std::size_t>(std::count_if(records.begin(), records.end(),
                                                  [&](const std::string& r) { return r.rfind(prefix, 0) == 0; }));
}

TEST_F(ClassicErase, GuardErasesTheBootLoadersBlockPageByPageBelowItsPages)
{
    open(k89LPC922);
    const IspResult* r = qz_erase(-1, 1u << 7, 1, nullptr, 0, nullptr);
    ASSERT_EQ(r->status, 1) << r->text;
    std::vector<std::string> pages;
    for (int p = 112; p < 120; ++p)
        pages.push_back("page " + std::to_string(p));
    EXPECT_EQ(part->flash().erasures(), pages);
    EXPECT_EQ(part->flash().guardHits(), 0);

    // Without the flag the block goes as a whole.
    ASSERT_EQ(qz_erase(-1, 1u << 7, 0, nullptr, 0, nullptr)->status, 1);
    EXPECT_EQ(part->flash().erasures().back(), "block 7");
}

TEST_F(ClassicErase, GuardedPagesOfASecuredBlockAreRefused)
{
    sim::ClassicPersona p = personaFor(k89LPC922);
    p.settings.sectorSecurity.assign(8, 0);
    p.settings.sectorSecurity[7] = 0x04;
    open(k89LPC922, p);
    const IspResult* r = qz_erase(-1, 1u << 7, 1, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, -18);
    EXPECT_NE(std::string(r->text).find("(Unable to erase page 112 - erase disabled via security bits)"),
              std::string::npos)
        << r->text;
    EXPECT_TRUE(part->flash().erasures().empty());
}

TEST_F(ClassicErase, OneBlockPartErasesTheWholeDevice)
{
    open(k89V51RD2);
    static int events;
    events = 0;
    auto cb = [](int event, int, int, int) {
        events = event;
        return 1;
    };
    ASSERT_EQ(qz_erase(-1, 1, 0, cb, 0, nullptr)->status, 1);
    EXPECT_EQ(part->flash().erasures(), std::vector<std::string>{"all"});
    EXPECT_EQ(events, QZ_EVENT_ERASE_BANK);
}

TEST_F(ClassicErase, WholeEraseLeavesThePartInItsBootLoader)
{
    sim::ClassicPersona p = personaFor(k89C51RB2Hxx);
    p.settings.bootVector = 0x12;
    open(k89C51RB2Hxx, p);
    ASSERT_EQ(qz_erase(-3, 0, 0, nullptr, 0, nullptr)->status, 1);
    EXPECT_EQ(part->flash().erasures(), std::vector<std::string>{"all"});
    EXPECT_EQ(part->settings().bootVector, 0xFC);
    EXPECT_EQ(part->settings().statusByte, 0xFF);
}

TEST_F(ClassicErase, ByFileMarksTheBlocksItsRecordsTouch)
{
    open(k89C51RB2Hxx);
    const std::string path = hexFile(hexLine(0x1FF8, std::vector<std::uint8_t>(16, 1)) + ":00000001FF\n");
    ASSERT_EQ(qz_erase(-2, 0, 0, nullptr, 0, path.c_str())->status, 1);
    EXPECT_EQ(part->flash().erasures(), (std::vector<std::string>{"block 0", "block 1"}));
}

TEST_F(ClassicErase, RefusalsAndSilenceAreReported)
{
    open(k89C51RB2Hxx);
    EXPECT_EQ(qz_erase(-1, 0, 0, nullptr, 0, nullptr)->status, -5);
    const IspResult* r = qz_erase(-1, 1u << 2, 0, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, -16) << "the part has two blocks";
    EXPECT_NE(std::string(r->text).find("(erasing block 2)"), std::string::npos) << r->text;
    part->addFault({":020000030120", sim::ClassicFaultKind::Status, 'S', 6});
    r = qz_erase(-1, 1u << 1, 0, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, -18);
    EXPECT_NE(std::string(r->text).find("(Failed to erase block 1 - security violation in device)"),
              std::string::npos)
        << r->text;
    // The library's setter keeps 15 s at least; six silent tries need less.
    qz::session().longTimeoutMs = 100;
    part->addFault({":020000030120", sim::ClassicFaultKind::Silence, 0, 6});
    r = qz_erase(-1, 1u << 1, 0, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, -2);
    EXPECT_NE(std::string(r->text).find("(transmit/receive)"), std::string::npos) << r->text;
}

TEST_F(ClassicErase, ResetPutsTheBootVectorBackThenResets)
{
    sim::ClassicPersona p = personaFor(k89C51RB2Hxx);
    p.settings.bootVector = 0x00;
    p.settings.statusByte = 0xFF;
    open(k89C51RB2Hxx, p);
    const IspResult* r = qz_reset(1, 0, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(part->settings().bootVector, 0xFC);
    EXPECT_EQ(part->settings().statusByte, 0x00);
    EXPECT_EQ(part->resets(), 1);
    EXPECT_EQ(part->lastResetMethod(), 0);
}

TEST_F(ClassicErase, ResetOfAPartThatAllowsNone)
{
    open(k89LPC922);
    EXPECT_EQ(qz_reset(0, 0, 0)->status, -16);
    EXPECT_EQ(part->resets(), 0);
}

TEST_F(ClassicErase, PasswordsSetVerifyAndRefuse)
{
    open(k89V51RD2);
    EXPECT_EQ(qz_set_password(nullptr, 2)->status, -5);
    EXPECT_EQ(qz_set_password("x", 32)->status, -5);
    ASSERT_EQ(qz_set_password("ab", 2)->status, 1);
    EXPECT_EQ(part->settings().password, (std::vector<std::uint8_t>{'a', 'b'}));
    part->reset();
    char u = 'U';
    ASSERT_EQ(qz::port_write(&u, 1), 1);
    ASSERT_EQ(qz::port_read(&u, 1, 0), 1);
    const IspResult* r = qz_verify_password("ax", 2);
    EXPECT_EQ(r->status, -18);
    EXPECT_NE(std::string(r->text).find("(setting password - please unlock the device by supplying a password)"),
              std::string::npos)
        << r->text;
    EXPECT_EQ(qz_verify_password("ab", 2)->status, 1);
    EXPECT_TRUE(part->unlocked());
    EXPECT_EQ(qz_reset_password()->status, 1);
    EXPECT_TRUE(part->settings().password.empty());
}

TEST_F(ClassicErase, PasswordsOnAPartWithoutThem)
{
    open(k89C51RB2Hxx);
    const IspResult* r = qz_set_password("ab", 2);
    EXPECT_EQ(r->status, -16);
    EXPECT_NE(std::string(r->text).find("(set password)"), std::string::npos);
}

TEST_F(ClassicErase, SignatureBytes)
{
    open(k89V51RD2);
    const IspResult* r = qz_read_signature();
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(r->data[0], 0x15);
    EXPECT_EQ(r->data[1], 0xC2);
    EXPECT_EQ(r->data[2], 0x00) << "two signature bytes on this part";
    part->addFault({":02000005", sim::ClassicFaultKind::Status, 'S', 6});
    r = qz_read_signature();
    EXPECT_EQ(r->status, -18);
    EXPECT_NE(std::string(r->text).find("(reading sigature - security violation)"), std::string::npos) << r->text;
}

TEST_F(ClassicErase, EraseAtAddressZeroSetsTheStatusByteFirstThroughEitherExport)
{
    struct Case {
        int number;
        bool pages; // qz_erase_pages of page 0, else qz_erase of block 0
        const char* status; // null: the part's status byte cannot be written
        const char* erase;
    };
    const Case cases[] = {
        {k89C51RB2Hxx, false, ":030000030600FF", ":020000030100"},
        {k89V51RD2, true, nullptr, ":03000003080000"},
        {k89LPC922, false, ":0200000203", ":03000004010000"},
        {k89LPC922, true, ":0200000203", ":03000004000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.number) + (c.pages ? " pages" : " blocks"));
        open(c.number);
        int flags[1024] = {};
        flags[0] = 1;
        const IspResult* r = c.pages ? qz_erase_pages(flags, 0, nullptr, 0) : qz_erase(-1, 1u, 0, nullptr, 0, nullptr);
        ASSERT_EQ(r->status, 1) << r->text;
        const std::vector<std::string> s = sent();
        const std::size_t erase = firstOf(s, c.erase);
        ASSERT_LT(erase, s.size());
        if (c.status) {
            EXPECT_LT(firstOf(s, c.status), erase);
        } else {
            EXPECT_EQ(countOf(s, ":0300000306"), 0u);
        }
        part->stop();
        qz::close_port();
    }
}

TEST_F(ClassicErase, SilentBootVectorEraseCostsOneSendATry)
{
    const std::string bvsb = ":020000030400"; // 89C51RB2Hxx repeats it
    sim::ClassicPersona p = personaFor(k89C51RB2Hxx);
    p.settings.bootVector = 0x00;
    open(k89C51RB2Hxx, p);
    // A part that answers gets all six sends.
    ASSERT_EQ(qz_erase_boot_vector_status_byte()->status, 1);
    EXPECT_EQ(countOf(sent(), bvsb), 6u);

    qz::session().longTimeoutMs = 100;
    part->addFault({bvsb, sim::ClassicFaultKind::Silence, 0, 1000});
    const std::pair<const char*, std::function<const IspResult*()>> calls[] = {
        {"erase", [] { return qz_erase_boot_vector_status_byte(); }},
        {"reset", [] { return qz_reset(1, 0, 0); }},
        {"program", [this] { return program(hexLine(0x0000, {1}) + ":00000001FF\n"); }},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(call.first);
        const std::size_t before = countOf(sent(), bvsb);
        EXPECT_NE(call.second()->status, 1);
        EXPECT_EQ(countOf(sent(), bvsb) - before, 6u) << "one send for each of the six tries";
    }
    EXPECT_EQ(part->resets(), 0);
}

} // namespace
