// The main window's form on its own (no MainWindow behind it): the images it
// names resolve, the keyboard focus order, the input limits the form itself
// sets, and the actions with their shortcuts.
#include "app/appresources.h"
#include "ui_mainwindow.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

class MainWindowForm : public ::testing::Test {
protected:
    void SetUp() override { form.setupUi(&window); }

    template <class T>
    T *w(const char *name)
    {
        T *child = window.findChild<T *>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    QMainWindow window;
    Ui::MainWindow form;
};

TEST_F(MainWindowForm, EveryImageItNamesResolves)
{
    for (const char *name : {"actionDisconnect", "actionConnect", "actionQuit", "actionAutoConnect"})
        EXPECT_FALSE(w<QAction>(name)->icon().pixmap(16, 16).isNull()) << name;
    for (const char *name : {"SaveButton", "ClearButton", "ApplyPushButton", "DefaultPushButton",
                             "CancelPushButton", "FWFileOpen", "FWUpgrade"})
        EXPECT_FALSE(w<QPushButton>(name)->icon().pixmap(16, 16).isNull()) << name;
    EXPECT_FALSE(window.windowIcon().pixmap(32, 32).isNull());
    EXPECT_TRUE(w<QAction>("actionAbout")->icon().isNull());
}

TEST_F(MainWindowForm, TabKeyFollowsTheListedOrder)
{
    const char *chain[] = {
        "Interval_Ctrl", "Format_Ctrl", "ID_Ctrl", "DATA1_Ctrl_1", "DATA1_Ctrl_2", "DATA1_Ctrl_3",
        "DATA1_Ctrl_4", "DATA1_Ctrl_5", "DATA1_Ctrl_6", "DATA1_Ctrl_7", "DATA1_Ctrl_8", "AutoCheck",
        "Send_Ctrl", "SaveButton", "ClearButton", "Serial_Baud_Combo", "Serial_Data_Combo",
        "Serial_Stop_Combo", "Serial_Parity_Combo", "Serial_Flow_Combo", "CAN_Baud_Combo", "CAN_Spec_Combo",
        "CAN_ID_Edit", "CAN_Mask_Edit", "bDAR_checkbox", "bABOR_checkbox", "FWFilePath", "FWFileOpen",
        "FWUpgrade",
    };
    for (size_t i = 0; i + 1 < sizeof chain / sizeof chain[0]; ++i) {
        QWidget *next = w<QWidget>(chain[i])->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        EXPECT_EQ(next->objectName(), QString(chain[i + 1])) << "after " << chain[i];
    }
}

TEST_F(MainWindowForm, InputLimitsOfTheForm)
{
    auto *interval = w<QLineEdit>("Interval_Ctrl");
    EXPECT_EQ(interval->text(), QString("50"));
    interval->clear();
    QTest::keyClicks(interval, "1x2-34567");
    EXPECT_EQ(interval->text(), QString("1234"));

    auto *dlc = w<QSpinBox>("DLC_Ctrl");
    EXPECT_EQ(dlc->value(), 8);
    dlc->setValue(9);
    EXPECT_EQ(dlc->value(), 8);
    dlc->setValue(-1);
    EXPECT_EQ(dlc->value(), 0);

    auto *format = w<QComboBox>("Format_Ctrl");
    for (int i = 0; i < 12; ++i)
        format->addItem(QString::number(i));
    EXPECT_EQ(format->count(), 10);

    auto *dataBits = w<QComboBox>("Serial_Data_Combo");
    dataBits->addItem("7");
    EXPECT_EQ(dataBits->count(), 1);
    EXPECT_EQ(dataBits->currentText(), QString("8"));
    EXPECT_FALSE(dataBits->isEnabled());

    const char *bytes[] = {"12", "34", "56", "78", "9A", "BC", "DF", "F0"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(w<QLineEdit>(QString("DATA1_Ctrl_%1").arg(i + 1).toLatin1().constData())->text(),
                  QString(bytes[i]));
    EXPECT_EQ(w<QLabel>("label_DATA")->text(),
              QString(7, QChar(0x2500)) + QString("DATA(Hex)") + QString(7, QChar(0x2500)));
    EXPECT_TRUE(w<QLineEdit>("FirmwareVersion")->isReadOnly());
    EXPECT_EQ(w<QTabWidget>("tabWidget")->currentIndex(), 0);
}

TEST_F(MainWindowForm, ActionsCarryTheirTextsAndShortcuts)
{
    struct Expected {
        const char *name;
        const char *text;
        const char *toolTip;
        const char *shortcut;
    };
    const Expected actions[] = {
        {"actionAbout", "&About", "About program", "Alt+A"},
        {"actionDisconnect", "&Disconnect", "Disconnect", "Alt+D"},
        {"actionConnect", "&Connect", "Connect", "Alt+C"},
        {"actionQuit", "&Quit", "Quit", "Ctrl+Q"},
        {"actionAutoConnect", "A&uto Connect", "Auto Connect", "Alt+U"},
        {"actionTest_Step1", "Step1", "Step1", ""},
        {"actionTest_Step2", "Step2", "Step2", ""},
    };
    for (const Expected &e : actions) {
        QAction *a = w<QAction>(e.name);
        EXPECT_EQ(a->text(), QString(e.text)) << e.name;
        EXPECT_EQ(a->toolTip(), QString(e.toolTip)) << e.name;
        EXPECT_EQ(a->shortcut(), QKeySequence(e.shortcut)) << e.name;
    }
    EXPECT_EQ(w<QMenu>("menuCalls")->actions(), QList<QAction *>{form.actionQuit});
    EXPECT_EQ(w<QMenu>("menuHelp")->actions(), QList<QAction *>{form.actionAbout});
}

TEST_F(MainWindowForm, ShortcutsActOnlyWhileTheirActionIsVisible)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    QSignalSpy connect(form.actionConnect, &QAction::triggered);
    QSignalSpy autoConnect(form.actionAutoConnect, &QAction::triggered);

    QTest::keyClick(&window, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(connect.count(), 1);

    form.actionAutoConnect->setVisible(false);
    QTest::keyClick(&window, Qt::Key_U, Qt::AltModifier);
    EXPECT_EQ(autoConnect.count(), 0);
    form.actionAutoConnect->setVisible(true);
    QTest::keyClick(&window, Qt::Key_U, Qt::AltModifier);
    EXPECT_EQ(autoConnect.count(), 1);
}

} // namespace
