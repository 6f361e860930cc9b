// An upgrade started on the firmware tab: a whole upgrade through the real
// library into the simulated converter's boot ROM, and each failing step of
// the upgrade and the window's lock while one runs (a stand-in library
// behind the worker).
#include "tests/app/firmwaretab_fixture.h"

#include <QSignalSpy>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using namespace fwtabtest;

namespace {

// ---- The real library, in slow motion --------------------------------------
// Every call goes to QuasmeriteARMCortex; the progress callbacks wait at the
// first report of each stage (programming, verifying, verified) until the
// window has shown it.

ProgressCallback innerProgram = nullptr;
ProgressCallback innerVerify = nullptr;
int heldStage = -1;

int stageOf(int value)
{
    if (value <= 0)
        return 0;
    if (value <= 50)
        return 1;
    return value < 98 ? 2 : 3;
}

void holdAtNewStage()
{
    const int stage = stageOf(static_cast<int>(fwProgress.load()));
    if (stage != heldStage) {
        heldStage = stage;
        holdUntilShown();
    }
}

int slowProgram(int event, int value, int extra, int user)
{
    const int r = innerProgram(event, value, extra, user);
    holdAtNewStage();
    return r;
}

int slowVerify(int event, int value, int extra, int user)
{
    const int r = innerVerify(event, value, extra, user);
    holdAtNewStage();
    return r;
}

const IspResult *slowProgramCall(const char *hexFile, int a, int b, int c, int d, const char *e, const char *f,
                                 int g, int h, int i, ProgressCallback cb, int user)
{
    innerProgram = cb;
    return cortexUpgradeApi().program(hexFile, a, b, c, d, e, f, g, h, i, slowProgram, user);
}

const IspResult *slowVerifyCall(const char *hexFile, int skip, ProgressCallback cb, int user)
{
    innerVerify = cb;
    return cortexUpgradeApi().verify(hexFile, skip, slowVerify, user);
}

UpgradeApi slowMotionApi()
{
    UpgradeApi api = cortexUpgradeApi();
    api.program = slowProgramCall;
    api.verify = slowVerifyCall;
    heldStage = -1;
    return api;
}

// ---- A whole upgrade ---------------------------------------------------------

TEST_F(MainWindowFirmwareTest, UpgradesTheConverterEndToEnd)
{
    ASSERT_NO_FATAL_FAILURE(connectSetup(true));
    EXPECT_EQ(w<QLineEdit>("FirmwareVersion")->text(), "V2.01\r");

    // 2 KiB of code in two program blocks, naming its version.
    std::vector<std::uint8_t> image = opstest::firmwareImage(0x800, 0x800, 5);
    image = sim::ConverterBootRom::withVersion(image, 0x300, "V2.05");
    ASSERT_EQ(image.size(), 0x800u);
    const std::string hex = writeFile("converter.hex", opstest::hexText(image));
    choose(QString::fromStdString(hex));
    ASSERT_EQ(w<QLineEdit>("FWFilePath")->text(), QString::fromStdString(hex));

    const UpgradeApi api = slowMotionApi();
    installUpgradeApi(&api);
    QSignalSpy started(window.get(), SIGNAL(Thread_FirmwareUpgrade()));
    barValues.clear();
    w<QPushButton>("FWUpgrade")->click();

    // The port is the library's now.
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(fuCount(), 1);
    EXPECT_EQ(connectionText(), "Disconnected");
    EXPECT_FALSE(w<QTabWidget>("tabWidget")->isEnabled());
    EXPECT_TRUE(actions() == (Actions{false, false, false}));
    EXPECT_EQ(bar(), 0);

    ASSERT_TRUE(waitForFinalBox(0)) << "no final box";
    ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
    EXPECT_EQ(boxes.at(0).title, "Firmeare upgrade");
    EXPECT_EQ(boxes.at(0).text, kSuccessText);
    EXPECT_EQ(bar(), 100);
    EXPECT_TRUE(actions() == (Actions{true, true, false}));

    // Rising: programming (1 to 50), verifying (above 50 to 98), done.
    ASSERT_FALSE(barValues.empty());
    for (std::size_t i = 1; i < barValues.size(); ++i)
        EXPECT_LT(barValues[i - 1], barValues[i]) << "at " << i;
    auto seen = [&](int low, int high) {
        for (int v : barValues)
            if (v >= low && v <= high)
                return true;
        return false;
    };
    const std::string shown = ::testing::PrintToString(barValues);
    EXPECT_TRUE(seen(1, 50)) << "programming: " << shown;
    EXPECT_TRUE(seen(51, 97)) << "verifying: " << shown;
    EXPECT_TRUE(seen(98, 98)) << "verified: " << shown;
    EXPECT_EQ(barValues.back(), 100);

    // The flash holds the file, with the vector checksum programming puts at 0x1C.
    ASSERT_TRUE(bootRom->waitForFirmwareStarts(1, kWaitMs));
    const std::vector<std::uint8_t> flash = bootRom->flash();
    ASSERT_EQ(flash.size(), 0x8000u);
    EXPECT_EQ(std::vector<std::uint8_t>(flash.begin(), flash.begin() + 0x800), opstest::withVectorChecksum(image));
    EXPECT_EQ(std::count(flash.begin() + 0x800, flash.end(), 0xFF), 0x8000 - 0x800) << "the rest stays erased";

    // Back on the converter, which now runs the new firmware.
    ASSERT_NO_FATAL_FAILURE(reconnect());
    EXPECT_EQ(w<QLineEdit>("FirmwareVersion")->text(), "V2.05\r");
    EXPECT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
}

// ---- Failing steps -------------------------------------------------------------

TEST_F(MainWindowFirmwareTest, EachFailingStepShowsItsMessage)
{
    ASSERT_NO_FATAL_FAILURE(connectSetup());
    installUpgradeApi(&kFakeApi);
    const std::string hex = writeFile("converter.hex", kSmallFirmware);
    choose(QString::fromStdString(hex));

    struct Case {
        Step step;
        int status;
        const char *message;
        bool disconnected;
        int bar; // the bar stays where the last progress left it
    };
    const Case cases[] = {
        {Step::Connect, -3, "connect error(error code:-3)\n", false, 0},
        {Step::Erase, -9, "erase error(error code:-9)\n", true, 0},
        {Step::Program, -15, "File error or program error(error code:-15)\n", true, 0},
        {Step::Verify, -10, "Verify error(error code:-10)\n", true, 74},
        {Step::Reset, -2, "Reset error(error code:-2)\n", true, 74},
    };
    const std::string portPath = sim->portPath();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        fake.reset();
        fake.failAt = c.step;
        fake.failStatus = c.status;
        boxes.clear();
        const int fuBefore = fuCount();
        w<QPushButton>("FWUpgrade")->click();
        EXPECT_EQ(fuCount(), fuBefore + 1);
        ASSERT_TRUE(waitForFinalBox(0));
        ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
        EXPECT_EQ(boxes.at(0).title, "Firmware Upgrade Error");
        EXPECT_EQ(boxes.at(0).text, kFailurePrefix + c.message);
        EXPECT_EQ(boxes.at(0).icon, QMessageBox::Critical);
        EXPECT_EQ(bar(), c.bar);
        EXPECT_TRUE(actions() == (Actions{true, true, false}));

        const std::vector<std::string> calls = fake.takeCalls();
        ASSERT_GE(calls.size(), 3u);
        EXPECT_EQ(calls[0], "timeouts");
        EXPECT_EQ(calls[1], "debug");
        const std::string name = calls[2].substr(std::string("connect ").size());
        EXPECT_TRUE(name == portPath || "/dev/" + name == portPath) << calls[2];
        EXPECT_EQ(calls.back() == "disconnect", c.disconnected);
        if (c.step == Step::Program || c.step == Step::Verify) {
            EXPECT_NE(std::find(calls.begin(), calls.end(), "program " + hex), calls.end());
        }

        // As the user would: connect again and retry.
        ASSERT_NO_FATAL_FAILURE(reconnect());
    }
}

// A stable name too long for the upgrade's 50-byte field: the upgrade opens
// the device the name leads to.
TEST_F(MainWindowFirmwareTest, ALongPortNameUpgradesThroughItsDevice)
{
    ASSERT_NO_FATAL_FAILURE(startSim(sim::ConverterMode::Setup));
    const QString link = QString::fromStdString(dir) + "/usb-Harbendale_CAN_Converter_0123456789ABCDEF-if00-port0";
    ASSERT_GE(link.size(), 60);
    ASSERT_TRUE(QFile::link(QString::fromStdString(sim->portPath()), link));
    qputenv("VANTREL_EXTRA_PORTS", link.toLocal8Bit());
    ASSERT_NO_FATAL_FAILURE(makeTabWindow());
    ASSERT_NO_FATAL_FAILURE(openPort(link, true));
    ASSERT_TRUE(connected()) << boxes.summary().toStdString();
    w<QTabWidget>("tabWidget")->setCurrentIndex(2);

    installUpgradeApi(&kFakeApi);
    choose(QString::fromStdString(writeFile("converter.hex", kSmallFirmware)));
    w<QPushButton>("FWUpgrade")->click();
    ASSERT_TRUE(waitForFinalBox(0));
    EXPECT_EQ(boxes.at(0).title, "Firmeare upgrade") << boxes.summary().toStdString();
    const std::vector<std::string> calls = fake.takeCalls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[2], "connect " + sim->portPath());
    EXPECT_EQ(fuCount(), 1);
}

// Quitting while the upgrade runs would hide it, not stop it: the window
// says why it stays, and closes as before once the upgrade has ended.
TEST_F(MainWindowFirmwareTest, ClosingWaitsUntilTheUpgradeHasEnded)
{
    ASSERT_NO_FATAL_FAILURE(connectSetup());
    installUpgradeApi(&kFakeApi);
    choose(QString::fromStdString(writeFile("converter.hex", kSmallFirmware)));
    fake.connectGate = false;
    w<QPushButton>("FWUpgrade")->click();

    boxes.clear();
    w<QAction>("actionQuit")->trigger();
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(boxes.count(), 2) << boxes.summary().toStdString();
    for (const MessageBoxRecorder::Box &box : boxes.boxes()) {
        EXPECT_EQ(box.title, "Warning");
        EXPECT_EQ(box.text, "A firmware upgrade is running. Vantrel can be closed once the upgrade has finished.");
        EXPECT_EQ(box.icon, QMessageBox::Warning);
    }

    fake.connectGate = true;
    ASSERT_TRUE(waitForFinalBox(2));
    EXPECT_EQ(boxes.at(2).title, "Firmeare upgrade");
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(boxes.count(), 3);
}

TEST_F(MainWindowFirmwareTest, ProgressAfterTheFinalCodeIsIgnoredUntilTheNextUpgrade)
{
    ASSERT_NO_FATAL_FAILURE(connectSetup());
    installUpgradeApi(&kFakeApi);
    choose(QString::fromStdString(writeFile("converter.hex", kSmallFirmware)));
    QSignalSpy started(window.get(), SIGNAL(Thread_FirmwareUpgrade()));

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        boxes.clear();
        fake.connectGate = false;
        w<QPushButton>("FWUpgrade")->click();
        ASSERT_EQ(started.count(), round + 1);
        // Locked at once, not only from the first progress value on.
        EXPECT_TRUE(actions() == (Actions{false, false, false}));

        // While it runs, progress shows; a second start is not taken.
        ASSERT_NO_FATAL_FAILURE(progress(42));
        EXPECT_EQ(bar(), 42);
        ASSERT_NO_FATAL_FAILURE(invoke("SetTestMode"));
        ASSERT_TRUE(w<QPushButton>("FWUpgrade")->isEnabled());
        w<QPushButton>("FWUpgrade")->click();
        EXPECT_EQ(started.count(), round + 1);
        EXPECT_EQ(bar(), 42);

        fake.connectGate = true;
        ASSERT_TRUE(waitForFinalBox(0));
        EXPECT_EQ(boxes.at(0).title, "Firmeare upgrade");
        ASSERT_TRUE(actions() == (Actions{true, true, false}));

        // A value the worker's loop still had: the way back stays open.
        ASSERT_NO_FATAL_FAILURE(progress(57));
        EXPECT_EQ(bar(), 100);
        EXPECT_TRUE(actions() == (Actions{true, true, false}));
        ASSERT_NO_FATAL_FAILURE(progress(500));
        EXPECT_EQ(bar(), 0) << "the window's own reset still works";

        ASSERT_NO_FATAL_FAILURE(reconnect());
    }
}

} // namespace
