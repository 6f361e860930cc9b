// qz_connect with start method 0: the part's own boot download of the
// loader, a loader that already runs, and the connect's refusals.
#include "isp/core/serialport.h"
#include "isp/extflash/descriptor.h"
#include "tests/isp/extflash/extflashfixture.h"

#include <sys/stat.h>

#include <chrono>
#include <functional>

namespace {

using exttest::Persona;

const char* const kBadDescriptorText =
    "Invalid value or command sent. Please try the operation again.  Invalid bootloader descriptor. "
    "Double-check bootloader hex file being used.";

class ConnectTest : public exttest::ExtFlashTest {};

TEST_F(ConnectTest, DownloadsTheLoaderThroughTheBootRomAndFindsItRunning)
{
    prepare(Persona::BootRom);
    const IspResult* r = connect();
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(sim->downloads(), 1);
    const std::vector<std::uint8_t> image = sim::loader::loaderImage(desc);
    const std::vector<std::uint8_t> ram = sim->ram();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), ram.begin()));
    EXPECT_EQ(sim->lastBlockCount(), (image.size() + 511) / 512);
    // The caller's rate, most significant byte first.
    EXPECT_EQ(r->data[0], 0x00);
    EXPECT_EQ(r->data[1], 0x01);
    EXPECT_EQ(r->data[2], 0xC2);
    EXPECT_EQ(r->data[3], 0x00);
    EXPECT_TRUE(qz::port_is_open());
    EXPECT_EQ(exttest::sleeps(rec.take()), std::vector<std::string>{"sleep 300"});
}

TEST_F(ConnectTest, ALoaderWhoseLastByteLiesAt1000IsSentAsTwoBlocks)
{
    loaderPath = writeText("loader.hex", sim::loader::loaderHex(desc, 1001 - 316));
    sim = std::make_unique<sim::LoaderSim>(exttest::configFor(desc));
    ASSERT_TRUE(sim->start(Persona::BootRom));
    ASSERT_EQ(connect()->status, 1);
    EXPECT_EQ(sim->lastBlockCount(), 2u);
    EXPECT_EQ(sim->downloadedBytes(), 1024u);
}

TEST_F(ConnectTest, ARamStartOffTheBlockGridDoesNotCutTheLoader)
{
    // 1200 bytes from 0x10000100: three blocks from the RAM start, though
    // rounding the end to the 512-byte grid would leave two.
    desc.ramStart = 0x10000100;
    desc.ramEnd = 0x100080FF;
    loaderPath = writeText("loader.hex", sim::loader::loaderHex(desc, 1200 - 316));
    sim = std::make_unique<sim::LoaderSim>(exttest::configFor(desc));
    ASSERT_TRUE(sim->start(Persona::BootRom));
    ASSERT_EQ(connect()->status, 1);
    EXPECT_EQ(sim->lastBlockCount(), 3u);
    const std::vector<std::uint8_t> image = sim::loader::loaderImage(desc, 1200 - 316);
    ASSERT_EQ(image.size(), 1200u);
    const std::vector<std::uint8_t> ram = sim->ram();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), ram.begin()));
}

TEST_F(ConnectTest, ALoaderLargerThanTheLineBuffersIsDownloadedAt9600WithTheDefaultWriteTimeout)
{
    // 28 KiB: more than the pty and the part take in at once, so block
    // writes wait for the wire (533 ms a block at 9600), and the loader
    // announces itself only once the last block has crossed it. The write
    // time-out is the default; the read time-out is wider than the default
    // 50 ms so a query answered late on a loaded machine cannot fail the
    // test, yet far below the seconds the bytes in flight need at 9600.
    qz_set_autobaud_configuration(1000, qz::kDefaultAutobaudWriteTimeoutMs, qz::kDefaultAutobaudAttempts);
    const std::size_t imageSize = 28 * 1024;
    loaderPath = writeText("loader.hex", sim::loader::loaderHex(desc, imageSize - 316));
    sim = std::make_unique<sim::LoaderSim>(exttest::configFor(desc), sim::LoaderSimOptions{true});
    ASSERT_TRUE(sim->start(Persona::BootRom));
    const ConnectOptions o = options(0, 9600);
    const auto began = std::chrono::steady_clock::now();
    const IspResult* r = qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE);
    const auto took = std::chrono::steady_clock::now() - began;
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(sim->lastBlockCount(), imageSize / 512);
    const std::vector<std::uint8_t> image = sim::loader::loaderImage(desc, imageSize - 316);
    const std::vector<std::uint8_t> ram = sim->ram();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), ram.begin()));
    // The part took every byte at the wire's pace.
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(),
              static_cast<long long>((16 + imageSize) * 10 * 1000 / 9600));
}

TEST_F(ConnectTest, ALoaderThatRunsAlreadyIsNotDownloadedAgain)
{
    prepare(Persona::Loader);
    ASSERT_EQ(connect()->status, 1);
    EXPECT_EQ(sim->downloads(), 0);
    EXPECT_EQ(sim->queries(), 1);
}

TEST_F(ConnectTest, AVersionOneDescriptorConnectsByItsOwnDownload)
{
    // Version 1 has no start method field: its own download, whatever its
    // ISP baud; no Cortex driver is needed.
    desc.version = 1;
    desc.reserved44 = 115200;
    qz::ext::set_cortex_library_file("libNoSuchCortexDriver.so");
    prepare(Persona::BootRom);
    const IspResult* r = connect();
    ASSERT_EQ(r->status, 1) << r->text;
    EXPECT_EQ(sim->downloads(), 1);
}

TEST_F(ConnectTest, APartThatStaysSilentFailsTheAutobaudAndClosesThePort)
{
    prepare(Persona::BootRom);
    sim->setFaults({0, 0, 0, true});
    qz_set_autobaud_configuration(50, 150, 20);
    const IspResult* r = connect();
    EXPECT_EQ(r->status, -18);
    EXPECT_EQ(std::string(r->text).rfind("Operation Failed.  Failed to autobaud. See ", 0), 0u) << r->text;
    EXPECT_FALSE(qz::port_is_open());
}

TEST_F(ConnectTest, ALoaderFileWithoutDataForRamFailsTheDownload)
{
    // The descriptor lies outside the RAM it names.
    desc.ramStart = 0x20000000;
    desc.ramEnd = 0x20007FFF;
    loaderPath = writeText("loader.hex", sim::loader::hexText(0x10000000, sim::loader::loaderImage(desc)));
    sim = std::make_unique<sim::LoaderSim>(exttest::configFor(desc));
    ASSERT_TRUE(sim->start(Persona::BootRom));
    EXPECT_EQ(connect()->status, -18);
    EXPECT_EQ(sim->downloads(), 0);
}

TEST_F(ConnectTest, RefusalsBeforeAnyPortIsOpened)
{
    prepare(Persona::Loader);
    ConnectOptions o = options();
    EXPECT_EQ(qz_connect(&o, 1130)->status, -16);
    EXPECT_STREQ(qz_connect(&o, 1130)->text, "Device does not support operation. Only COM connections supported.");

    std::snprintf(o.flash_loader_path, sizeof o.flash_loader_path, "%s", path("missing.hex").c_str());
    const IspResult* r = qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE);
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, kBadDescriptorText);

    o = options();
    std::memset(o.flash_loader_path, 'a', sizeof o.flash_loader_path);
    EXPECT_EQ(qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE)->status, -5);

    o = options();
    std::memset(o.port_name, 'a', sizeof o.port_name);
    EXPECT_EQ(qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE)->status, -5);

    EXPECT_FALSE(qz::port_is_open());
    EXPECT_EQ(sim->queries(), 0);
}

// One record of a sound loader file damaged, and what the refusal names.
struct Damage {
    const char* reason;
    std::function<void(std::string& line)> apply;
};

TEST_F(ConnectTest, ADamagedLoaderFileIsRefusedBeforeAnythingIsSent)
{
    const Damage damages[] = {
        {"checksum", [](std::string& l) { l[9] = l[9] == '0' ? '1' : '0'; }},
        {"not a record", [](std::string& l) { l[10] = 'G'; }},
        {"length", [](std::string& l) { l.erase(l.size() - 2); }},
    };
    for (const Damage& damage : damages) {
        prepare(Persona::BootRom);
        std::string hex = sim::loader::loaderHex(desc);
        // Line 3: a data record of the loader's code.
        const std::size_t from = hex.find('\n', hex.find('\n') + 1) + 1;
        std::string line = hex.substr(from, hex.find('\n', from) - from);
        damage.apply(line);
        hex.replace(from, hex.find('\n', from) - from, line);
        writeText("loader.hex", hex);
        const IspResult* r = connect();
        EXPECT_EQ(r->status, -5) << damage.reason;
        EXPECT_EQ(std::string(r->text), std::string(kBadDescriptorText) + " (line 3: " + damage.reason + ")");
        EXPECT_FALSE(qz::port_is_open());
        EXPECT_EQ(sim->bytesReceived(), 0u) << damage.reason;
        sim->stop();
    }
}

TEST_F(ConnectTest, ARamRangeTooLargeToDownloadIsABadDescriptor)
{
    desc.ramEnd = desc.ramStart + 0x2000000 - 1; // 32 MiB
    prepare(Persona::BootRom);
    const IspResult* r = connect();
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, kBadDescriptorText);
    EXPECT_FALSE(qz::port_is_open());
    EXPECT_EQ(sim->queries(), 0);
}

TEST_F(ConnectTest, ALoaderPathThatIsNoRegularFileIsRefusedAtOnce)
{
    prepare(Persona::Loader);
    const std::string fifo = path("loader.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ConnectOptions o = options();
    for (const std::string& p : {fifo, tmp.path()}) {
        std::snprintf(o.flash_loader_path, sizeof o.flash_loader_path, "%s", p.c_str());
        EXPECT_EQ(qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE)->status, -5) << p;
    }
    EXPECT_FALSE(qz::port_is_open());
}

TEST_F(ConnectTest, AnUnknownStartMethodIsRefusedWithoutAPort)
{
    desc.startMethod = 7;
    prepare(Persona::Loader);
    const IspResult* r = connect();
    EXPECT_EQ(r->status, -5);
    EXPECT_STREQ(r->text, kBadDescriptorText);
    EXPECT_FALSE(qz::port_is_open());
}

TEST_F(ConnectTest, APortThatCannotBeOpenedIsInUse)
{
    prepare(Persona::Loader);
    ConnectOptions o = options();
    std::snprintf(o.port_name, sizeof o.port_name, "%s", "/nonexistent/tty");
    const IspResult* r = qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE);
    EXPECT_EQ(r->status, -2);
    EXPECT_STREQ(r->text, "Unable to communicate. (in use)");
}

TEST_F(ConnectTest, DisconnectClosesThePortOnce)
{
    connectLoader();
    EXPECT_EQ(qz_disconnect()->status, 1);
    EXPECT_FALSE(qz::port_is_open());
    EXPECT_EQ(qz_disconnect()->status, -7);
}

} // namespace
