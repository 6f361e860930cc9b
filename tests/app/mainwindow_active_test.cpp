// Active mode end to end: the frame lines that reach the converter, periodic
// sending, counting and showing received lines, what happens to queued
// bytes and to the port when the connection ends, and teardown.
#include "tests/app/mainwindow_fixture.h"

#include "app/console.h"

#include <QDir>
#include <QFile>

#include <vector>

namespace {

// Threads of this process named `name` (Qt names each thread after its
// class; the kernel keeps 15 characters).
int threadsNamed(const QString &name)
{
    int count = 0;
    for (const QString &task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + task + "/comm");
        if (comm.open(QIODevice::ReadOnly) && QString::fromLatin1(comm.readAll()).trimmed() == name.left(15))
            ++count;
    }
    return count;
}

// The window's three threads: its serial loop, its timer and the worker's
// event loop.
int windowThreads()
{
    return threadsNamed("SerialPortThread") + threadsNamed("TimerThread") + threadsNamed("QThread");
}

class MainWindowActiveTest : public MainWindowFixture {
protected:
    void connectActive()
    {
        ASSERT_NO_FATAL_FAILURE(startSim(sim::ConverterMode::Active));
        ASSERT_NO_FATAL_FAILURE(makeWindow());
        ASSERT_NO_FATAL_FAILURE(openSim(false));
        ASSERT_TRUE(connected()) << boxes.summary().toStdString();
        EXPECT_EQ(w<QTabWidget>("tabWidget")->currentIndex(), 0);
        EXPECT_EQ(sim->probeCount(), 0); // active mode asks the converter nothing
    }
    void setFrame(int format, const QString &id, int dlc, const QStringList &data = {})
    {
        w<QComboBox>("Format_Ctrl")->setCurrentIndex(format);
        w<QLineEdit>("ID_Ctrl")->setText(id);
        w<QSpinBox>("DLC_Ctrl")->setValue(dlc);
        for (int i = 0; i < data.size(); ++i)
            w<QLineEdit>(QString("DATA1_Ctrl_%1").arg(i + 1).toLatin1().constData())->setText(data.at(i));
    }
    Console *console() { return window->findChild<Console *>(); }
};

TEST_F(MainWindowActiveTest, FramesTypedInTheFormReachTheWireExactly)
{
    ASSERT_NO_FATAL_FAILURE(connectActive());
    struct Case {
        int format;
        const char *id;
        int dlc;
        QStringList data;
        std::string line;
    };
    const Case cases[] = {
        {0, "7FF", 3, {"AA", "bb", "0C"}, "t7FF3AABB0C\r"},
        {1, "001", 4, {"11", "22", "33", "44"}, "T0014\r"},
        {2, "1FFFFFFF", 8, {"12", "34", "56", "78", "9A", "BC", "DF", "F0"}, "e1FFFFFFF8123456789ABCDFF0\r"},
        {3, "abc", 0, {}, "E00000ABC0\r"},
        {0, "123", 2, {"", "5"}, "t12320005\r"}, // an empty box goes out as 00
    };
    int sent = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        sim->clearRecords();
        setFrame(c.format, c.id, c.dlc, c.data);
        w<QPushButton>("Send_Ctrl")->click();
        ++sent;
        ASSERT_TRUE(QTest::qWaitFor([&] { return sim->received().size() >= c.line.size(); }, kWaitMs));
        QTest::qWait(50);
        EXPECT_EQ(sim->received(), c.line);
        EXPECT_TRUE(QTest::qWaitFor([&] { return txCount() == sent; }, kWaitMs)) << txCount();
    }
    EXPECT_EQ(w<QLineEdit>("DATA1_Ctrl_1")->text(), "00");
    EXPECT_EQ(boxes.count(), 0) << boxes.summary().toStdString();
}

TEST_F(MainWindowActiveTest, PeriodicSendingRepeatsUntilStopped)
{
    ASSERT_NO_FATAL_FAILURE(connectActive());
    setFrame(0, "123", 1, {"55"});
    w<QCheckBox>("AutoCheck")->setChecked(true);
    auto *send = w<QPushButton>("Send_Ctrl");
    send->click();
    EXPECT_EQ(send->text(), "Stop");
    EXPECT_FALSE(w<QLineEdit>("ID_Ctrl")->isEnabled());
    EXPECT_FALSE(w<QCheckBox>("AutoCheck")->isEnabled());

    ASSERT_TRUE(QTest::qWaitFor([&] { return sim->frameCount() >= 4; }, kWaitMs));
    send->click();
    EXPECT_EQ(send->text(), "Send");
    EXPECT_TRUE(w<QLineEdit>("ID_Ctrl")->isEnabled());

    // Lines already queued still go out; then the counts agree and stay put.
    std::size_t frames = sim->frameCount();
    for (int i = 0; i < 50; ++i) {
        QTest::qWait(300);
        const std::size_t now = sim->frameCount();
        if (now == frames && int(now) == txCount())
            break;
        frames = now;
    }
    QTest::qWait(600);
    EXPECT_EQ(sim->frameCount(), frames);
    for (const std::string &f : sim->frames())
        EXPECT_EQ(f, "t123155");
    EXPECT_EQ(txCount(), int(frames));
}

TEST_F(MainWindowActiveTest, DisconnectingStopsPeriodicSending)
{
    ASSERT_NO_FATAL_FAILURE(connectActive());
    setFrame(0, "456", 0);
    w<QCheckBox>("AutoCheck")->setChecked(true);
    w<QPushButton>("Send_Ctrl")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim->frameCount() >= 2; }, kWaitMs));

    w<QAction>("actionDisconnect")->trigger();
    EXPECT_EQ(w<QPushButton>("Send_Ctrl")->text(), "Send");
    // A tick already on its way (at most two periods) must find no port;
    // the margin is wide so a loaded machine cannot deliver it after the
    // reconnect below.
    QTest::qWait(1000);

    const std::size_t frames = sim->frameCount();
    ASSERT_NO_FATAL_FAILURE(openSim(false));
    ASSERT_TRUE(connected());
    EXPECT_TRUE(w<QCheckBox>("AutoCheck")->isEnabled());
    EXPECT_TRUE(w<QLineEdit>("ID_Ctrl")->isEnabled());
    QTest::qWait(700);
    EXPECT_EQ(sim->frameCount(), frames);
}

TEST_F(MainWindowActiveTest, ReceivedLinesAreCountedAndShown)
{
    ASSERT_NO_FATAL_FAILURE(connectActive());
    sim->inject("t1232AABB\rT7FF0\r");
    ASSERT_TRUE(QTest::qWaitFor([&] { return rxCount() == 2; }, kWaitMs)) << rxCount();
    sim->inject("ab");
    ASSERT_TRUE(QTest::qWaitFor([&] { return console()->toPlainText().contains("ab"); }, kWaitMs));
    EXPECT_EQ(rxCount(), 2);
    const QString text = console()->toPlainText();
    EXPECT_TRUE(text.contains("t1232AABB")) << text.toStdString();
    EXPECT_TRUE(text.contains("T7FF0")) << text.toStdString();
}

TEST_F(MainWindowActiveTest, QueuedBytesDoNotOutliveTheConnection)
{
    ASSERT_NO_FATAL_FAILURE(connectActive());
    setFrame(0, "321", 2, {"AB", "CD"});
    // Queued, then the port goes before a single byte could leave.
    w<QPushButton>("Send_Ctrl")->click();
    w<QAction>("actionDisconnect")->trigger();
    EXPECT_FALSE(connected());
    sim->clearRecords();

    ASSERT_NO_FATAL_FAILURE(openSim(false));
    ASSERT_TRUE(connected());
    QTest::qWait(700);
    EXPECT_EQ(sim->received(), "");
    EXPECT_EQ(txCount(), 0);

    // Nor does a line queued while no port is open (test mode lets Send
    // work without one).
    w<QAction>("actionDisconnect")->trigger();
    ASSERT_NO_FATAL_FAILURE(invoke("SetTestMode"));
    w<QPushButton>("Send_Ctrl")->click();
    QTest::qWait(200);
    ASSERT_NO_FATAL_FAILURE(openSim(false));
    ASSERT_TRUE(connected());
    QTest::qWait(700);
    EXPECT_EQ(sim->received(), "");
    EXPECT_EQ(txCount(), 0);
}

TEST_F(MainWindowActiveTest, PortWhoseOtherSideWentAwayIsClosedWithOneBox)
{
    ASSERT_NO_FATAL_FAILURE(connectActive());
    sim.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.count() > 0; }, kWaitMs));
    QTest::qWait(500);
    ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
    EXPECT_EQ(boxes.at(0).text, "Device disconnected.");
    EXPECT_TRUE(boxes.at(0).title == "Resource Error" || boxes.at(0).title == "Permission Error")
        << boxes.at(0).title.toStdString();
    EXPECT_EQ(connectionText(), "Disconnected");
    EXPECT_FALSE(w<QAction>("actionDisconnect")->isEnabled());
    EXPECT_TRUE(w<QAction>("actionConnect")->isEnabled());
}

TEST_F(MainWindowActiveTest, EachPortErrorIsHandledByItsKind)
{
    ASSERT_NO_FATAL_FAILURE(connectActive());
    BoxShowWatcher watcher([this] { return connectionText(); });
    struct Case {
        QSerialPort::SerialPortError error;
        const char *title; // no box when null
        const char *text;  // any text when null
        bool closes;
    };
    const Case cases[] = {
        {QSerialPort::NoError, nullptr, nullptr, false},
        {QSerialPort::ParityError, nullptr, nullptr, false},
        {QSerialPort::FramingError, nullptr, nullptr, false},
        {QSerialPort::BreakConditionError, nullptr, nullptr, false},
        {QSerialPort::WriteError, nullptr, nullptr, false},
        {QSerialPort::TimeoutError, nullptr, nullptr, false},
        {QSerialPort::UnknownError, nullptr, nullptr, false},
        {QSerialPort::NotOpenError, nullptr, nullptr, true},
        {QSerialPort::DeviceNotFoundError, "Permission Error", "Cannot open COM port.", true},
        {QSerialPort::PermissionError, "Permission Error", "Cannot open COM port.", true},
        {QSerialPort::OpenError, "Permission Error", "Cannot open COM port.", true},
        {QSerialPort::ReadError, "Permission Error", "Device disconnected.", true},
        {QSerialPort::ResourceError, "Resource Error", "Device disconnected.", true},
        {QSerialPort::UnsupportedOperationError, "Unsupported Operation Error", nullptr, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.error));
        if (!connected()) {
            ASSERT_NO_FATAL_FAILURE(openSim(false));
            ASSERT_TRUE(connected()) << boxes.summary().toStdString();
        }
        boxes.clear();
        watcher.seen.clear();
        ASSERT_TRUE(QMetaObject::invokeMethod(window.get(), "handleError", Qt::DirectConnection,
                                              Q_ARG(QSerialPort::SerialPortError, c.error)));
        QTest::qWait(30);
        if (c.title) {
            ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
            EXPECT_EQ(boxes.at(0).title, c.title);
            if (c.text) {
                EXPECT_EQ(boxes.at(0).text, c.text);
            }
            // The port is gone before the box goes up.
            EXPECT_EQ(watcher.seen.join(", ").toStdString(), "Disconnected");
        } else {
            EXPECT_EQ(boxes.count(), 0) << boxes.summary().toStdString();
        }
        EXPECT_EQ(connected(), !c.closes);
        EXPECT_EQ(w<QTabWidget>("tabWidget")->isEnabled(), !c.closes);
    }
    EXPECT_EQ(logWindow()->toPlainText().count("SerialPort Class Unknown Error\n"), 1)
        << logWindow()->toPlainText().toStdString();
}

TEST_F(MainWindowActiveTest, ClosingTheWindowWhilePeriodicSendingRunsStopsEveryThread)
{
    ASSERT_NO_FATAL_FAILURE(startSim(sim::ConverterMode::Active));
    const int before = windowThreads();
    ASSERT_NO_FATAL_FAILURE(makeWindow());
    ASSERT_NO_FATAL_FAILURE(openSim(false));
    ASSERT_TRUE(connected());
    w<QCheckBox>("AutoCheck")->setChecked(true);
    w<QPushButton>("Send_Ctrl")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim->frameCount() >= 2; }, kWaitMs));
    EXPECT_EQ(threadsNamed("SerialPortThread"), 1);
    EXPECT_EQ(threadsNamed("TimerThread"), 1);
    EXPECT_EQ(windowThreads(), before + 3);

    window->close();
    window.reset();
    const std::size_t received = sim->received().size();
    EXPECT_TRUE(QTest::qWaitFor([&] { return windowThreads() == before; }, kWaitMs))
        << windowThreads() << " threads, " << before << " before";
    QTest::qWait(300);
    EXPECT_EQ(sim->received().size(), received);
}

TEST_F(MainWindowActiveTest, HiddenTestStepsSendTheirCharacters)
{
    ASSERT_NO_FATAL_FAILURE(connectActive());
    sim->clearRecords();
    ASSERT_NO_FATAL_FAILURE(invoke("SetTestMode"));
    w<QAction>("actionTest_Step1")->trigger();
    w<QAction>("actionTest_Step2")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim->lineCount() >= 2; }, kWaitMs));
    EXPECT_EQ(sim->lines(), (std::vector<std::string>{"#", "@"}));
    EXPECT_EQ(txCount(), 0);
    EXPECT_EQ(rxCount(), 0);
}

TEST_F(MainWindowActiveTest, AutoConnectSkipsAMissingPortWithoutABox)
{
    ASSERT_NO_FATAL_FAILURE(startSim(sim::ConverterMode::Active, {}, "/dev/vantrel-no-such-port"));
    ASSERT_NO_FATAL_FAILURE(makeWindow());
    ASSERT_NO_FATAL_FAILURE(invoke("SetAutoMode"));
    auto *autoConnect = w<QAction>("actionAutoConnect");
    EXPECT_TRUE(autoConnect->isVisible());
    autoConnect->trigger();
    QDialog *dialog = window->findChild<QDialog *>("AutoSettingsDialog");
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QPushButton *>("applyButton")->click();

    ASSERT_TRUE(QTest::qWaitFor([&] { return connected(); }, kWaitMs)) << boxes.summary().toStdString();
    ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
    EXPECT_EQ(boxes.at(0).title, "Warning");
    EXPECT_EQ(w<QTabWidget>("tabWidget")->currentIndex(), 0);
    EXPECT_EQ(sim->probeCount(), 2);
}

} // namespace
