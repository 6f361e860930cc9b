// The firmware tab: the tabs each mode allows, the file choice and its path
// check, the file check before "FU", and the progress display.
#include "tests/app/firmwaretab_fixture.h"

#include <QSignalSpy>

#include <sys/stat.h>

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
