// The status bar's error texts can be read: "Open error" and "Firmware
// upgrade error." stand where the configuration message stands, until the
// next status text replaces them.
#include "tests/app/firmwaretab_fixture.h"

using namespace fwtabtest;

namespace {

TEST_F(MainWindowFirmwareTest, OpenErrorIsOnScreenUntilTheNextStatusText)
{
    const QString missing = "/dev/vantrel-no-such-port";
    ASSERT_NO_FATAL_FAILURE(startSim(sim::ConverterMode::Setup, {}, missing));
    ASSERT_NO_FATAL_FAILURE(makeWindow());
    ASSERT_NO_FATAL_FAILURE(openPort(missing, true));
    ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
    EXPECT_EQ(boxes.at(0).text, "Cannot open COM port.");
    ASSERT_NO_FATAL_FAILURE(expectStatusTextOnScreen("Open error"));

    // A port that opens: the error does not stand beside "Connected".
    ASSERT_NO_FATAL_FAILURE(openSim(false));
    ASSERT_TRUE(connected()) << boxes.summary().toStdString();
    EXPECT_EQ(messageText(), "");
    EXPECT_EQ(window->statusBar()->currentMessage(), "");

    ASSERT_NO_FATAL_FAILURE(openPort(missing, true));
    ASSERT_NO_FATAL_FAILURE(expectStatusTextOnScreen("Open error"));
    ASSERT_NO_FATAL_FAILURE(openSim(true));
    ASSERT_TRUE(connected()) << boxes.summary().toStdString();
    EXPECT_EQ(messageText(), "Configuration retrieved.");
    EXPECT_EQ(window->statusBar()->currentMessage(), "") << "replaced, not left behind";
}

TEST_F(MainWindowFirmwareTest, FirmwareUpgradeErrorIsOnScreen)
{
    ASSERT_NO_FATAL_FAILURE(connectSetup());
    installUpgradeApi(&kFakeApi);
    for (const std::string &text : {std::string("no hex\n"), std::string(":0400000001020304F3\n:00000001FF\n")}) {
        SCOPED_TRACE(text);
        boxes.clear();
        w<QLineEdit>("FWFilePath")->setText(QString::fromStdString(writeFile("bad.hex", text)));
        w<QPushButton>("FWUpgrade")->click();
        ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
        ASSERT_NO_FATAL_FAILURE(expectStatusTextOnScreen("Firmware upgrade error."));
        w<QTabWidget>("tabWidget")->setCurrentIndex(1); // the next status text: none
        EXPECT_EQ(messageText(), "");
        w<QTabWidget>("tabWidget")->setCurrentIndex(2);
    }
    EXPECT_EQ(fuCount(), 0);

    // A good file goes on: the old error does not stand over the upgrade.
    w<QPushButton>("FWUpgrade")->click();
    ASSERT_NO_FATAL_FAILURE(expectStatusTextOnScreen("Firmware upgrade error."));
    boxes.clear();
    w<QLineEdit>("FWFilePath")->setText(QString::fromStdString(writeFile("good.hex", kSmallFirmware)));
    w<QPushButton>("FWUpgrade")->click();
    EXPECT_EQ(messageText(), "");
    ASSERT_TRUE(waitForFinalBox(0));
    EXPECT_EQ(boxes.at(0).title, "Firmeare upgrade") << boxes.summary().toStdString();
    EXPECT_EQ(messageText(), "");
}

} // namespace
