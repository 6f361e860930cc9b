// The firmware upgrade end to end: the worker wired as the main window wires
// it, the real QuasmeriteARMCortex, and the simulated converter that turns
// into its LPC11C24 boot ROM after "FU" and runs the new firmware after the
// library's reset.
#include "link/codec.h"
#include "link/firmwareupgrade.h"
#include "link/serialportthread.h"
#include "tests/isp/core/opsfixture.h"
#include "tests/link/open_line.h"
#include "tests/private_tmpdir.h"
#include "tests/sim/converter/converter_bootrom.h"
#include "tests/sim/converter/converter_sim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFlashSize = 0x8000;

// Code-like bytes over `used` bytes, the rest blank, the version marker
// inside.
std::vector<std::uint8_t> firmware(std::size_t used, const std::string& version, unsigned seed,
                                   std::size_t markerAt = 0x400)
{
    std::vector<std::uint8_t> image(kFlashSize, 0xFF);
    std::uint32_t x = seed * 2654435761u + 7;
    for (std::size_t i = 0; i < used; ++i) {
        x = x * 1664525u + 1013904223u;
        image[i] = static_cast<std::uint8_t>(x >> 24);
    }
    return sim::ConverterBootRom::withVersion(image, markerAt, version);
}

// How the firmware tab's "FU" goes: answered by the converter, sent to a
// part that is no longer the converter (its answer is not read), or not sent.
enum class Fu { Answered, Unread, None };

class UpgradeEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The library writes its log ("C:\qztest.qzd") into the temporary
        // folder: give it one of this test's own, before any thread runs.
        ASSERT_TRUE(tmpdir.enter("/tmp/vantrel-upgradeXXXXXX"));

        ASSERT_TRUE(converter.start());
        worker = std::make_unique<SerialPortThread>();
        QObject::connect(worker.get(), &SerialPortThread::FWProgress, &receiver,
                         [this](int v) { received.push_back(v); }, Qt::QueuedConnection);
        worker->moveToThread(&serialWorker);
        serialWorker.start();
        worker->start();
    }

    void TearDown() override
    {
        if (worker->port.isOpen())
            worker->port.close();
        worker->stop();
        worker->wait();
        serialWorker.quit();
        serialWorker.wait();
        worker.reset();
        bootRom.reset();
        converter.stop();
        tmpdir.leave();
    }

    bool openPort() { return openLine(worker->port, converter.portPath(), 115200); }

    QByteArray firmwareVersion()
    {
        char line[30];
        uint8_t len = 0;
        EXPECT_EQ(EncodeFirmwareVersion(line, sizeof line, &len), 0);
        return worker->sendSetupCommand(line, len);
    }

    std::string hexFile(const std::vector<std::uint8_t>& image, const std::string& name)
    {
        const std::string path = tmpdir.path() + "/" + name;
        opstest::writeFile(path, opstest::hexText(image));
        return path;
    }

    // What the firmware tab does: "FU", close the port, hand the target
    // over, start the slot; then wait for the final code.
    int upgrade(const std::string& hexPath, Fu fu = Fu::Answered)
    {
        if (fu != Fu::None) {
            if (!worker->port.isOpen() && !openPort())
                return -1;
            char line[30];
            uint8_t len = 0;
            EXPECT_EQ(EncodeFirmwareUpgrade(line, sizeof line, &len), 0);
            const QByteArray reply = worker->sendSetupCommand(line, len);
            if (fu == Fu::Answered) {
                EXPECT_EQ(reply, QByteArray("OK\r"));
            }
        }
        const std::string portName = converter.portPath();
        if (worker->port.isOpen())
            worker->port.close();
        received.clear();
        EXPECT_TRUE(worker->setUpgradeTarget(portName.c_str(), hexPath.c_str()));
        QMetaObject::invokeMethod(worker.get(), "Thread_FirmwareUpgrade", Qt::QueuedConnection);
        QElapsedTimer t;
        t.start();
        while (finalCodes() == 0 && t.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // Anything the loop still had to say arrives within its next pass.
        QElapsedTimer after;
        after.start();
        while (after.elapsed() < 1200)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(finalCodes(), 1) << "exactly one final code";
        EXPECT_FALSE(received.empty());
        if (received.empty())
            return -1;
        for (std::size_t i = 0; i + 1 < received.size(); ++i)
            EXPECT_TRUE(received[i] >= 0 && received[i] <= 98) << "progress " << received[i];
        return received.back();
    }

    int finalCodes() const
    {
        return static_cast<int>(std::count_if(received.begin(), received.end(),
                                              [](int v) { return v == 100 || v == 1000; }));
    }

    PrivateTmpdir tmpdir;
    sim::ConverterSim converter;
    std::unique_ptr<sim::ConverterBootRom> bootRom = std::make_unique<sim::ConverterBootRom>(converter);
    QObject receiver;
    QThread serialWorker;
    std::unique_ptr<SerialPortThread> worker;
    std::vector<int> received;
};

TEST_F(UpgradeEndToEnd, ConverterRunsTheNewFirmwareAndAnswersItsVersion)
{
    const std::vector<std::uint8_t> image = firmware(0x1A00, "V2.05", 1);
    const std::string hex = hexFile(image, "converter.hex");
    ASSERT_TRUE(openPort());
    EXPECT_EQ(firmwareVersion(), QByteArray("V2.01\r"));

    EXPECT_EQ(upgrade(hex), 100) << worker->lastMessage().toStdString();
    EXPECT_TRUE(worker->lastMessage().isNull());
    EXPECT_EQ(bootRom->bootRomEntries(), 1);
    ASSERT_TRUE(bootRom->waitForFirmwareStarts(1, 5000));

    // The flash holds the file; programming set the vector checksum at 0x1C.
    EXPECT_EQ(bootRom->flash(), opstest::withVectorChecksum(image));

    // The port opens again on the converter, which now runs V2.05.
    ASSERT_TRUE(openPort());
    EXPECT_EQ(firmwareVersion(), QByteArray("V2.05\r"));

    // The library's log went to the temporary folder, by its file name.
    EXPECT_GT(fs::file_size(tmpdir.path() + "/qztest.qzd"), 0u);
}

TEST_F(UpgradeEndToEnd, FailedUpgradeCanBeRepeatedAndAnImageInOneBlockReaches50)
{
    // A file that is not there: erase cannot read it, the library is
    // disconnected and the part stays in its boot ROM.
    EXPECT_EQ(upgrade(tmpdir.path() + "/missing.hex"), 1000);
    EXPECT_EQ(worker->lastMessage(), QString("erase error(error code:-15)\n"));
    EXPECT_EQ(qz_get_comport_handle(), -1) << "disconnected";
    EXPECT_EQ(bootRom->firmwareStarts(), 0);

    // Again, as the user would: "FU" now reaches the boot ROM. The image
    // lies wholly in the first block, so the first block reported is at 0.
    const std::vector<std::uint8_t> image = firmware(0x100, "V2.06", 2, 0x80);
    const std::string hex = hexFile(image, "tiny.hex");
    EXPECT_EQ(upgrade(hex, Fu::Unread), 100) << worker->lastMessage().toStdString();
    EXPECT_EQ(programMax.load(), 0u);
    EXPECT_EQ(fwProgress.load(), 98) << "verify ran to the last chunk";
    EXPECT_EQ(worker->lastMessage(), QString("erase error(error code:-15)\n")) << "kept after a success";
    ASSERT_TRUE(bootRom->waitForFirmwareStarts(1, 5000));
    EXPECT_EQ(bootRom->flash(), opstest::withVectorChecksum(image));
    ASSERT_TRUE(openPort());
    EXPECT_EQ(firmwareVersion(), QByteArray("V2.06\r"));
}

TEST_F(UpgradeEndToEnd, ConverterThatStaysInItsFirmwareFailsTheConnect)
{
    // No "FU": the converter answers nothing the boot ROM protocol expects.
    const std::string hex = hexFile(firmware(0x800, "V2.07", 3), "converter.hex");
    EXPECT_EQ(upgrade(hex, Fu::None), 1000);
    EXPECT_TRUE(worker->lastMessage().startsWith("connect error(error code:")) << worker->lastMessage().toStdString();
    EXPECT_EQ(qz_get_comport_handle(), -1);
    EXPECT_EQ(bootRom->bootRomEntries(), 0);
    ASSERT_TRUE(openPort());
    EXPECT_EQ(firmwareVersion(), QByteArray("V2.01\r"));
}

TEST(ConverterFirmwareImage, NamesItsVersionAfterTheMarker)
{
    auto image = [](const std::string& bytes) { return std::vector<std::uint8_t>(bytes.begin(), bytes.end()); };
    const std::pair<std::string, std::string> cases[] = {
        {std::string("\x12\x34VTRLFW:V2.05\0\xFF", 16), "V2.05"},
        {"VTRLFW:V2.05\r\nmore", "V2.05"},
        {"VTRLFW:0123456789ABCDEFGH", "0123456789ABCDE"}, // at most 15 characters
        {std::string("VTRLFW:V1.00\0VTRLFW:V9.99", 25), "V1.00"}, // the first marker counts
        {"VTRLFW:", ""},
        {"VTRLF:V2.05", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sim::ConverterBootRom::imageVersion(image(c.first)), c.second) << c.first;
    const auto placed = sim::ConverterBootRom::withVersion(std::vector<std::uint8_t>(4, 0xFF), 2, "V3.10");
    EXPECT_EQ(placed.size(), 2u + 7u + 5u + 1u);
    EXPECT_EQ(sim::ConverterBootRom::imageVersion(placed), "V3.10");
}

} // namespace
