// Setup mode end to end: the converter's configuration read into the setup
// tab, edited, written back line by line and saved; failing writes, refused
// header letters, defaults and revert, and the connection checks.
#include "tests/app/mainwindow_fixture.h"

#include <QFile>

#include <unistd.h>

#include <functional>
#include <utility>
#include <vector>

namespace {

sim::ConverterConfig storedConfig()
{
    sim::ConverterConfig c;
    c.serial.baud = 115200; // the rate the setup connection opens at
    c.can.rate = 250;
    c.can.idType = 'B';
    c.can.id = 0x1ABCDEF;
    c.can.mask = 0x1FFFFFFF;
    c.can.flags = 1; // DAR
    c.headers = {{'a', 'b', 'c', 'd'}};
    c.firmwareVersion = "V3.10\r";
    return c;
}

class MainWindowSetupTest : public MainWindowFixture {
protected:
    void connectSetup(const sim::ConverterConfig &config = storedConfig())
    {
        ASSERT_NO_FATAL_FAILURE(startSim(sim::ConverterMode::Setup, config));
        ASSERT_NO_FATAL_FAILURE(makeWindow());
        ASSERT_NO_FATAL_FAILURE(openSim(true));
        ASSERT_TRUE(connected()) << boxes.summary().toStdString();
    }
    void setHeaders(const QString &sd, const QString &sr, const QString &ed, const QString &er)
    {
        w<QLineEdit>("Header_STD_DATA_Edit")->setText(sd);
        w<QLineEdit>("Header_STD_REMOTE_Edit")->setText(sr);
        w<QLineEdit>("Header_EXT_DATA_Edit")->setText(ed);
        w<QLineEdit>("Header_EXT_REMOTE_Edit")->setText(er);
    }
    QString combo(const char *name) { return w<QComboBox>(name)->currentText(); }
    void pick(const char *name, const QString &text)
    {
        auto *c = w<QComboBox>(name);
        const int index = c->findText(text);
        ASSERT_GE(index, 0) << name << " " << text.toStdString();
        c->setCurrentIndex(index);
    }
};

TEST_F(MainWindowSetupTest, ReadsEditsAndWritesBackTheConfiguration)
{
    ASSERT_NO_FATAL_FAILURE(connectSetup());
    EXPECT_EQ(boxes.count(), 0) << boxes.summary().toStdString();
    EXPECT_EQ(messageText(), "Configuration retrieved.");
    EXPECT_EQ(w<QTabWidget>("tabWidget")->currentIndex(), 1);
    EXPECT_TRUE(settingsText().endsWith(", 115200, 8N1, Non-flow")) << settingsText().toStdString();
    EXPECT_EQ(sim->lines(), (std::vector<std::string>{"????", "????", "RS", "RC", "RH", "FV"}));

    EXPECT_EQ(combo("Serial_Baud_Combo"), "115200");
    EXPECT_EQ(combo("Serial_Parity_Combo"), "None");
    EXPECT_EQ(combo("Serial_Stop_Combo"), "1");
    EXPECT_EQ(combo("Serial_Flow_Combo"), "None");
    EXPECT_EQ(combo("CAN_Baud_Combo"), "250");
    EXPECT_EQ(combo("CAN_Spec_Combo"), "B");
    EXPECT_EQ(w<QLineEdit>("CAN_ID_Edit")->text(), "01ABCDEF");
    EXPECT_EQ(w<QLineEdit>("CAN_Mask_Edit")->text(), "1FFFFFFF");
    EXPECT_TRUE(w<QCheckBox>("bDAR_checkbox")->isChecked());
    EXPECT_FALSE(w<QCheckBox>("bABOR_checkbox")->isChecked());
    EXPECT_EQ(w<QLineEdit>("Header_STD_DATA_Edit")->text(), "a");
    EXPECT_EQ(w<QLineEdit>("Header_STD_REMOTE_Edit")->text(), "b");
    EXPECT_EQ(w<QLineEdit>("Header_EXT_DATA_Edit")->text(), "c");
    EXPECT_EQ(w<QLineEdit>("Header_EXT_REMOTE_Edit")->text(), "d");
    EXPECT_EQ(w<QLineEdit>("FirmwareVersion")->text(), "V3.10\r");

    pick("Serial_Baud_Combo", "57600");
    pick("Serial_Parity_Combo", "Even");
    pick("Serial_Stop_Combo", "2");
    pick("Serial_Flow_Combo", "Hardware");
    pick("CAN_Baud_Combo", "1000");
    pick("CAN_Spec_Combo", "A");
    w<QLineEdit>("CAN_ID_Edit")->setText("12");
    w<QLineEdit>("CAN_Mask_Edit")->setText("7f0");
    w<QCheckBox>("bDAR_checkbox")->setChecked(false);
    w<QCheckBox>("bABOR_checkbox")->setChecked(true);
    setHeaders("x", "y", "z", "w");
    sim->clearRecords();

    w<QPushButton>("ApplyPushButton")->click();

    ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
    EXPECT_EQ(boxes.at(0).title, "Info");
    EXPECT_EQ(boxes.at(0).text, "Configuration saved.");
    EXPECT_EQ(sim->lines(), (std::vector<std::string>{"WSH8E257600", "WCA,1000,012,7F0,2", "WHxyzw", "SV"}));
    const sim::ConverterConfig saved = sim->savedConfig();
    EXPECT_EQ(saved.serial.baud, 57600u);
    EXPECT_EQ(saved.serial.flow, 'H');
    EXPECT_EQ(saved.serial.parity, 'E');
    EXPECT_EQ(saved.serial.stopBits, '2');
    EXPECT_EQ(saved.can.rate, 1000u);
    EXPECT_EQ(saved.can.idType, 'A');
    EXPECT_EQ(saved.can.id, 0x12u);
    EXPECT_EQ(saved.can.mask, 0x7F0u);
    EXPECT_EQ(saved.can.flags, 2u);
    EXPECT_EQ(saved.headers, (std::array<char, 4>{{'x', 'y', 'z', 'w'}}));
}

TEST_F(MainWindowSetupTest, AWriteWithoutOkStopsThereAndSaysSo)
{
    ASSERT_NO_FATAL_FAILURE(connectSetup());
    // What the converter does to the line after "WS": nothing comes back, or
    // something that is not "OK".
    const std::pair<const char *, std::function<void()>> cases[] = {
        {"no reply", [this] { sim->dropReplies(1); }},
        {"a reply without OK", [this] { sim->setGarbage(true); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        boxes.clear();
        sim->clearRecords();
        sim->setLineObserver([act = c.second](const sim::ConverterEvent &e) {
            if (e.line.rfind("WS", 0) == 0)
                act();
        });

        w<QPushButton>("ApplyPushButton")->click();

        ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
        EXPECT_EQ(boxes.at(0).title, "Error");
        EXPECT_EQ(boxes.at(0).text, "An error occurred while saving configuration.");
        QTest::qWait(200);
        EXPECT_EQ(sim->lines(), (std::vector<std::string>{"WSN8N1115200", "WCB,250,01ABCDEF,1FFFFFFF,1"}));
        EXPECT_EQ(sim->savedConfig().headers, (std::array<char, 4>{{'a', 'b', 'c', 'd'}}));
        sim->setLineObserver(nullptr);
        sim->setGarbage(false);
    }
}

TEST_F(MainWindowSetupTest, RefusedHeaderLettersWriteNothing)
{
    ASSERT_NO_FATAL_FAILURE(connectSetup());
    struct Case {
        const char *letters[4];
    };
    const Case cases[] = {
        {{"t", "t", "e", "E"}}, // a duplicate
        {{"t", "T", "e", ""}},  // a missing letter, which would be a zero byte
        {{"", "T", "e", "E"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.letters[0]) + c.letters[1] + c.letters[2] + c.letters[3]);
        boxes.clear();
        sim->clearRecords();
        setHeaders(c.letters[0], c.letters[1], c.letters[2], c.letters[3]);
        w<QPushButton>("ApplyPushButton")->click();
        QTest::qWait(50);
        ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
        EXPECT_EQ(boxes.at(0).title, "Warning");
        EXPECT_EQ(boxes.at(0).text, "Duplicate input entered.");
        EXPECT_TRUE(sim->lines().empty()) << sim->lines().front();
    }
}

TEST_F(MainWindowSetupTest, DefaultThenCancelBringsBackOnlyTheHeaderLetters)
{
    ASSERT_NO_FATAL_FAILURE(connectSetup());
    sim->clearRecords();

    w<QPushButton>("DefaultPushButton")->click();
    EXPECT_TRUE(sim->lines().empty());
    EXPECT_EQ(combo("Serial_Baud_Combo"), "115200");
    EXPECT_EQ(combo("CAN_Baud_Combo"), "125");
    EXPECT_EQ(combo("CAN_Spec_Combo"), "B");
    EXPECT_EQ(w<QLineEdit>("CAN_ID_Edit")->text(), "00000000");
    EXPECT_EQ(w<QLineEdit>("CAN_Mask_Edit")->text(), "00000000");
    EXPECT_FALSE(w<QCheckBox>("bDAR_checkbox")->isChecked());
    EXPECT_EQ(w<QLineEdit>("Header_STD_DATA_Edit")->text(), "t");
    EXPECT_EQ(w<QLineEdit>("Header_EXT_REMOTE_Edit")->text(), "E");

    w<QPushButton>("CancelPushButton")->click();
    EXPECT_EQ(sim->lines(), (std::vector<std::string>{"RH"}));
    EXPECT_EQ(w<QLineEdit>("Header_STD_DATA_Edit")->text(), "a");
    EXPECT_EQ(w<QLineEdit>("Header_EXT_REMOTE_Edit")->text(), "d");
    EXPECT_EQ(combo("CAN_Baud_Combo"), "125");
    EXPECT_EQ(w<QLineEdit>("CAN_Mask_Edit")->text(), "00000000");
    EXPECT_EQ(boxes.count(), 0) << boxes.summary().toStdString();
}

TEST_F(MainWindowSetupTest, UnlistedCanRateIsReportedAndTheRestIsFilled)
{
    sim::ConverterConfig config = storedConfig();
    config.can.rate = 33;
    ASSERT_NO_FATAL_FAILURE(connectSetup(config));
    ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
    EXPECT_EQ(boxes.at(0).title, "Info");
    EXPECT_EQ(boxes.at(0).text, "CAN Baud rate cannot be detected.");
    EXPECT_EQ(w<QLineEdit>("CAN_Mask_Edit")->text(), "1FFFFFFF");
    EXPECT_EQ(messageText(), "Configuration retrieved.");
}

TEST_F(MainWindowSetupTest, ShortFirmwareVersionReplyFailsTheRead)
{
    sim::ConverterConfig config = storedConfig();
    config.firmwareVersion = "V1\r";
    ASSERT_NO_FATAL_FAILURE(connectSetup(config));
    ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
    EXPECT_EQ(boxes.at(0).title, "Error");
    EXPECT_EQ(boxes.at(0).text, "Cannot read the configuration.");
    EXPECT_EQ(messageText(), "Cannot read the configuration.");
}

TEST_F(MainWindowSetupTest, AConverterInActiveModeIsNotTakenForSetup)
{
    ASSERT_NO_FATAL_FAILURE(startSim(sim::ConverterMode::Active));
    ASSERT_NO_FATAL_FAILURE(makeWindow());
    const int idle = descriptorsOn(sim->portPath());
    BoxShowWatcher watcher([this] { return QString::number(descriptorsOn(sim->portPath())); });
    ASSERT_NO_FATAL_FAILURE(openSim(true));
    ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
    EXPECT_EQ(boxes.at(0).title, " ");
    EXPECT_EQ(boxes.at(0).text, "The device can not be detected.");
    // The port is closed before the box goes up.
    EXPECT_EQ(watcher.seen.join(", ").toStdString(), std::to_string(idle));
    EXPECT_EQ(connectionText(), "Disconnected");
    EXPECT_FALSE(w<QTabWidget>("tabWidget")->isEnabled());
}

TEST_F(MainWindowSetupTest, APortThatCannotBeOpenedSaysSo)
{
    qputenv("VANTREL_EXTRA_PORTS", "/dev/vantrel-no-such-port");
    ASSERT_NO_FATAL_FAILURE(makeWindow());
    ASSERT_NO_FATAL_FAILURE(openPort("/dev/vantrel-no-such-port", true));
    ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
    EXPECT_EQ(boxes.at(0).title, "Permission Error");
    EXPECT_EQ(boxes.at(0).text, "Cannot open COM port.");
    EXPECT_EQ(window->statusBar()->currentMessage(), "Open error");
    EXPECT_EQ(connectionText(), "Disconnected");
    EXPECT_FALSE(w<QTabWidget>("tabWidget")->isEnabled());
}

// Stable names such as those under /dev/serial/by-id are long; nothing
// in setup or active mode limits a port name's length.
TEST_F(MainWindowSetupTest, LongPortNamesOpenInBothModes)
{
    ASSERT_NO_FATAL_FAILURE(startSim(sim::ConverterMode::Setup));
    const QString dir = QDir::tempPath() + "/vtl" + QString::number(::getpid());
    ASSERT_TRUE(QDir().mkpath(dir));
    auto linkNamed = [&](int length) {
        QString path = dir + "/";
        path += QString(length - path.size(), 'p');
        QFile::remove(path);
        EXPECT_TRUE(QFile::link(QString::fromStdString(sim->portPath()), path));
        return path;
    };
    const QString fifty = linkNamed(50);
    const QString long200 = linkNamed(200);
    qputenv("VANTREL_EXTRA_PORTS", (fifty + ":" + long200).toLocal8Bit());
    ASSERT_NO_FATAL_FAILURE(makeWindow());

    for (const QString &name : {fifty, long200}) {
        SCOPED_TRACE(name.size());
        ASSERT_NO_FATAL_FAILURE(openPort(name, true));
        EXPECT_EQ(boxes.count(), 0) << boxes.summary().toStdString();
        EXPECT_TRUE(connected());
        EXPECT_EQ(messageText(), "Configuration retrieved.");
        w<QAction>("actionDisconnect")->trigger();

        sim->setMode(sim::ConverterMode::Active);
        ASSERT_NO_FATAL_FAILURE(openPort(name, false));
        EXPECT_EQ(boxes.count(), 0) << boxes.summary().toStdString();
        EXPECT_TRUE(connected());
        EXPECT_TRUE(settingsText().startsWith(name + ", ")) << settingsText().toStdString();
        w<QAction>("actionDisconnect")->trigger();
        sim->setMode(sim::ConverterMode::Setup);
    }

    window.reset();
    QDir(dir).removeRecursively();
}

} // namespace
