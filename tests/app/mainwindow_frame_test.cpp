// The window as it stands before any connection: the form's pieces, the
// state it starts in, the input rules of the frame fields, the hidden chords
// and the log window.
#include "tests/app/mainwindow_fixture.h"

#include "link/consolelog.h"

#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTimer>
#include <QToolBar>

#include <thread>
#include <utility>
#include <vector>

namespace {

class MainWindowFrameTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        QCoreApplication::setApplicationVersion("1.0.0.8");
        ASSERT_NO_FATAL_FAILURE(makeWindow());
    }
    void chord(Qt::Key key) { QTest::keyClick(window.get(), key, Qt::ControlModifier | Qt::AltModifier); }
    std::vector<std::pair<QString, int>> items(const char *combo)
    {
        std::vector<std::pair<QString, int>> out;
        auto *c = w<QComboBox>(combo);
        for (int i = 0; i < c->count(); ++i)
            out.emplace_back(c->itemText(i), c->itemData(i).toInt());
        return out;
    }
    QStringList actionNames(const QList<QAction *> &actions)
    {
        QStringList names;
        for (QAction *a : actions)
            names << (a->menu() ? a->menu()->objectName() : a->objectName());
        return names;
    }
};

TEST_F(MainWindowFrameTest, StartsDisconnectedWithTheTabsLocked)
{
    EXPECT_EQ(window->windowTitle(), "Vantrel");
    EXPECT_EQ(window->minimumSize(), QSize(727, 582));
    auto *tabs = w<QTabWidget>("tabWidget");
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), "Active Mode");
    EXPECT_EQ(tabs->tabText(1), "Setup Mode");
    EXPECT_EQ(tabs->tabText(2), "Firmware Upgrade");
    EXPECT_FALSE(tabs->isEnabled());
    EXPECT_EQ(tabs->currentIndex(), 0);

    EXPECT_EQ(messageText(), " ");
    EXPECT_EQ(connectionText(), "Disconnected");
    EXPECT_EQ(settingsText(), " ");
    EXPECT_EQ(statusLabel(3), "1.0.0.8");

    EXPECT_FALSE(w<QAction>("actionAutoConnect")->isVisible());
    EXPECT_FALSE(w<QAction>("actionTest_Step1")->isVisible());
    EXPECT_FALSE(w<QAction>("actionTest_Step2")->isVisible());
    EXPECT_FALSE(w<QAction>("actionDisconnect")->isEnabled());
    EXPECT_TRUE(w<QAction>("actionConnect")->isEnabled());
    EXPECT_FALSE(w<QLineEdit>("Interval_Ctrl")->isVisibleTo(window.get()));
    EXPECT_EQ(w<QLineEdit>("Interval_Ctrl")->text(), "50");
    EXPECT_EQ(w<QLineEdit>("ID_Ctrl")->text(), "123");
    EXPECT_EQ(w<QSpinBox>("DLC_Ctrl")->value(), 8);
    EXPECT_EQ(w<QSpinBox>("DLC_Ctrl")->maximum(), 8);
    EXPECT_EQ(w<QLineEdit>("DATA1_Ctrl_7")->text(), "DF");
    EXPECT_FALSE(w<QLineEdit>("FirmwareVersion")->isEnabled());
    EXPECT_EQ(w<QProgressBar>("FWProgressBar")->value(), 0);
    EXPECT_EQ(w<QLabel>("label_DATA")->text().size(), 23);
    auto *dataBits = w<QComboBox>("Serial_Data_Combo");
    EXPECT_EQ(dataBits->count(), 1);
    EXPECT_EQ(dataBits->currentText(), "8");
    EXPECT_FALSE(dataBits->isEnabled());

    EXPECT_EQ(actionNames(window->menuBar()->actions()), (QStringList{"menuCalls", "menuTools", "menuHelp"}));
    EXPECT_EQ(actionNames(w<QMenu>("menuTools")->actions()),
              (QStringList{"actionAutoConnect", "actionConnect", "actionDisconnect"}));
    EXPECT_EQ(actionNames(w<QToolBar>("mainToolBar")->actions()),
              (QStringList{"actionAutoConnect", "actionConnect", "actionDisconnect", "actionTest_Step1",
                           "actionTest_Step2"}));
    EXPECT_EQ(boxes.count(), 0);
}

// Connections are made by name; a name that matches nothing only warns.
QStringList connectWarnings;

void keepConnectWarnings(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.contains("QObject::connect"))
        connectWarnings << message;
}

TEST_F(MainWindowFrameTest, EveryConnectionFindsItsSignalAndSlot)
{
    window.reset();
    connectWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepConnectWarnings);
    ASSERT_NO_FATAL_FAILURE(makeWindow());
    qInstallMessageHandler(previous);
    EXPECT_TRUE(connectWarnings.isEmpty()) << connectWarnings.join("\n").toStdString();
}

TEST_F(MainWindowFrameTest, CombosCarryTheirValues)
{
    using Items = std::vector<std::pair<QString, int>>;
    EXPECT_EQ(items("Format_Ctrl"), (Items{{"STD DATA", 20}, {"STD REMOTE", 21}, {"EXT DATA", 22}, {"EXT REMOTE", 23}}));
    EXPECT_EQ(items("Serial_Baud_Combo"), (Items{{"9600", 9600}, {"19200", 19200}, {"38400", 38400}, {"57600", 57600},
                                                 {"115200", 115200}, {"230400", 230400}, {"460800", 460800}}));
    EXPECT_EQ(items("Serial_Parity_Combo"), (Items{{"None", 0}, {"Even", 2}, {"Odd", 3}, {"Mark", 5}, {"Space", 4}}));
    EXPECT_EQ(items("Serial_Stop_Combo"), (Items{{"1", 1}, {"2", 2}}));
    EXPECT_EQ(items("Serial_Flow_Combo"), (Items{{"None", 0}, {"Hardware", 1}}));
    EXPECT_EQ(items("CAN_Baud_Combo"), (Items{{"20", 20}, {"50", 50}, {"100", 100}, {"125", 125}, {"200", 200},
                                              {"250", 250}, {"300", 300}, {"500", 500}, {"800", 800}, {"1000", 1000}}));
    EXPECT_EQ(items("CAN_Spec_Combo"), (Items{{"A", 3}, {"B", 8}}));
}

TEST_F(MainWindowFrameTest, FrameFieldsFollowTheFrameType)
{
    invoke("SetTestMode"); // the tabs take input without a port
    auto *id = w<QLineEdit>("ID_Ctrl");
    id->clear();
    QTest::keyClicks(id, "800");
    EXPECT_EQ(id->text(), "7ff");
    w<QComboBox>("Format_Ctrl")->setCurrentIndex(2);
    EXPECT_EQ(id->text(), "7ff");
    QTest::keyClicks(id, "FFFFFFFFF");
    EXPECT_EQ(id->text(), "1fffffff"); // eight digits at most, 29 bits at most

    w<QSpinBox>("DLC_Ctrl")->setValue(3);
    std::vector<bool> enabled;
    for (int i = 1; i <= 8; ++i)
        enabled.push_back(w<QLineEdit>(QString("DATA1_Ctrl_%1").arg(i).toLatin1().constData())->isEnabled());
    EXPECT_EQ(enabled, (std::vector<bool>{true, true, true, false, false, false, false, false}));
    w<QComboBox>("Format_Ctrl")->setCurrentIndex(3);
    EXPECT_FALSE(w<QLineEdit>("DATA1_Ctrl_1")->isEnabled());
}

TEST_F(MainWindowFrameTest, TwoTypedDigitsMoveOnToTheNextByte)
{
    ASSERT_NO_FATAL_FAILURE(invoke("SetTestMode"));
    auto *third = w<QLineEdit>("DATA1_Ctrl_3");
    auto *fourth = w<QLineEdit>("DATA1_Ctrl_4");
    third->setFocus();
    third->clear();
    QTest::keyClicks(third, "a7");
    EXPECT_EQ(third->text(), "a7");
    EXPECT_TRUE(fourth->hasFocus());
    EXPECT_EQ(fourth->selectedText(), "78");

    // Both characters at once, as by pasting: the focus stays.
    third->setFocus();
    third->clear();
    third->insert("b8");
    EXPECT_TRUE(third->hasFocus());
}

TEST_F(MainWindowFrameTest, HiddenChords)
{
    chord(Qt::Key_Y);
    EXPECT_EQ(txCount(), 1000);
    EXPECT_EQ(rxCount(), 1000);

    chord(Qt::Key_J);
    EXPECT_TRUE(w<QAction>("actionAutoConnect")->isVisible());

    chord(Qt::Key_K);
    EXPECT_TRUE(w<QTabWidget>("tabWidget")->isEnabled());
    EXPECT_TRUE(w<QLineEdit>("Interval_Ctrl")->isVisibleTo(window.get()));
    EXPECT_TRUE(w<QAction>("actionTest_Step1")->isVisible());
    EXPECT_TRUE(w<QAction>("actionTest_Step2")->isVisible());

    LogWindow *log = logWindow();
    ASSERT_NE(log, nullptr);
    EXPECT_FALSE(log->isVisible());
    chord(Qt::Key_G);
    EXPECT_TRUE(log->isVisible());
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    chord(Qt::Key_G);
    EXPECT_FALSE(log->isVisible());

    w<QPushButton>("ClearButton")->click();
    ASSERT_EQ(boxes.count(), 1);
    EXPECT_EQ(boxes.at(0).title, "Info");
    EXPECT_EQ(boxes.at(0).text, "Cleared");
    EXPECT_EQ(txCount(), 0);
    EXPECT_EQ(rxCount(), 0);
}

TEST_F(MainWindowFrameTest, AnAutoConnectSearchThatFoundNothingSaysSo)
{
    ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "autoConnectDone", Q_ARG(int, 0)));
    ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
    EXPECT_EQ(boxes.at(0).title, "Error");
    EXPECT_EQ(boxes.at(0).text, "A CAN device cannot be found.");
    EXPECT_EQ(connectionText(), "Disconnected");
    EXPECT_FALSE(w<QTabWidget>("tabWidget")->isEnabled());
    EXPECT_TRUE(w<QAction>("actionConnect")->isEnabled());
}

TEST_F(MainWindowFrameTest, AShownLogWindowDoesNotKeepTheProgramRunning)
{
    chord(Qt::Key_G);
    ASSERT_TRUE(logWindow()->isVisible());
    // As the program runs: in the application's loop, the main window
    // closes. The loop ends (0), or the guard ends it (2).
    QTimer::singleShot(0, window.get(), [this] { window->close(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    guard.start(kWaitMs);
    EXPECT_EQ(QApplication::exec(), 0);
}

TEST_F(MainWindowFrameTest, DiagnosticLinesGoToTheLogWindow)
{
    LogWindow *log = logWindow();
    ASSERT_NE(log, nullptr);
    consolePrintf("responseData = %s\n", "OK\r");
    std::thread([] { consolePrintf("from another thread\n"); }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return log->toPlainText().contains("from another thread"); }, kWaitMs));
    EXPECT_TRUE(log->toPlainText().contains("responseData = OK\n")) << log->toPlainText().toStdString();

    // Once the window is gone, nothing is handed to it any more.
    window.reset();
    consolePrintf("after the window\n");
}

} // namespace
