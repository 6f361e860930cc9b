// The auto-connect search against simulated converters on pseudo-terminals.
// Each attempt lasts as long as the probe (about a second at 115200 baud,
// five at 9600), so most tests fix the baud rate with its check box.
#include "app/autosettingsdialog.h"
#include "app/portlist.h"
#include "app/settingsdialog.h"
#include "link/serialportthread.h"
#include "tests/app/msgbox_recorder.h"
#include "tests/sim/converter/converter_sim.h"
#include "tests/sim/pty.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using sim::ConverterMode;
using sim::ConverterSim;

const char kSearchWarning[] = "While searching for the device, this utility may not respond.";

// Probes that reached a converter, understood or not.
int probesHeard(const ConverterSim &s)
{
    const std::string bytes = s.received();
    int n = 0;
    for (std::size_t at = bytes.find("????"); at != std::string::npos; at = bytes.find("????", at + 4))
        ++n;
    return n;
}

// Errors that the main window's handler answers with a message box.
bool worthABox(QSerialPort::SerialPortError e)
{
    return e != QSerialPort::NoError && e != QSerialPort::TimeoutError && e != QSerialPort::ParityError
           && e != QSerialPort::FramingError && e != QSerialPort::BreakConditionError
           && e != QSerialPort::WriteError && e != QSerialPort::UnknownError;
}

QList<SerialPortEntry> noSystemPorts()
{
    return {};
}

// The name QSerialPort gives itself for a path.
QString portNameOf(const std::string &path)
{
    QSerialPort p;
    p.setPortName(QString::fromStdString(path));
    return p.portName();
}

// The simulators in the order in which the dialog lists their ports.
std::vector<ConverterSim *> sortedByPort(std::vector<ConverterSim *> all)
{
    std::sort(all.begin(), all.end(), [](ConverterSim *a, ConverterSim *b) {
        return serialPortNumberKey(QString::fromStdString(a->portPath()))
               < serialPortNumberKey(QString::fromStdString(b->portPath()));
    });
    return all;
}

QStringList pathsOf(const std::vector<ConverterSim *> &all)
{
    QStringList paths;
    for (ConverterSim *s : all)
        paths << QString::fromStdString(s->portPath());
    return paths;
}

class AutoConnect : public ::testing::Test {
protected:
    void SetUp() override { setSystemPortSource(noSystemPorts); }
    void TearDown() override
    {
        dialog.reset();
        worker.reset();
        qunsetenv("VANTREL_EXTRA_PORTS");
        setSystemPortSource(nullptr);
    }

    // A converter answering at `baud`, or one that only listens.
    ConverterSim &addConverter(ConverterMode mode, unsigned baud = 115200, bool silent = false)
    {
        sim::ConverterConfig config;
        config.serial.baud = baud;
        sims.push_back(std::make_unique<ConverterSim>(mode, config));
        ConverterSim &s = *sims.back();
        s.setSilent(silent);
        EXPECT_TRUE(s.start());
        return s;
    }
    ConverterSim &addSilent() { return addConverter(ConverterMode::Active, 115200, true); }

    // Builds the dialog over the given port paths (colon-joined).
    void build(const QStringList &paths)
    {
        qputenv("VANTREL_EXTRA_PORTS", paths.join(':').toLocal8Bit());
        worker = std::make_unique<SerialPortThread>();
        dialog = std::make_unique<AutoSettingsDialog>();
        dialog->setSerialThread(worker.get());
        spy = std::make_unique<QSignalSpy>(dialog.get(), &AutoSettingsDialog::connectDone);
    }
    template <class T>
    T *w(const char *name)
    {
        T *child = dialog->findChild<T *>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    void fix(const char *checkBox, const char *combo, const QString &text)
    {
        w<QCheckBox>(checkBox)->setChecked(true);
        QComboBox *box = w<QComboBox>(combo);
        const int i = box->findText(text);
        ASSERT_GE(i, 0) << text.toStdString();
        box->setCurrentIndex(i);
    }
    // Presses Apply; returns the one mode reported.
    int search()
    {
        w<QPushButton>("applyButton")->click();
        EXPECT_EQ(spy->count(), 1);
        return spy->isEmpty() ? -1 : spy->first().first().toInt();
    }
    void expectOnlyTheSearchWarning(const MessageBoxRecorder &boxes)
    {
        ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
        EXPECT_EQ(boxes.at(0).title, QString("Warning"));
        EXPECT_EQ(boxes.at(0).text, QString(kSearchWarning));
    }

    std::vector<std::unique_ptr<ConverterSim>> sims;
    std::unique_ptr<SerialPortThread> worker;
    std::unique_ptr<AutoSettingsDialog> dialog;
    std::unique_ptr<QSignalSpy> spy;
};

TEST_F(AutoConnect, FindsTheConverterOnItsPortAfterTryingTheOnesBefore)
{
    const std::vector<ConverterSim *> all = sortedByPort({&addSilent(), &addSilent(), &addSilent()});
    // The converter goes on the port that is tried last.
    all.back()->setSilent(false);
    build(pathsOf(all));
    fix("BaudrateCheckBox", "baudRateBox", "115200");

    MessageBoxRecorder boxes;
    EXPECT_EQ(search(), int(ActiveMode));
    expectOnlyTheSearchWarning(boxes);
    for (ConverterSim *s : all)
        EXPECT_EQ(s->probeCount(), 2) << s->portPath();
    // The port is left closed with the settings that answered.
    EXPECT_FALSE(worker->port.isOpen());
    EXPECT_EQ(worker->port.portName(), portNameOf(all.back()->portPath()));
    EXPECT_EQ(worker->port.baudRate(), 115200);
    EXPECT_EQ(worker->port.parity(), QSerialPort::NoParity);
    EXPECT_EQ(worker->port.stopBits(), QSerialPort::OneStop);
    EXPECT_EQ(worker->port.flowControl(), QSerialPort::NoFlowControl);
    EXPECT_TRUE(dialog->isHidden());
}

TEST_F(AutoConnect, TriesEveryBaudRateOnAPortBeforeTheNextPort)
{
    // Both would answer at 9600 (active mode: setup mode is always 115200);
    // with nothing fixed the first listed port goes through 115200 and then
    // 9600 before the second is touched.
    const std::vector<ConverterSim *> all =
        sortedByPort({&addConverter(ConverterMode::Active, 9600), &addConverter(ConverterMode::Active, 9600)});
    build(pathsOf(all));

    MessageBoxRecorder boxes;
    EXPECT_EQ(search(), int(ActiveMode));
    expectOnlyTheSearchWarning(boxes);
    // 115200 first (heard, not understood), then 9600.
    EXPECT_EQ(probesHeard(*all[0]), 4);
    EXPECT_EQ(all[0]->probeCount(), 2);
    EXPECT_EQ(probesHeard(*all[1]), 0);
    EXPECT_EQ(worker->port.baudRate(), 9600);
    EXPECT_EQ(worker->port.portName(), portNameOf(all[0]->portPath()));
}

TEST_F(AutoConnect, AFixedPortAndBaudRateAreTheOnlyOnesTried)
{
    const std::vector<ConverterSim *> all =
        sortedByPort({&addConverter(ConverterMode::Active, 9600), &addConverter(ConverterMode::Active, 9600),
                      &addConverter(ConverterMode::Active, 9600)});
    build(pathsOf(all));
    fix("COMCheckBox", "serialPortInfoListBox", QString::fromStdString(all[2]->portPath()));
    fix("BaudrateCheckBox", "baudRateBox", "9600");

    MessageBoxRecorder boxes;
    EXPECT_EQ(search(), int(ActiveMode));
    expectOnlyTheSearchWarning(boxes);
    EXPECT_EQ(probesHeard(*all[0]), 0);
    EXPECT_EQ(probesHeard(*all[1]), 0);
    // One attempt, at 9600: no probe at 115200 before it.
    EXPECT_EQ(probesHeard(*all[2]), 2);
    EXPECT_EQ(worker->port.portName(), portNameOf(all[2]->portPath()));
    EXPECT_EQ(worker->port.baudRate(), 9600);
}

TEST_F(AutoConnect, ReportsNoModeWhenNothingAnswers)
{
    ConverterSim &a = addSilent();
    ConverterSim &b = addSilent();
    build({QString::fromStdString(a.portPath()), QString::fromStdString(b.portPath())});
    fix("BaudrateCheckBox", "baudRateBox", "115200");

    MessageBoxRecorder boxes;
    EXPECT_EQ(search(), int(NoMode));
    expectOnlyTheSearchWarning(boxes);
    EXPECT_EQ(a.probeCount(), 2);
    EXPECT_EQ(b.probeCount(), 2);
    EXPECT_FALSE(worker->port.isOpen());
}

TEST_F(AutoConnect, AFixedPortWithNoPortListedMakesNoAttempt)
{
    build({});
    ASSERT_EQ(w<QComboBox>("serialPortInfoListBox")->count(), 0);
    w<QCheckBox>("COMCheckBox")->setChecked(true);
    MessageBoxRecorder boxes;
    EXPECT_EQ(search(), int(NoMode));
    expectOnlyTheSearchWarning(boxes);
    EXPECT_EQ(worker->port.portName(), QString());
}

TEST_F(AutoConnect, PortsThatCannotBeOpenedFailQuietly)
{
    ConverterSim &busy = addConverter(ConverterMode::Active);
    ConverterSim &converter = addConverter(ConverterMode::Active);
    // Another program holds the first pseudo-terminal.
    QSerialPort holder(QString::fromStdString(busy.portPath()));
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    build({"/dev/vantrel-no-such-port", QString::fromStdString(busy.portPath()),
           QString::fromStdString(converter.portPath())});
    fix("BaudrateCheckBox", "baudRateBox", "115200");
    // Stands for the main window's error handler on the same port.
    std::vector<QSerialPort::SerialPortError> errors;
    QObject::connect(&worker->port, &QSerialPort::errorOccurred, [&](QSerialPort::SerialPortError e) {
        if (worthABox(e))
            errors.push_back(e);
    });

    MessageBoxRecorder boxes;
    EXPECT_EQ(search(), int(ActiveMode));
    expectOnlyTheSearchWarning(boxes);
    EXPECT_TRUE(errors.empty()) << "first error " << int(errors.front());
    EXPECT_EQ(probesHeard(busy), 0);
    EXPECT_EQ(worker->port.portName(), portNameOf(converter.portPath()));
}

// A device that answers every probe with one fixed text.
class ScriptedReplier {
public:
    explicit ScriptedReplier(std::string reply)
        : reply(std::move(reply))
        , thread([this] { serve(); })
    {
    }
    ~ScriptedReplier()
    {
        stop.store(true);
        thread.join();
    }
    const std::string &portPath() const { return pty.slavePath(); }

private:
    void serve()
    {
        std::string heard;
        std::size_t answered = 0;
        while (!stop.load()) {
            heard += pty.readSome(20);
            std::size_t probes = 0;
            for (std::size_t at = heard.find("????"); at != std::string::npos; at = heard.find("????", at + 4))
                ++probes;
            for (; answered < probes; ++answered)
                pty.writeAll(reply);
        }
    }

    sim::Pty pty;
    const std::string reply;
    std::atomic<bool> stop{false};
    std::thread thread;
};

struct ReplyCase {
    const char *name;
    const char *reply;
    int mode;
};

class AutoConnectReply : public AutoConnect, public ::testing::WithParamInterface<ReplyCase> {
};

TEST_P(AutoConnectReply, OnlyAnExactModeLineCounts)
{
    ScriptedReplier device(GetParam().reply);
    build({QString::fromStdString(device.portPath())});
    fix("BaudrateCheckBox", "baudRateBox", "115200");
    MessageBoxRecorder boxes;
    EXPECT_EQ(search(), GetParam().mode);
    expectOnlyTheSearchWarning(boxes);
}

INSTANTIATE_TEST_SUITE_P(Replies, AutoConnectReply, ::testing::Values(
    ReplyCase{"Setup", "TELQO_setup\r", int(SetupMode)},
    ReplyCase{"Active", "TELQO_active\r", int(ActiveMode)},
    ReplyCase{"OneByteMore", "TELQO_setup\rX", int(NoMode)},
    ReplyCase{"OneByteLess", "TELQO_setup", int(NoMode)},
    ReplyCase{"ByteAhead", "XTELQO_active\r", int(NoMode)},
    ReplyCase{"Twice", "TELQO_active\rTELQO_active\r", int(NoMode)}),
    [](const ::testing::TestParamInfo<ReplyCase> &info) { return std::string(info.param.name); });

TEST_F(AutoConnect, AFixedParityAndStopBitsAreTheOnesUsed)
{
    ConverterSim &converter = addConverter(ConverterMode::Active);
    build({QString::fromStdString(converter.portPath())});
    fix("BaudrateCheckBox", "baudRateBox", "115200");
    fix("ParityCheckBox", "parityBox", "Even");
    fix("StopCheckBox", "stopBitsBox", "2");
    MessageBoxRecorder boxes;
    EXPECT_EQ(search(), int(ActiveMode));
    EXPECT_EQ(worker->port.parity(), QSerialPort::EvenParity);
    EXPECT_EQ(worker->port.stopBits(), QSerialPort::TwoStop);
}

TEST_F(AutoConnect, AFixedFlowControlIsTheOneUsed)
{
    ConverterSim &converter = addConverter(ConverterMode::Active);
    build({QString::fromStdString(converter.portPath())});
    fix("BaudrateCheckBox", "baudRateBox", "115200");
    fix("FlowCheckBox", "flowControlBox", "Hardware");
    MessageBoxRecorder boxes;
    EXPECT_EQ(search(), int(ActiveMode));
    EXPECT_EQ(worker->port.flowControl(), QSerialPort::HardwareControl);
}

TEST_F(AutoConnect, WithoutAWorkerTheSearchReportsNoMode)
{
    build({"/dev/vantrel-no-such-port"});
    dialog->setSerialThread(nullptr);
    MessageBoxRecorder boxes;
    EXPECT_EQ(search(), int(NoMode));
}

TEST_F(AutoConnect, EachCheckBoxEnablesItsCombo)
{
    build({});
    const std::pair<const char *, const char *> pairs[] = {
        {"COMCheckBox", "serialPortInfoListBox"}, {"BaudrateCheckBox", "baudRateBox"},
        {"ParityCheckBox", "parityBox"}, {"StopCheckBox", "stopBitsBox"}, {"FlowCheckBox", "flowControlBox"},
    };
    for (const auto &p : pairs) {
        EXPECT_FALSE(w<QCheckBox>(p.first)->isChecked()) << p.first;
        EXPECT_FALSE(w<QComboBox>(p.second)->isEnabled()) << p.second;
    }
    for (const auto &p : pairs) {
        w<QCheckBox>(p.first)->setChecked(true);
        for (const auto &q : pairs)
            EXPECT_EQ(w<QComboBox>(q.second)->isEnabled(), w<QCheckBox>(q.first)->isChecked()) << q.second;
    }
    w<QCheckBox>("ParityCheckBox")->setChecked(false);
    EXPECT_FALSE(w<QComboBox>("parityBox")->isEnabled());
    EXPECT_TRUE(w<QComboBox>("stopBitsBox")->isEnabled());
}

TEST_F(AutoConnect, FormAndListsMatchTheirDescription)
{
    build({});
    EXPECT_EQ(dialog->objectName(), QString("AutoSettingsDialog"));
    EXPECT_EQ(dialog->windowTitle(), QString("Auto Setting"));
    EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(dialog->size(), QSize(250, 239));
    EXPECT_EQ(w<QPushButton>("applyButton")->text(), QString("Apply"));
    QStringList bauds;
    QComboBox *baud = w<QComboBox>("baudRateBox");
    for (int i = 0; i < baud->count(); ++i)
        bauds << baud->itemText(i);
    EXPECT_EQ(bauds, QStringList({"300", "600", "1200", "2400", "3600", "4800", "7200", "9600", "19200",
                                  "38400", "57600", "115200", "230400", "460800"}));
    EXPECT_FALSE(baud->isEditable());
    EXPECT_EQ(w<QComboBox>("parityBox")->itemData(3).toInt(), int(QSerialPort::MarkParity));
    EXPECT_FALSE(w<QComboBox>("dataBitsBox")->isEnabled());
    const AutoSearchSettings s = dialog->settings();
    EXPECT_EQ(s.baudRate, 300);
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.parity, 0);
    EXPECT_EQ(s.stopBits, 1);
    EXPECT_EQ(s.flowControl, 0);
}

QList<SerialPortEntry> oneUsbPort()
{
    SerialPortEntry e;
    e.name = "ttyUSB0";
    e.description = "USB Serial";
    e.systemLocation = "/dev/ttyUSB0";
    e.vendorIdentifier = 0x1a86;
    e.productIdentifier = 0x7523;
    return {e};
}

TEST_F(AutoConnect, EachPortCarriesItsDetails)
{
    setSystemPortSource(oneUsbPort);
    build({"/dev/pts/7", "COM12"});
    QComboBox *ports = w<QComboBox>("serialPortInfoListBox");
    ASSERT_EQ(ports->count(), 3);
    EXPECT_EQ(ports->itemData(0).toStringList(),
              QStringList({"ttyUSB0", "USB Serial", "N/A", "N/A", "/dev/ttyUSB0", "1a86", "7523", "ttyUSB0"}));
    EXPECT_EQ(ports->itemData(1).toStringList(),
              QStringList({"/dev/pts/7", "N/A", "N/A", "N/A", "/dev/pts/7", "N/A", "N/A", "/dev/pts/7"}));
    EXPECT_EQ(ports->itemData(2).toStringList().last(), QString("12"));
}

TEST_F(AutoConnect, ListsMoreThanAHundredPorts)
{
    QStringList paths;
    for (int i = 0; i < 150; ++i)
        paths << QString("/dev/vantrel-test-%1").arg(i);
    build(paths);
    EXPECT_EQ(w<QComboBox>("serialPortInfoListBox")->count(), 150);
    EXPECT_EQ(w<QComboBox>("serialPortInfoListBox")->itemText(149), paths.last());
}

} // namespace
