// The device operations through the library's exports against the
// simulated LPC boot ROM: the call sequence of the firmware upgrade, erase
// modes, verify, read-back, code read protection, the RESEND and checksum
// limits, autobaud, the high-speed switch, half duplex and cancellation.
#include "tests/isp/opsfixture.h"
#include "tests/isp/scriptedpart.h"

#include "isp/core/hexreader.h"
#include "isp/core/ramimage.h"
#include "isp/core/session.h"
#include "platform/sleep.h"
#include "tests/sim/lpc/lpc_sim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

using namespace opstest;

namespace {

// The long pauses (baud switch, RESEND give-up, start-up waits) shortened;
// the short ones after "G" stay, since they let the boot ROM's last reply
// arrive before the purge that drops it, also on a loaded machine.
class ShortSleeper : public platform::Sleeper {
public:
    void sleepMs(unsigned ms) override
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pauses_.push_back(ms);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms <= 100 ? ms : 20u));
    }
    bool paused(unsigned ms)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::find(pauses_.begin(), pauses_.end(), ms) != pauses_.end();
    }

private:
    std::mutex mutex_;
    std::vector<unsigned> pauses_;
};

struct Event {
    int kind, value, extra;
};

std::vector<Event> g_events;
int g_cancelOnEvent = 0; // 0: never; else the event kind to cancel on
std::string g_jitText;
const IspResult* g_result = nullptr;

int record(int kind, int value, int extra, int)
{
    g_events.push_back({kind, value, extra});
    if (kind == 9 && g_result != nullptr)
        g_jitText = g_result->text; // the message, for the callback's duration
    return kind == g_cancelOnEvent ? 0 : 1;
}

std::vector<int> valuesOf(int kind)
{
    std::vector<int> out;
    for (const Event& e : g_events)
        if (e.kind == kind)
            out.push_back(e.value);
    return out;
}

class OpsTest : public ::testing::Test {
protected:
    explicit OpsTest(const sim::lpc::PartInfo& part = sim::lpc::lpc11c24(),
                     sim::LpcSim::Options options = {})
        : sim(part, options)
    {
    }

    void SetUp() override
    {
        qz::reset_session_slots();
        platform::installSleeper(&sleeper);
        g_events.clear();
        g_cancelOnEvent = 0;
        g_result = qz_version();
        char tmpl[] = "/tmp/qzopstestXXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
        ASSERT_TRUE(sim.start());
    }

    void TearDown() override
    {
        if (qz_get_comport_handle() != -1)
            qz_disconnect();
        sim.stop();
        platform::installSleeper(nullptr);
        qz::reset_session_slots();
        for (const std::string& f : files)
            std::remove(f.c_str());
        ::rmdir(dir.c_str());
    }

    std::string file(const std::string& name)
    {
        files.push_back(dir + "/" + name);
        return files.back();
    }
    std::string hexFile(const std::vector<std::uint8_t>& image, std::uint32_t base = 0)
    {
        const std::string path = file("image" + std::to_string(files.size()) + ".hex");
        writeFile(path, hexText(image, base));
        return path;
    }

    const IspResult* connect(ConnectOptions o)
    {
        return qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE);
    }
    void connectOrFail()
    {
        const IspResult* r = connect(vantrelOptions(sim.slavePath()));
        ASSERT_EQ(r->status, 1) << r->text;
    }
    // Back into the boot ROM the way the converter's "FU" does, and connect again.
    void reenter()
    {
        qz_disconnect();
        sim.stop();
        sim.enterIsp();
        ASSERT_TRUE(sim.start());
        connectOrFail();
    }

    ShortSleeper sleeper;
    sim::LpcSim sim;
    std::string dir;
    std::vector<std::string> files;
};

// ---- the firmware upgrade's road ---------------------------------------------

TEST_F(OpsTest, UpgradeSequenceLeavesTheFileInFlash)
{
    const std::vector<std::uint8_t> image = firmwareImage(0x8000, 0x6A10, 7);
    const std::string hex = hexFile(image);
    const std::string log = file("upgrade.qzd");

    qz_set_default_timeouts();
    EXPECT_EQ(qz_select_debug_mode(1, log.c_str())->status, 1);
    const IspResult* r = connect(vantrelOptions(sim.slavePath()));
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(r->data[0] << 24 | r->data[1] << 16 | r->data[2] << 8 | r->data[3], 9600);
    EXPECT_EQ(sim.oscillatorKHz(), 12000u);

    r = qz_erase(-2, 0, 1, record, 0, hex.c_str());
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(valuesOf(1), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));

    g_events.clear();
    r = qz_program(hex.c_str(), 0, 0, 0, 1, nullptr, nullptr, 0, 0, 0, record, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    const std::vector<int> blocks = valuesOf(3);
    ASSERT_FALSE(blocks.empty());
    EXPECT_TRUE(std::is_sorted(blocks.rbegin(), blocks.rend())) << "blocks go from the top down";
    EXPECT_EQ(blocks.front(), 0x6800);
    EXPECT_EQ(blocks.back(), 0);
    EXPECT_EQ(std::count(blocks.begin(), blocks.end(), 0x1400), 0) << "a blank block is skipped";

    g_events.clear();
    r = qz_verify(hex.c_str(), 1, record, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(valuesOf(6).size(), 64u);
    EXPECT_EQ(valuesOf(6).back(), 0x7E00);

    r = qz_reset(1, 0, 1);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_TRUE(sim.waitForState(sim::lpc::RomState::Running, 5000));
    ASSERT_FALSE(sim.resets().empty());
    EXPECT_EQ(sim.resets().back().address, 0u);
    EXPECT_TRUE(sim.resets().back().thumb);
    EXPECT_EQ(qz_disconnect()->status, 1);

    EXPECT_EQ(sim.flash(), withVectorChecksum(image));
    EXPECT_NE(readFile(log).size(), 0u) << "the diagnostic log was written";
}

TEST_F(OpsTest, VerifyFindsAChangedByte)
{
    const std::vector<std::uint8_t> image = firmwareImage(0x8000, 0x3000, 3);
    const std::string hex = hexFile(image);
    sim.setFlash(withVectorChecksum(image));
    connectOrFail();
    ASSERT_EQ(qz_verify(hex.c_str(), 1, nullptr, 0)->status, 1);

    sim.writeFlash(0x2345, {static_cast<std::uint8_t>(image[0x2345] ^ 0x10)});
    const IspResult* r = qz_verify(hex.c_str(), 1, nullptr, 0);
    EXPECT_EQ(r->status, -17);
    EXPECT_STREQ(r->text, "Error verifying. There is a difference in the Hex file value and the "
                          "stored value. (address 0x00002345)");
}

TEST_F(OpsTest, VerifyIgnoresTheVectorChecksumAndTheCrpWord)
{
    std::vector<std::uint8_t> image = firmwareImage(0x8000, 0x1000, 5);
    const std::string hex = hexFile(image);
    std::vector<std::uint8_t> stored = withVectorChecksum(image);
    stored[0x2FC] = 0x78; // some CRP word the file does not have
    sim.setFlash(stored);
    connectOrFail();
    EXPECT_EQ(qz_verify(hex.c_str(), 0, nullptr, 0)->status, 1);
}

// ---- erase ------------------------------------------------------------------

class EraseTest : public OpsTest {
protected:
    void SetUp() override
    {
        OpsTest::SetUp();
        full.assign(0x8000, 0x5A);
        sim.setFlash(full);
        connectOrFail();
    }
    bool sectorErased(int s)
    {
        const auto f = sim.flash();
        return std::all_of(f.begin() + s * 0x1000, f.begin() + (s + 1) * 0x1000,
                           [](std::uint8_t b) { return b == 0xFF; });
    }
    bool sectorKept(int s)
    {
        const auto f = sim.flash();
        return std::all_of(f.begin() + s * 0x1000, f.begin() + (s + 1) * 0x1000,
                           [](std::uint8_t b) { return b == 0x5A; });
    }
    std::vector<std::uint8_t> full;
};

TEST_F(EraseTest, MaskErasesItsSectorsInOrder)
{
    ASSERT_EQ(qz_erase(0, 0x8A, 0, record, 0, nullptr)->status, 1);
    EXPECT_EQ(valuesOf(1), (std::vector<int>{1, 3, 7}));
    for (int s = 0; s < 8; ++s)
        EXPECT_EQ(sectorErased(s), s == 1 || s == 3 || s == 7) << s;
}

TEST_F(EraseTest, WholeBank)
{
    ASSERT_EQ(qz_erase(-3, 0, 0, record, 0, nullptr)->status, 1);
    EXPECT_EQ(valuesOf(2), std::vector<int>{0});
    for (int s = 0; s < 8; ++s)
        EXPECT_TRUE(sectorErased(s)) << s;
}

TEST_F(EraseTest, HexRecordAcrossASectorBoundaryErasesBothSectors)
{
    const std::string path = file("span.hex");
    writeFile(path, ":020FFF00AABB8B\n:00000001FF\n");
    ASSERT_EQ(qz_erase(-2, 0, 0, nullptr, 0, path.c_str())->status, 1);
    EXPECT_TRUE(sectorErased(0));
    EXPECT_TRUE(sectorErased(1));
    EXPECT_TRUE(sectorKept(2));
}

TEST_F(EraseTest, RefusedMasks)
{
    const IspResult* r = qz_erase(0, 0, 0, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, "Invalid value or command sent. Please try the operation again. (nothing to erase)");
    r = qz_erase(0, 0x101, 0, nullptr, 0, nullptr);
    EXPECT_EQ(r->status, -16);
    EXPECT_STREQ(r->text, "Device does not support operation. (erasing block 8)");
    EXPECT_TRUE(sectorKept(0)) << "nothing is erased when a sector is refused";
    r = qz_erase(-2, 0, 0, nullptr, 0, (dir + "/missing.hex").c_str());
    EXPECT_EQ(r->status, -15);
    EXPECT_STREQ(r->text, "Unable to open Hex file. Reselect the Hex file.");
}

TEST_F(EraseTest, CancelBeforeTheFirstSectorLeavesFlashAlone)
{
    g_cancelOnEvent = 1;
    const IspResult* r = qz_erase(0, 0xFF, 0, record, 0, nullptr);
    EXPECT_EQ(r->status, -20);
    EXPECT_STREQ(r->text, "The operation was cancelled.");
    EXPECT_EQ(sim.flash(), full);
}

TEST_F(EraseTest, BlankCheck)
{
    ASSERT_EQ(qz_erase(0, 0x04, 0, nullptr, 0, nullptr)->status, 1);
    EXPECT_EQ(qz_blank_check(0x2000, 0x2FFF)->status, 2);
    sim.writeFlash(0x2468, {0x00});
    const IspResult* r = qz_blank_check(0x2000, 0x2FFF);
    EXPECT_EQ(r->status, 3);
    EXPECT_EQ(r->data[0] << 16 | r->data[1] << 8 | r->data[2], 0x2468);
    EXPECT_EQ(qz_blank_check(0x2000, 0x2FFE)->status, -5);
}

// ---- program --------------------------------------------------------------------

TEST_F(OpsTest, VectorChecksumMakesTheFirstEightWordsSumToZero)
{
    std::vector<std::uint8_t> image(28);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(0x11 * (i + 1));
    const std::string hex = hexFile(image);
    connectOrFail();
    ASSERT_EQ(qz_erase(-2, 0, 0, nullptr, 0, hex.c_str())->status, 1);
    ASSERT_EQ(qz_program(hex.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, 1);
    const auto f = sim.flash();
    std::uint32_t sum = 0;
    for (int w = 0; w < 8; ++w)
        sum += f[w * 4] | f[w * 4 + 1] << 8 | f[w * 4 + 2] << 16 | static_cast<std::uint32_t>(f[w * 4 + 3]) << 24;
    EXPECT_EQ(sum, 0u);
}

TEST_F(OpsTest, ChecksumAdjusterBytesMakeUsedSectorsSumToAB)
{
    const std::vector<std::uint8_t> image = firmwareImage(0x2000, 0x1800, 13); // sectors 0 and 1
    const std::string hex = hexFile(image);
    connectOrFail();
    ASSERT_EQ(qz_erase(-3, 0, 0, nullptr, 0, nullptr)->status, 1);
    ASSERT_EQ(qz_program(hex.c_str(), 1, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, 1);
    const auto f = sim.flash();
    for (int sector = 0; sector < 3; ++sector) {
        unsigned sum = 0;
        for (int i = 0; i < 0x1000; ++i)
            sum += f[sector * 0x1000 + i];
        if (sector < 2)
            EXPECT_EQ(sum & 0xFF, 0xABu) << sector;
        else
            EXPECT_EQ(f[0x2FFF], 0xFF) << "an unused sector is left alone";
    }
    EXPECT_EQ(qz_verify(hex.c_str(), 1, nullptr, 0)->status, 1) << "its adjuster bytes are skipped";
    EXPECT_EQ(qz_verify(hex.c_str(), 0, nullptr, 0)->status, -17);
}

TEST_F(OpsTest, RamDataAtTheLastAddressIsWrittenAsOneWord)
{
    const std::string path = file("ram.hex");
    writeFile(path, ":020000041000EA\n:01000400AA51\n:00000001FF\n");
    connectOrFail();
    sim.clearRecords();
    ASSERT_EQ(qz_program(path.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, record, 0)->status, 1);
    const auto cmds = sim.commands();
    EXPECT_NE(std::find(cmds.begin(), cmds.end(), "W 268435460 4"), cmds.end());
    EXPECT_EQ(valuesOf(3), std::vector<int>{0x10000004});
    EXPECT_EQ(sim.ram()[4], 0xAA);
}

TEST_F(OpsTest, CancelDuringProgramming)
{
    const std::string hex = hexFile(firmwareImage(0x8000, 0x3000, 1));
    connectOrFail();
    ASSERT_EQ(qz_erase(-3, 0, 0, nullptr, 0, nullptr)->status, 1);
    g_cancelOnEvent = 3;
    EXPECT_EQ(qz_program(hex.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, record, 0)->status, -20);
    EXPECT_EQ(valuesOf(3).size(), 1u) << "nothing after the cancelling event";
    ASSERT_EQ(qz_program(hex.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, 1);
    g_events.clear();
    g_cancelOnEvent = 6;
    EXPECT_EQ(qz_verify(hex.c_str(), 1, record, 0)->status, -20);
    EXPECT_EQ(valuesOf(6), std::vector<int>{0});
}

TEST_F(OpsTest, ResendLimitWhileProgramming)
{
    const std::string hex = hexFile(firmwareImage(0x8000, 0x800, 2));
    connectOrFail();
    ASSERT_EQ(qz_erase(-3, 0, 0, nullptr, 0, nullptr)->status, 1);
    sim::LpcFaults f;
    f.resendWriteChecksums = 2;
    sim.setFaults(f);
    ASSERT_EQ(qz_program(hex.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, 1);
    f.resendWriteChecksums = 3;
    sim.setFaults(f);
    const IspResult* r = qz_program(hex.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (programming - failed to send data to the device)");
    EXPECT_TRUE(sleeper.paused(1000));
}

TEST_F(OpsTest, ReadChecksumLimitAndVerifyReadFailures)
{
    const std::vector<std::uint8_t> image = firmwareImage(0x8000, 0x400, 4);
    const std::string hex = hexFile(image);
    sim.setFlash(withVectorChecksum(image));
    connectOrFail();
    sim::LpcFaults f;
    f.corruptReadChecksums = 3; // the first read gives up, the retry succeeds
    sim.setFaults(f);
    ASSERT_EQ(qz_verify(hex.c_str(), 1, nullptr, 0)->status, 1);
    f.corruptReadChecksums = 1000; // every retry fails: reported, never compared
    sim.setFaults(f);
    const IspResult* r = qz_verify(hex.c_str(), 1, nullptr, 0);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (reading device)");
}

// ---- read-back --------------------------------------------------------------

TEST_F(OpsTest, ReadBackFileLoadsBackToTheSameBytes)
{
    const std::vector<std::uint8_t> image = withVectorChecksum(firmwareImage(0x8000, 0x8000, 9));
    sim.setFlash(image);
    connectOrFail();
    const std::string out = file("readback.hex");
    ASSERT_EQ(qz_read_data(0, 0x7FFF, out.c_str(), record, 0)->status, 1);
    const std::vector<int> progress = valuesOf(7);
    EXPECT_EQ(progress.size(), 0x8000u / 640);
    EXPECT_EQ(progress.front(), 9 * 64);

    std::vector<std::uint8_t> loaded(0x8000, 0x00);
    FILE* f = std::fopen(out.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    qz::load_hex_file(f, loaded.data(), 0, 0x7FFF, nullptr);
    std::fclose(f);
    EXPECT_EQ(loaded, image);
    const std::string text = readFile(out);
    EXPECT_EQ(text.substr(0, 16), ":020000040000FA\n");
    EXPECT_EQ(text.substr(text.size() - 12), ":00000001FF\n");

    std::vector<std::uint8_t> buffer(0x1001, 0xEE);
    ASSERT_EQ(qz_read_data_to_buffer(0x100, 0x1100, buffer.data(), nullptr, 0)->status, 1);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), image.begin() + 0x100));
}

// ---- code read protection -----------------------------------------------------

TEST_F(OpsTest, CrpWriteAndRead)
{
    std::vector<std::uint8_t> image = firmwareImage(0x8000, 0x800, 6);
    std::fill(image.begin() + 0x2FC, image.begin() + 0x300, 0xFF); // flash is written without an erase
    sim.setFlash(withVectorChecksum(image));
    connectOrFail();
    const IspResult* r = qz_read_security_bits();
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(r->data[0], 0);

    const unsigned crp1 = 0x12345678;
    ASSERT_EQ(qz_program_security_bits(&crp1)->status, 1);
    EXPECT_EQ(sim.readMemory(0x2FC, 4), (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));
    reenter();
    r = qz_read_security_bits();
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(r->data[0], 1);
    r = qz_read_data(0, 0xFF, file("protected.hex").c_str(), nullptr, 0);
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (reading data - security violation in device)");
}

TEST_F(OpsTest, CrpLevelTwo)
{
    std::vector<std::uint8_t> image = withVectorChecksum(firmwareImage(0x8000, 0x800, 6));
    image[0x2FC] = 0x21, image[0x2FD] = 0x43, image[0x2FE] = 0x65, image[0x2FF] = 0x87;
    sim.setFlash(image);
    sim.stop();
    sim.enterIsp();
    ASSERT_TRUE(sim.start());
    connectOrFail();
    const IspResult* r = qz_read_security_bits();
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(r->data[0], 2);
    EXPECT_STREQ(r->text, "CRP set to level 2 or 3");
}

TEST_F(OpsTest, CommunicationFailureIsNotProtection)
{
    connectOrFail();
    sim::LpcFaults f;
    f.corruptReadChecksums = 1000;
    sim.setFaults(f);
    const IspResult* r = qz_read_security_bits();
    EXPECT_EQ(r->status, -18);
    EXPECT_STREQ(r->text, "Operation Failed. (reading code read protection state)");
}

// ---- connect ---------------------------------------------------------------------

TEST_F(OpsTest, SilentPartFailsAutobaudAndClosesThePort)
{
    sim::LpcFaults f;
    f.mute = true;
    sim.setFaults(f);
    qz_set_autobaud_configuration(20, 50, 3);
    const IspResult* r = connect(vantrelOptions(sim.slavePath()));
    EXPECT_EQ(r->status, -18);
    EXPECT_EQ(std::string(r->text).rfind("Operation Failed.  Failed to autobaud - step 1. See", 0), 0u)
        << r->text;
    EXPECT_EQ(qz_get_comport_handle(), -1);
}

TEST_F(OpsTest, ConnectRefusals)
{
    ConnectOptions o = vantrelOptions(sim.slavePath());
    EXPECT_EQ(qz_connect(&o, 1130)->status, -16);
    o.high_speed = 1;
    o.oscillator_mhz = 0.0;
    EXPECT_EQ(connect(o)->status, -5);
    o = vantrelOptions(sim.slavePath());
    o.device_id = 1;
    EXPECT_EQ(connect(o)->status, -5);
    o = vantrelOptions("/dev/no-such-port");
    const IspResult* r = connect(o);
    EXPECT_EQ(r->status, -2);
    EXPECT_STREQ(r->text, "Unable to communicate. (in use)");
    EXPECT_EQ(qz_get_comport_handle(), -1);
}

// A name that fills the whole 50-byte field has no end. Its first 49
// characters name a link to the simulated part here, which a cut name would
// open and connect to.
TEST_F(OpsTest, PortNameFillingItsFieldIsRefused)
{
    ConnectOptions o = vantrelOptions(sim.slavePath());
    std::string link = dir + "/";
    link += std::string(sizeof o.port_name - 1 - link.size(), 'p');
    ASSERT_EQ(link.size(), sizeof o.port_name - 1);
    files.push_back(link);
    ASSERT_EQ(::symlink(sim.slavePath().c_str(), link.c_str()), 0);
    std::memcpy(o.port_name, (link + "X").data(), sizeof o.port_name); // no NUL
    const IspResult* r = connect(o);
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, "Invalid value or command sent. Please try the operation again. (port name too long)");
    EXPECT_EQ(qz_get_comport_handle(), -1);
    EXPECT_TRUE(sim.commands().empty());
    // The same link with its end in the field connects.
    std::snprintf(o.port_name, sizeof o.port_name, "%s", link.c_str());
    r = connect(o);
    EXPECT_EQ(r->status, 1) << r->text;
}

TEST_F(OpsTest, ConnectsToAPartAlreadyInCommandMode)
{
    connectOrFail();
    qz_disconnect();
    // The part stays in command mode: its echo answers the sync character.
    connectOrFail();
    EXPECT_EQ(qz_read_signature()->status, 1);
}

class HighSpeedTest : public OpsTest {
protected:
    HighSpeedTest() : OpsTest(sim::lpc::lpc11c24(), sim::LpcSim::Options{true, false}) {}
};

TEST_F(HighSpeedTest, SwitchesToTheHighestRateTheUserAllows)
{
    ConnectOptions o = vantrelOptions(sim.slavePath());
    o.high_speed = 1;
    o.max_baud_rate = 115200;
    const IspResult* r = connect(o);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(r->data[0] << 24 | r->data[1] << 16 | r->data[2] << 8 | r->data[3], 115200);
    EXPECT_EQ(sim.baud(), 115200u);
    EXPECT_EQ(sim.pty().baudRate(), 115200u);
    EXPECT_TRUE(sleeper.paused(500));
    r = qz_read_signature();
    ASSERT_EQ(r->status, 1);
    EXPECT_STREQ(r->text, std::to_string(sim.part().partId[0]).c_str());
}

TEST_F(OpsTest, HalfDuplexProgramsAndReads)
{
    ConnectOptions o = vantrelOptions(sim.slavePath());
    o.half_duplex = 1;
    ASSERT_EQ(connect(o)->status, 1);
    const std::vector<std::uint8_t> image = firmwareImage(0x8000, 0x400, 8);
    const std::string hex = hexFile(image);
    ASSERT_EQ(qz_erase(-2, 0, 0, nullptr, 0, hex.c_str())->status, 1);
    ASSERT_EQ(qz_program(hex.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, 1);
    EXPECT_EQ(qz_verify(hex.c_str(), 1, nullptr, 0)->status, 1);
    EXPECT_EQ(sim.flash(), withVectorChecksum(image));
}

// A part that synchronises but refuses the oscillator frequency.
TEST(ConnectHandshake, RefusedOscillatorClosesThePort)
{
    qz::reset_session_slots();
    sim::Pty pty;
    enginetest::ScriptedPart part(pty);
    part.echo = false;
    bool synced = false;
    part.onByte = [&](unsigned char c, std::string& answer) {
        if (c != '?' || synced)
            return false;
        synced = true;
        answer = "Synchronized\r\n";
        return true;
    };
    part.onLine = [&](const std::string& line) -> std::string {
        if (line == "Synchronized")
            return "Synchronized\rOK\r\n";
        return line + "\r" + "1\r\n"; // echo of the frequency, then no "OK"
    };
    part.start();
    const ConnectOptions o = vantrelOptions(pty.slavePath());
    const IspResult* r = qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE);
    EXPECT_EQ(r->status, -18) << r->text;
    EXPECT_EQ(qz_get_comport_handle(), -1);
    part.stop();
    qz::reset_session_slots();
}

// ---- boot ROM queries, reset --------------------------------------------------------

TEST_F(OpsTest, SignatureBootCodeVersionSerialNumber)
{
    connectOrFail();
    const auto& p = sim.part();
    EXPECT_STREQ(qz_read_signature()->text, std::to_string(p.partId[0]).c_str());
    EXPECT_STREQ(qz_bootloader_version()->text,
                 (std::to_string(p.bootMajor) + "." + std::to_string(p.bootMinor)).c_str());
    const IspResult* r = qz_serial_number();
    ASSERT_EQ(r->status, 1);
    EXPECT_STREQ(r->text, (std::to_string(p.serial[0]) + " " + std::to_string(p.serial[1]) + " " +
                           std::to_string(p.serial[2]) + " " + std::to_string(p.serial[3]))
                              .c_str());
    EXPECT_EQ(qz_activate_flash_bank(1)->status, -5);
}

TEST_F(OpsTest, ResetThroughTheVectorTableStartsItsEntry)
{
    connectOrFail();
    // A vector table in RAM: stack pointer, then the entry.
    sim.writeRam(0x10001000, {0x00, 0x20, 0x00, 0x10, 0x41, 0x02, 0x00, 0x00});
    const IspResult* r = qz_reset(1, 0x10001000, 3 | (50u << 16));
    ASSERT_EQ(r->status, 1) << r->text;
    ASSERT_TRUE(sim.waitForState(sim::lpc::RomState::Running, 5000));
    const sim::ResetEvent e = sim.resets().back();
    EXPECT_EQ(e.cause, sim::ResetEvent::Cause::VectorTable);
    EXPECT_EQ(e.sp, 0x10002000u);
    EXPECT_EQ(e.entry & ~1u, 0x240u);
    EXPECT_TRUE(sleeper.paused(50));
}

TEST_F(OpsTest, OperationsWithoutAPort)
{
    EXPECT_EQ(qz_disconnect()->status, -7);
    EXPECT_EQ(qz_verify("x.hex", 0, nullptr, 0)->status, -7);
    EXPECT_EQ(qz_program("x.hex", 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status, -7);
    EXPECT_EQ(qz_read_signature()->status, -7);
    EXPECT_EQ(qz_reset(0, 0, 1)->status, -7);
    ASSERT_EQ(qz_select_device(4022, 0)->status, 1);
    const unsigned crp = 0;
    const IspResult* r = qz_program_security_bits(&crp);
    EXPECT_EQ(r->status, -2);
    EXPECT_STREQ(r->text, "Unable to communicate. (transmit/receive)");
}

// ---- EEPROM ------------------------------------------------------------------

class EepromTest : public OpsTest {
protected:
    EepromTest() : OpsTest(*sim::lpc::findPart("DAP-S/01")) {}
};

TEST_F(EepromTest, OddLengthRoundTrip)
{
    ConnectOptions o = vantrelOptions(sim.slavePath());
    o.device_id = 11001;
    ASSERT_EQ(connect(o)->status, 1);
    std::unique_ptr<unsigned char[]> data(new unsigned char[1001]); // ASan guards its end
    for (int i = 0; i < 1001; ++i)
        data[i] = static_cast<unsigned char>(i * 13 + 1);
    const IspResult* r = qz_program_eeprom_from_buffer(data.get(), 0x40, 1001);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_TRUE(std::equal(data.get(), data.get() + 1001, sim.eeprom().begin() + 0x40));
    std::vector<unsigned char> back(1001);
    ASSERT_EQ(qz_read_eeprom_to_buffer(back.data(), 0x40, 1001)->status, 1);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), data.get()));
}

TEST_F(OpsTest, EepromRefusedOnPartsWithout)
{
    connectOrFail();
    unsigned char b[4] = {};
    EXPECT_EQ(qz_program_eeprom_from_buffer(b, 0, 4)->status, -16);
}

// ---- faults of the programming engine ---------------------------------------------

// These refuse before the part is asked anything; a raw connection gives
// them an open port.
class RawPortTest : public OpsTest {
protected:
    void SetUp() override
    {
        OpsTest::SetUp();
        ASSERT_EQ(qz_raw_connect(sim.slavePath().c_str(), 9600, 0)->status, 1);
    }
};

TEST_F(RawPortTest, FlashlessPartAnswersNoFlashMemory)
{
    ASSERT_EQ(qz_select_device(18000, 0)->status, 1); // LPC1850
    const std::string hex = hexFile({0x00, 0x01, 0x02, 0x03});
    const IspResult* r = qz_program(hex.c_str(), 0, 1, 0x00, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0);
    EXPECT_EQ(r->status, -16);
    EXPECT_STREQ(r->text, "Device does not support operation. (no flash memory)");
    EXPECT_EQ(qz_erase(-3, 0, 0, nullptr, 0, nullptr)->status, -16);
    EXPECT_EQ(qz_verify(hex.c_str(), 0, nullptr, 0)->status, -16);
    EXPECT_EQ(qz_blank_check(0, 0xFFF)->status, -16);
}

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

TEST_F(RawPortTest, UpdateBootloaderIsNotSupported)
{
    ASSERT_EQ(qz_select_device(4022, 0)->status, 1);
    EXPECT_EQ(qz_update_bootloader("x.hex", nullptr, 0)->status, -16);
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
                      "printf ':0400100001020304E6\\n:00000001FF\\n' > \"$data\"\n"
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

namespace {

// ---- other families of parts --------------------------------------------------

class PartTest : public OpsTest, public ::testing::WithParamInterface<const char*> {
protected:
    PartTest() : OpsTest(*sim::lpc::findPart(GetParam())) {}
    ConnectOptions options(int bank = 0)
    {
        ConnectOptions o = vantrelOptions(sim.slavePath());
        o.device_id = sim.part().deviceNumber;
        o.flash_bank = bank;
        return o;
    }
};

// Binary transfer and CR LF (LPC810), 256-byte blocks (LPC1110), the
// LPC13xx and LPC17xx vector maps (LPC1343, LPC1768), two banks with CR LF
// and two id words (LPC4357).
TEST_P(PartTest, ProgramVerifyAndReadBackTheLastBank)
{
    const int bank = static_cast<int>(sim.part().banks.size()) - 1;
    const sim::lpc::Bank& b = sim.part().banks[bank];
    const std::size_t size = std::min<std::size_t>(b.end - b.start + 1, 0x3000);
    const std::vector<std::uint8_t> image = firmwareImage(size, size - 0x100, 11);
    const std::string hex = hexFile(image, b.start);
    const IspResult* r = connect(options(bank));
    ASSERT_EQ(r->status, 1) << r->text;
    r = qz_read_signature();
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_STREQ(r->text, std::to_string(sim.part().partId[0]).c_str());
    r = qz_erase(-2, 0, 0, nullptr, 0, hex.c_str());
    ASSERT_EQ(r->status, 1) << r->text;
    r = qz_program(hex.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    r = qz_verify(hex.c_str(), 1, nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    std::vector<std::uint8_t> stored = sim.flash(bank);
    stored.resize(size);
    std::vector<std::uint8_t> expected = image;
    // Parts that keep a vector checksum the image sets have none set here.
    for (int i = 0x1C; i < 0x20; ++i)
        expected[i] = stored[i];
    EXPECT_EQ(stored, expected);
    std::vector<std::uint8_t> back(0x400);
    r = qz_read_data_to_buffer(b.start, b.start + 0x3FF, back.data(), nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_TRUE(std::equal(back.begin(), back.end(), stored.begin()));
    EXPECT_EQ(sim.remapRegister(), 0u) << "the boot ROM's vectors are mapped back after a read";
}

INSTANTIATE_TEST_SUITE_P(Families, PartTest,
                         ::testing::Values("LPC810M021FN8", "LPC1110", "LPC1343", "LPC1768", "LPC4357"),
                         [](const ::testing::TestParamInfo<const char*>& i) {
                             std::string n = i.param;
                             return n.substr(0, 7);
                         });

class TwoBankTest : public OpsTest {
protected:
    TwoBankTest() : OpsTest(*sim::lpc::findPart("LPC4357")) {}
    void connectTwoBank()
    {
        ConnectOptions o = vantrelOptions(sim.slavePath());
        o.device_id = sim.part().deviceNumber;
        const IspResult* r = connect(o);
        ASSERT_EQ(r->status, 1) << r->text;
    }
};

TEST_F(TwoBankTest, ActivatesAFlashBank)
{
    connectTwoBank();
    sim.clearRecords();
    const IspResult* r = qz_activate_flash_bank(1);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(sim.commands(), std::vector<std::string>{"S 1"});
    r = qz_activate_flash_bank(2);
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, "Invalid value or command sent. Please try the operation again. invalid flash bank number");
    EXPECT_EQ(sim.commands().size(), 1u) << "a refused bank is not sent";
}

// Some LPC18xx/43xx answer "J" with one id word only.
TEST_F(TwoBankTest, SignatureWithOneIdWordMissing)
{
    connectTwoBank();
    sim::LpcFaults f;
    f.oneIdWord = true;
    sim.setFaults(f);
    const IspResult* r = qz_read_signature();
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_STREQ(r->text, std::to_string(sim.part().partId[0]).c_str());
    EXPECT_EQ(qz_bootloader_version()->status, 1) << "the line is in step after the wait";
}

class SmallBlockTest : public OpsTest {
protected:
    SmallBlockTest() : OpsTest(*sim::lpc::findPart("LPC1110")) {}
};

// With 256-byte program blocks the CRP word lies in the third block; right
// after connecting the boot ROM is still locked.
TEST_F(SmallBlockTest, CrpWordIsWrittenIntoTheBlockThatHoldsIt)
{
    std::vector<std::uint8_t> image = withVectorChecksum(firmwareImage(0x1000, 0x200, 12));
    sim.setFlash(image);
    ConnectOptions o = vantrelOptions(sim.slavePath());
    o.device_id = 4028;
    ASSERT_EQ(connect(o)->status, 1);
    const unsigned crp1 = 0x12345678;
    const IspResult* r = qz_program_security_bits(&crp1);
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(sim.readMemory(0x2FC, 4), (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(sim.readMemory(0, 0x200), std::vector<std::uint8_t>(image.begin(), image.begin() + 0x200));
}

class LargeFlashTest : public OpsTest {
protected:
    LargeFlashTest() : OpsTest(sim::lpc::lpc1768()) {}
};

// A read-out record never runs over a 64 KiB boundary.
TEST_F(LargeFlashTest, ReadBackAcrossA64KiBBoundary)
{
    std::vector<std::uint8_t> image(0x20000);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i ^ (i >> 9));
    sim.setFlash(image);
    ConnectOptions o = vantrelOptions(sim.slavePath());
    o.device_id = 2008;
    ASSERT_EQ(connect(o)->status, 1);
    const std::string out = file("boundary.hex");
    const IspResult* r = qz_read_data(0xFFF0, 0x1002F, out.c_str(), nullptr, 0);
    ASSERT_EQ(r->status, 1) << r->text;
    std::vector<std::uint8_t> loaded(0x20000, 0xEE);
    FILE* f = std::fopen(out.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    qz::load_hex_file(f, loaded.data(), 0, 0x1FFFF, nullptr);
    std::fclose(f);
    EXPECT_TRUE(std::equal(loaded.begin() + 0xFFF0, loaded.begin() + 0x10030, image.begin() + 0xFFF0));
    EXPECT_EQ(loaded[0xFFEF], 0xEE);
    EXPECT_EQ(loaded[0x10030], 0xEE);
    EXPECT_NE(readFile(out).find(":020000040001F9\n"), std::string::npos);
}

} // namespace
