// The fixture of the firmware tab's tests: a main window whose file dialog
// and progress bar the test watches, its own temporary folder for the
// library's log, and a stand-in library that records the upgrade's calls and
// fails the step it is told to.
#pragma once

#include "tests/app/mainwindow_fixture.h"

#include "link/firmwareupgrade.h"
#include "tests/isp/core/opsfixture.h"
#include "tests/private_tmpdir.h"
#include "tests/sim/converter/converter_bootrom.h"

#include <QProgressBar>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fwtabtest {

namespace fs = std::filesystem;

inline const QString kSuccessText = "Firmware upgrade successful.\nThe device got disconnected.\nPlease reconnect if necessary.";
inline const QString kFailurePrefix = "Please try again or contact us.\n";
// The smallest file the converter's part takes: four bytes at address 0.
inline const std::string kSmallFirmware = ":0400000001020304F2\n:00000001FF\n";

// What the firmware tab's progress bar shows, as the worker's threads see it.
inline std::atomic<int> shownProgress{-1};

// Holds the calling (worker) thread until the window shows the upgrade's
// current progress, so that the once-a-second progress report is seen for
// the stage the library has reached.
inline void holdUntilShown()
{
    const int value = static_cast<int>(fwProgress.load());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (shownProgress.load() != value && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
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

inline FakeLibrary fake;
inline IspResult fakeResult;

inline const IspResult *fakeOutcome(Step step)
{
    fakeResult.status = fake.failAt.load() == step ? fake.failStatus.load() : QZ_STATUS_SUCCESS;
    return &fakeResult;
}

inline const UpgradeApi kFakeApi = {
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
        ASSERT_TRUE(tmp.enter("/tmp/vantrel-fwtabXXXXXX"));
        dir = tmp.path();
        fake.reset();
    }

    void TearDown() override
    {
        window.reset();
        installUpgradeApi(nullptr);
        bootRom.reset();
        MainWindowFixture::TearDown();
        tmp.leave();
    }

    void makeTabWindow()
    {
        ASSERT_NO_FATAL_FAILURE(makeWindow());
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
        ASSERT_NO_FATAL_FAILURE(startSim(sim::ConverterMode::Setup));
        if (withBootRom)
            bootRom = std::make_unique<sim::ConverterBootRom>(*sim);
        ASSERT_NO_FATAL_FAILURE(makeTabWindow());
        ASSERT_NO_FATAL_FAILURE(reconnect());
    }

    void reconnect()
    {
        ASSERT_NO_FATAL_FAILURE(openSim(true));
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

    PrivateTmpdir tmp;
    std::string dir;
    std::unique_ptr<sim::ConverterBootRom> bootRom;
    std::vector<int> barValues;
    std::vector<DialogCall> dialogCalls;
    QString nextChoice;
};

} // namespace fwtabtest
