// The firmware tab: the tabs each mode allows, the file choice and its path
// check, the file check before "FU", and the progress display.
#include "tests/app/firmwaretab_fixture.h"

#include <QSignalSpy>

#include <sys/stat.h>

#include <iterator>
#include <string>

using namespace fwtabtest;

namespace {

const QString kPathErrorText =
    "Available file path can contain alphabets, numbers and following charaters(ASCII): `~!@#$%^&-_+[]{};'.,";

// ---- Tabs ------------------------------------------------------------------

TEST_F(MainWindowFirmwareTest, ActiveModeKeepsToTheActiveTab)
{
    ASSERT_NO_FATAL_FAILURE(startSim(sim::ConverterMode::Active));
    ASSERT_NO_FATAL_FAILURE(makeTabWindow());
    ASSERT_NO_FATAL_FAILURE(openSim(false));
    ASSERT_TRUE(connected());
    auto *tabs = w<QTabWidget>("tabWidget");
    ASSERT_EQ(tabs->currentIndex(), 0);
    for (int index : {1, 2}) {
        ASSERT_NO_FATAL_FAILURE(progress(42));
        tabs->setCurrentIndex(index);
        EXPECT_EQ(tabs->currentIndex(), 0) << index;
        EXPECT_EQ(bar(), 0) << "the bar is reset on every change";
        EXPECT_EQ(messageText(), "");
    }
}

TEST_F(MainWindowFirmwareTest, SetupModeShowsTheSetupAndFirmwareTabsOnly)
{
    ASSERT_NO_FATAL_FAILURE(connectSetup());
    auto *tabs = w<QTabWidget>("tabWidget");
    ASSERT_NO_FATAL_FAILURE(progress(42));
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
    ASSERT_NO_FATAL_FAILURE(makeTabWindow());
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

// The dialog starts where the user's files are: the home folder, then the
// folder of the file taken last.
TEST_F(MainWindowFirmwareTest, TheFileDialogStartsAtHomeThenInTheLastFilesFolder)
{
    const QByteArray oldHome = qgetenv("HOME");
    const QString home = QString::fromStdString(dir) + "/home";
    qputenv("HOME", home.toLocal8Bit());
    ASSERT_NO_FATAL_FAILURE(makeTabWindow());
    invoke("SetTestMode");

    choose(home + "/fw/converter.hex");
    choose(QString());                                   // cancelled
    choose(QString::fromUtf8("/srv/caf\u00e9/new.hex")); // refused
    choose("/srv/images/next.hex");
    choose(QString());
    qputenv("HOME", oldHome);

    const QString starts[] = {home, home + "/fw", home + "/fw", home + "/fw", "/srv/images"};
    ASSERT_EQ(dialogCalls.size(), std::size(starts));
    for (std::size_t i = 0; i < dialogCalls.size(); ++i)
        EXPECT_EQ(dialogCalls[i].start.toStdString(), starts[i].toStdString()) << i;
}

// ---- The file check before "FU" ----------------------------------------------

TEST_F(MainWindowFirmwareTest, AFileThatDoesNotStartWithAColonStopsBeforeFu)
{
    ASSERT_NO_FATAL_FAILURE(connectSetup());
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
        ASSERT_NO_FATAL_FAILURE(progress(42));
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

// Files the library would refuse after "FU", when the converter already
// waits in its boot loader: refused before anything is sent, with the line
// and the reason.
TEST_F(MainWindowFirmwareTest, ADamagedOrOutOfRangeFileStopsBeforeFu)
{
    ASSERT_NO_FATAL_FAILURE(connectSetup(true)); // the real library and boot ROM behind "FU"
    const std::string good = ":0400000001020304F2\n";
    const struct {
        const char *name;
        std::string text;
        const char *reason;
    } cases[] = {
        {"checksum.hex", good + ":0400100001020304E3\n:00000001FF\n", "(line 2: checksum)"},
        {"digit.hex", good + ":04001000010G0304E2\n:00000001FF\n", "(line 2: not a record)"},
        {"truncated.hex", good + ":0400100001", "(line 2: length)"},
        {"beyond.hex", good + ":01800000AAD5\n:00000001FF\n", "(line 2: address 0x00008000 outside the part)"},
    };
    QSignalSpy started(window.get(), SIGNAL(Thread_FirmwareUpgrade()));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        w<QLineEdit>("FWFilePath")->setText(QString::fromStdString(writeFile(c.name, c.text)));
        w<QPushButton>("FWUpgrade")->click();
        ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
        EXPECT_EQ(boxes.at(0).title, "Error");
        EXPECT_EQ(boxes.at(0).text, QString("File error.\n") + c.reason);
        EXPECT_EQ(boxes.at(0).icon, QMessageBox::Critical);
        EXPECT_EQ(window->statusBar()->currentMessage(), "Firmware upgrade error.");
        EXPECT_EQ(fuCount(), 0) << "nothing sent";
        EXPECT_TRUE(connected()) << "the port stays open";
    }
    EXPECT_EQ(started.count(), 0);
    EXPECT_EQ(bootRom->bootRomEntries(), 0);

    // The converter still answers in setup mode, without a restart.
    const int probes = sim->probeCount();
    w<QAction>("actionDisconnect")->trigger();
    ASSERT_NO_FATAL_FAILURE(reconnect());
    EXPECT_GT(sim->probeCount(), probes);
}

// ---- The progress display ------------------------------------------------------

TEST_F(MainWindowFirmwareTest, ProgressValuesBoxesAndActions)
{
    ASSERT_NO_FATAL_FAILURE(makeTabWindow());
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
        ASSERT_NO_FATAL_FAILURE(progress(c.value));
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

} // namespace
