// The firmware tab: the tabs each mode allows, the file choice and its path
// check, the file check before "FU", the progress display, a whole upgrade
// through the real library into the simulated converter's boot ROM, and
// each failing step of the upgrade (a stand-in library behind the worker).
#include "tests/app/mainwindow_fixture.h"

#include "link/firmwareupgrade.h"
#include "tests/isp/opsfixture.h"
#include "tests/sim/converter/converter_bootrom.h"

#include <QProgressBar>
#include <QSignalSpy>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const QString kSuccessText = "Firmware upgrade successful.\nThe device got disconnected.\nPlease reconnect if necessary.";
const QString kFailurePrefix = "Please try again or contact us.\n";
const QString kPathErrorText =
    "Available file path can contain alphabets, numbers and following charaters(ASCII): `~!@#$%^&-_+[]{};'.,";

// What the firmware tab's progress bar shows, as the worker's threads see it.
std::atomic<int> shownProgress{-1};

// Holds the calling (worker) thread until the window shows the upgrade's
// current progress, so that the once-a-second progress report is seen for
// the stage the library has reached.
void holdUntilShown()
{
    const int value = static_cast<int>(fwProgress.load());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (shownProgress.load() != value && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

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

// ---- A stand-in library ----------------------------------------------------
// Records the calls, fails the step it is told to, and can hold the connect
// until the test lets it go on.

enum class Step { None, Connect, Erase, Program, Verify, Reset };

struct FakeLibrary {
    std::atomic<Step> failAt{Step::None};
    std::atomic<int> failStatus{-1};
    std::atomic<bool> connectGate{true};
    std::mutex mutex;
    std::vector<std::string> calls;

    void record(const std::string &call)
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(call);
    }
    std::vector<std::string> takeCalls()
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::string> out;
        out.swap(calls);
        return out;
    }
    void reset()
    {
        failAt = Step::None;
        failStatus = -1;
        connectGate = true;
        takeCalls();
    }
};

FakeLibrary fake;
IspResult fakeResult;

const IspResult *fakeOutcome(Step step)
{
    fakeResult.status = fake.failAt.load() == step ? fake.failStatus.load() : QZ_STATUS_SUCCESS;
    return &fakeResult;
}

const UpgradeApi kFakeApi = {
    [] { fake.record("timeouts"); },
    [](int, const char *) -> const IspResult * {
        fake.record("debug");
        return fakeOutcome(Step::None);
    },
    [](const ConnectOptions *options, int) -> const IspResult * {
        fake.record(std::string("connect ") + options->port_name);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (!fake.connectGate.load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return fakeOutcome(Step::Connect);
    },
    [](int, unsigned, int, ProgressCallback, int, const char *) -> const IspResult * {
        fake.record("erase");
        return fakeOutcome(Step::Erase);
    },
    [](const char *hexFile, int, int, int, int, const char *, const char *, int, int, int, ProgressCallback,
       int) -> const IspResult * {
        fake.record(std::string("program ") + hexFile);
        return fakeOutcome(Step::Program);
    },
    [](const char *, int, ProgressCallback cb, int user) -> const IspResult * {
        fake.record("verify");
        // Half-way through the flash: the window shows 74 before the end.
        cb(QZ_EVENT_CHUNK_VERIFIED, 16128, 0, user);
        holdUntilShown();
        return fakeOutcome(Step::Verify);
    },
    [](int, unsigned, unsigned) -> const IspResult * {
        fake.record("reset");
        return fakeOutcome(Step::Reset);
    },
    []() -> const IspResult * {
        fake.record("disconnect");
        return fakeOutcome(Step::None);
    },
};

class MainWindowFirmwareTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        // The library writes its log ("C:\qztest.qzd") into the temporary
        // folder: give it one of this test's own, before the window's threads run.
        char pattern[] = "/tmp/vantrel-fwtabXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        const char *old = std::getenv("TMPDIR");
        hadTmpdir = old != nullptr;
        if (old)
            oldTmpdir = old;
        setenv("TMPDIR", dir.c_str(), 1);
        fake.reset();
    }

    void TearDown() override
    {
        window.reset();
        installUpgradeApi(nullptr);
        bootRom.reset();
        MainWindowFixture::TearDown();
        if (hadTmpdir)
            setenv("TMPDIR", oldTmpdir.c_str(), 1);
        else
            unsetenv("TMPDIR");
        fs::remove_all(dir);
    }

    void makeTabWindow()
    {
        makeWindow();
        invoke("SetAutoMode"); // Auto Connect shown, so its state can be read
        auto *bar = w<QProgressBar>("FWProgressBar");
        shownProgress = bar->value();
        QObject::connect(bar, &QProgressBar::valueChanged, [this](int v) {
            barValues.push_back(v);
            shownProgress = v;
        });
        window->fileDialog = [this](QWidget *parent, const QString &caption, const QString &start,
                                    const QString &filter) {
            dialogCalls.push_back({parent, caption, start, filter});
            return nextChoice;
        };
    }

    // A converter in setup mode, the window connected to it, the firmware tab shown.
    void connectSetup(bool withBootRom = false)
    {
        startSim(sim::ConverterMode::Setup);
        if (withBootRom)
            bootRom = std::make_unique<sim::ConverterBootRom>(*sim);
        makeTabWindow();
        reconnect();
    }

    void reconnect()
    {
        openSim(true);
        ASSERT_TRUE(connected()) << boxes.summary().toStdString();
        w<QTabWidget>("tabWidget")->setCurrentIndex(2);
        ASSERT_EQ(w<QTabWidget>("tabWidget")->currentIndex(), 2);
    }

    void choose(const QString &path)
    {
        nextChoice = path;
        w<QPushButton>("FWFileOpen")->click();
    }

    std::string writeFile(const std::string &name, const std::string &text)
    {
        const std::string path = dir + "/" + name;
        opstest::writeFile(path, text);
        return path;
    }

    // Waits for the upgrade's box (success or failure). A whole upgrade with
    // its held stages takes several seconds: a wide hang guard of its own.
    bool waitForFinalBox(int before)
    {
        return QTest::qWaitFor([&] { return boxes.count() > before; }, 60000);
    }

    int fuCount() const
    {
        int n = 0;
        for (const std::string &line : sim->lines())
            n += line == "FU";
        return n;
    }

    struct Actions {
        bool connect, autoConnect, disconnect;
        bool operator==(const Actions &o) const
        {
            return connect == o.connect && autoConnect == o.autoConnect && disconnect == o.disconnect;
        }
    };
    Actions actions()
    {
        return {w<QAction>("actionConnect")->isEnabled(), w<QAction>("actionAutoConnect")->isEnabled(),
                w<QAction>("actionDisconnect")->isEnabled()};
    }
    int bar() { return w<QProgressBar>("FWProgressBar")->value(); }
    void progress(int value)
    {
        ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "FWProgress", Q_ARG(int, value)));
    }

    struct DialogCall {
        QWidget *parent;
        QString caption, start, filter;
    };

    std::string dir;
    std::string oldTmpdir;
    bool hadTmpdir = false;
    std::unique_ptr<sim::ConverterBootRom> bootRom;
    std::vector<int> barValues;
    std::vector<DialogCall> dialogCalls;
    QString nextChoice;
};

// ---- Tabs ------------------------------------------------------------------

TEST_F(MainWindowFirmwareTest, ActiveModeKeepsToTheActiveTab)
{
    startSim(sim::ConverterMode::Active);
    makeTabWindow();
    openSim(false);
    ASSERT_TRUE(connected());
    auto *tabs = w<QTabWidget>("tabWidget");
    ASSERT_EQ(tabs->currentIndex(), 0);
    for (int index : {1, 2}) {
        progress(42);
        tabs->setCurrentIndex(index);
        EXPECT_EQ(tabs->currentIndex(), 0) << index;
        EXPECT_EQ(bar(), 0) << "the bar is reset on every change";
        EXPECT_EQ(messageText(), "");
    }
}

TEST_F(MainWindowFirmwareTest, SetupModeShowsTheSetupAndFirmwareTabsOnly)
{
    connectSetup();
    auto *tabs = w<QTabWidget>("tabWidget");
    progress(42);
    tabs->setCurrentIndex(1);
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(bar(), 0);
    EXPECT_EQ(messageText(), "");
    tabs->setCurrentIndex(0);
    EXPECT_EQ(tabs->currentIndex(), 1);
    tabs->setCurrentIndex(2);
    EXPECT_EQ(tabs->currentIndex(), 2);
}

// ---- The file choice ---------------------------------------------------------

TEST_F(MainWindowFirmwareTest, ChoosingAFileKeepsToPlainAsciiPaths)
{
    makeTabWindow();
    invoke("SetTestMode"); // the tabs without a port
    auto *path = w<QLineEdit>("FWFilePath");

    choose("/home/user/fw/converter_V2.05 (new)~!@#$%^&-_+[]{};'.,.hex");
    ASSERT_EQ(dialogCalls.size(), 1u);
    EXPECT_EQ(dialogCalls[0].parent, window.get());
    EXPECT_EQ(dialogCalls[0].caption, "Open File");
    EXPECT_EQ(dialogCalls[0].filter, "Hex (*.hex *.HEX)");
    EXPECT_EQ(path->text(), "/home/user/fw/converter_V2.05 (new)~!@#$%^&-_+[]{};'.,.hex");
    EXPECT_EQ(boxes.count(), 0);

    const QString refused[] = {
        QString::fromUtf8("/home/user/fw/caf\u00e9.hex"), // Latin-1
        QString::fromUtf8("/home/user/\u00ff.hex"),
        QString::fromUtf8("/home/user/\u56fa\u4ef6.hex"), // outside Latin-1
        QString::fromUtf8("/home/user/\U0001F600.hex"),   // outside the BMP
        QString("/home/user/a") + QChar(0) + "b.hex",      // a zero character
    };
    for (const QString &p : refused) {
        boxes.clear();
        choose(p);
        ASSERT_EQ(boxes.count(), 1) << p.toStdString();
        EXPECT_EQ(boxes.at(0).title, "File Path Error");
        EXPECT_EQ(boxes.at(0).text, kPathErrorText);
        EXPECT_EQ(boxes.at(0).icon, QMessageBox::Critical);
        EXPECT_EQ(path->text(), "/home/user/fw/converter_V2.05 (new)~!@#$%^&-_+[]{};'.,.hex") << "kept";
    }

    boxes.clear();
    choose(QString()); // cancelled
    EXPECT_EQ(boxes.count(), 0);
    EXPECT_EQ(path->text(), "");
}

// ---- The file check before "FU" ----------------------------------------------

TEST_F(MainWindowFirmwareTest, AFileThatDoesNotStartWithAColonStopsBeforeFu)
{
    connectSetup();
    installUpgradeApi(&kFakeApi);
    const std::string fifo = dir + "/fifo.hex";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string cases[] = {
        "",                                                        // no path
        dir + "/missing.hex",                                      // no file
        writeFile("empty.hex", ""),                                // nothing to read
        writeFile("bom.hex", "\xEF\xBB\xBF:00000001FF\n"),         // byte-order mark
        writeFile("blank.hex", "\n:00000001FF\n"),                 // blank line first
        writeFile("space.hex", " :00000001FF\n"),
        writeFile("binary.hex", std::string("\0:00000001FF\n", 13)),
        dir,  // a folder
        fifo, // nobody writes it: reading would wait for ever
    };
    QSignalSpy started(window.get(), SIGNAL(Thread_FirmwareUpgrade()));
    for (const std::string &file : cases) {
        boxes.clear();
        sim->clearRecords();
        w<QLineEdit>("FWFilePath")->setText(QString::fromStdString(file));
        progress(42);
        w<QPushButton>("FWUpgrade")->click();
        ASSERT_EQ(boxes.count(), 1) << file;
        EXPECT_EQ(boxes.at(0).title, "Error");
        EXPECT_EQ(boxes.at(0).text, "File error.");
        EXPECT_EQ(boxes.at(0).icon, QMessageBox::Critical);
        EXPECT_EQ(window->statusBar()->currentMessage(), "Firmware upgrade error.");
        EXPECT_EQ(bar(), 0) << "reset before the check";
        EXPECT_TRUE(sim->lines().empty()) << file << ": nothing sent";
        EXPECT_TRUE(connected()) << "the port stays open";
        EXPECT_EQ(started.count(), 0);
    }
    EXPECT_TRUE(fake.takeCalls().empty());
}

// ---- The progress display ------------------------------------------------------

TEST_F(MainWindowFirmwareTest, ProgressValuesBoxesAndActions)
{
    makeTabWindow();
    struct Case {
        int value;
        int bar;
        QString box; // title, empty for none
        Actions after;
    };
    const Actions locked{false, false, false};
    const Actions reconnect{true, true, false};
    const Case cases[] = {
        {42, 42, "", locked},
        {150, 42, "", locked}, // outside the bar's range: the bar stays
        {-5, 42, "", locked},
        {1000, 42, "Firmware Upgrade Error", reconnect},
        {500, 0, "", reconnect},
        {98, 98, "", locked},
        {100, 100, "Firmeare upgrade", reconnect},
        {500, 0, "", reconnect},
    };
    for (const Case &c : cases) {
        boxes.clear();
        progress(c.value);
        EXPECT_EQ(bar(), c.bar) << c.value;
        EXPECT_TRUE(actions() == c.after) << c.value;
        if (c.box.isEmpty()) {
            EXPECT_EQ(boxes.count(), 0) << c.value;
            continue;
        }
        ASSERT_EQ(boxes.count(), 1) << c.value;
        EXPECT_EQ(boxes.at(0).title, c.box);
        if (c.value == 100) {
            EXPECT_EQ(boxes.at(0).text, kSuccessText);
            EXPECT_EQ(boxes.at(0).icon, QMessageBox::Information);
        } else {
            EXPECT_EQ(boxes.at(0).text, kFailurePrefix) << "no upgrade failed yet";
            EXPECT_EQ(boxes.at(0).icon, QMessageBox::Critical);
        }
    }
}

// ---- A whole upgrade ---------------------------------------------------------

TEST_F(MainWindowFirmwareTest, UpgradesTheConverterEndToEnd)
{
    connectSetup(true);
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
    reconnect();
    EXPECT_EQ(w<QLineEdit>("FirmwareVersion")->text(), "V2.05\r");
    EXPECT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
}

// ---- Failing steps -------------------------------------------------------------

TEST_F(MainWindowFirmwareTest, EachFailingStepShowsItsMessage)
{
    connectSetup();
    installUpgradeApi(&kFakeApi);
    const std::string hex = writeFile("converter.hex", ":00000001FF\n");
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
        reconnect();
    }
}

TEST_F(MainWindowFirmwareTest, ProgressAfterTheFinalCodeIsIgnoredUntilTheNextUpgrade)
{
    connectSetup();
    installUpgradeApi(&kFakeApi);
    choose(QString::fromStdString(writeFile("converter.hex", ":00000001FF\n")));
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
        progress(42);
        EXPECT_EQ(bar(), 42);
        invoke("SetTestMode");
        ASSERT_TRUE(w<QPushButton>("FWUpgrade")->isEnabled());
        w<QPushButton>("FWUpgrade")->click();
        EXPECT_EQ(started.count(), round + 1);
        EXPECT_EQ(bar(), 42);

        fake.connectGate = true;
        ASSERT_TRUE(waitForFinalBox(0));
        EXPECT_EQ(boxes.at(0).title, "Firmeare upgrade");
        ASSERT_TRUE(actions() == (Actions{true, true, false}));

        // A value the worker's loop still had: the way back stays open.
        progress(57);
        EXPECT_EQ(bar(), 100);
        EXPECT_TRUE(actions() == (Actions{true, true, false}));
        progress(500);
        EXPECT_EQ(bar(), 0) << "the window's own reset still works";

        reconnect();
    }
}

} // namespace
