// Drives a whole MainWindow against a simulated converter on a pty: the sim's
// port is the only one the dialogs offer, and the helpers press the same
// buttons a user would.
#pragma once

#include "app/logwindow.h"
#include "app/mainwindow.h"
#include "app/portlist.h"
#include "app/settingsdialog.h"
#include "tests/app/msgbox_recorder.h"
#include "tests/sim/converter/converter_sim.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

// Notes what `state` says at the moment each message box appears.
class BoxShowWatcher : public QObject {
public:
    explicit BoxShowWatcher(std::function<QString()> state)
        : state(std::move(state))
    {
        qApp->installEventFilter(this);
    }
    ~BoxShowWatcher() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QMessageBox *>(object))
            seen << state();
        return false;
    }
    QStringList seen;

private:
    std::function<QString()> state;
};

// How many descriptors of this process are open on `path`.
inline int descriptorsOn(const std::string &path)
{
    int count = 0;
    const QDir fds("/proc/self/fd");
    for (const QString &fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files | QDir::Dirs))
        if (QFile::symLinkTarget(fds.filePath(fd)) == QString::fromStdString(path))
            ++count;
    return count;
}

class MainWindowFixture : public ::testing::Test {
protected:
    // Hang guard for anything the program has to do on its own.
    static constexpr int kWaitMs = 15000;

    void SetUp() override
    {
        setSystemPortSource([] { return QList<SerialPortEntry>(); });
        qunsetenv("VANTREL_EXTRA_PORTS");
    }

    void TearDown() override
    {
        window.reset();
        sim.reset();
        qunsetenv("VANTREL_EXTRA_PORTS");
        setSystemPortSource(nullptr);
    }

    // Starts the simulated converter; its port is offered to the dialogs
    // together with `extraPorts` (colon-separated, put first).
    void startSim(sim::ConverterMode mode, const sim::ConverterConfig &config = {}, const QString &extraPorts = {})
    {
        sim = std::make_unique<sim::ConverterSim>(mode, config);
        ASSERT_TRUE(sim->start());
        QString ports = QString::fromStdString(sim->portPath());
        if (!extraPorts.isEmpty())
            ports = extraPorts + ":" + ports;
        qputenv("VANTREL_EXTRA_PORTS", ports.toLocal8Bit());
    }

    void makeWindow()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    template <class T>
    T *w(const char *name)
    {
        T *child = window->findChild<T *>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    static SettingsDialog *settingsDialog()
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *d = qobject_cast<SettingsDialog *>(top))
                return d;
        return nullptr;
    }

    static LogWindow *logWindow()
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *l = qobject_cast<LogWindow *>(top))
                return l;
        return nullptr;
    }

    // Connect, pick the port and the mode, press "Open COM port". Returns
    // once the window has done all it does on opening.
    void openPort(const QString &portName, bool setupMode)
    {
        w<QAction>("actionConnect")->trigger();
        SettingsDialog *dialog = settingsDialog();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(dialog->isVisible());
        auto *ports = dialog->findChild<QComboBox *>("serialPortInfoListBox");
        const int index = ports->findText(portName);
        ASSERT_GE(index, 0) << portName.toStdString();
        ports->setCurrentIndex(index);
        dialog->findChild<QRadioButton *>(setupMode ? "rbSetup" : "rbActive")->click();
        dialog->findChild<QPushButton *>("applyButton")->click();
    }

    void openSim(bool setupMode)
    {
        ASSERT_NO_FATAL_FAILURE(openPort(QString::fromStdString(sim->portPath()), setupMode));
    }

    // The status bar's four labels, in their order: messages, connection,
    // port settings, version.
    QString statusLabel(int index)
    {
        const QList<QLabel *> labels =
            window->statusBar()->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
        EXPECT_EQ(labels.size(), 4);
        return index < labels.size() ? labels.at(index)->text() : QString();
    }
    QString messageText() { return statusLabel(0); }
    QString connectionText() { return statusLabel(1); }
    QString settingsText() { return statusLabel(2); }
    bool connected() { return connectionText() == "Connected"; }

    // The status bar's widget that shows `text`, or nullptr.
    QLabel *statusWidgetShowing(const QString &text)
    {
        for (QLabel *label : window->statusBar()->findChildren<QLabel *>())
            if (label->text() == text)
                return label;
        return nullptr;
    }

    // `text` can be read in the status bar, where the configuration message
    // stands: its widget is visible and as wide as the text.
    void expectStatusTextOnScreen(const QString &text)
    {
        auto wholeOnScreen = [&] {
            QLabel *label = statusWidgetShowing(text);
            return label && label->isVisible() && label->width() >= label->fontMetrics().horizontalAdvance(text);
        };
        // A new text is laid out at the event loop's next pass.
        (void)QTest::qWaitFor(wholeOnScreen, kWaitMs);
        QLabel *label = statusWidgetShowing(text);
        ASSERT_NE(label, nullptr) << "no status widget shows " << text.toStdString();
        EXPECT_TRUE(label->isVisible());
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(text));
        EXPECT_EQ(messageText(), text) << "in the configuration message's place";
    }

    int txCount() { return w<QLCDNumber>("TxCount_Ctrl")->intValue(); }
    int rxCount() { return w<QLCDNumber>("RxCount_Ctrl")->intValue(); }

    void invoke(const char *slot) { ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), slot)); }

    std::unique_ptr<sim::ConverterSim> sim;
    MessageBoxRecorder boxes;
    std::unique_ptr<MainWindow> window;
};
