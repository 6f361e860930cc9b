// The serial settings dialog: its record in each mode, the frame header
// letters it stores or refuses, and the ports it offers.
#include "app/portlist.h"
#include "app/settingsdialog.h"
#include "link/codec.h"
#include "tests/app/msgbox_recorder.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

// The four frame header characters in effect, read back through the encoder.
std::string frameHeaders()
{
    std::string s;
    for (uint8_t type : {STD_DATA, STD_REMOTE, EXT_DATA, EXT_REMOTE}) {
        CanFrameCommand frame;
        frame.frameType = type;
        frame.id = 1;
        char out[30];
        uint8_t len = 0;
        EXPECT_EQ(EncodeCanFrame(frame, out, sizeof out, &len), 0);
        s += out[0];
    }
    return s;
}

QList<SerialPortEntry> noSystemPorts()
{
    return {};
}

QList<SerialPortEntry> twoSystemPorts()
{
    SerialPortEntry usb;
    usb.name = "ttyUSB1";
    usb.systemLocation = "/dev/ttyUSB1";
    SerialPortEntry uart;
    uart.name = "ttyS0";
    uart.systemLocation = "/dev/ttyS0";
    return {usb, uart};
}

// The machine's own serial ports stay out of these tests.
class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qunsetenv("VANTREL_EXTRA_PORTS");
        setSystemPortSource(noSystemPorts);
    }
    void TearDown() override
    {
        qunsetenv("VANTREL_EXTRA_PORTS");
        setSystemPortSource(nullptr);
    }

    template <class T>
    T *w(SettingsDialog &d, const char *name)
    {
        T *child = d.findChild<T *>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    void setHeaders(SettingsDialog &d, const QString &sd, const QString &sr, const QString &ed, const QString &er)
    {
        w<QLineEdit>(d, "Set_Header_STD_DATA_Edit")->setText(sd);
        w<QLineEdit>(d, "Set_Header_STD_REMOTE_Edit")->setText(sr);
        w<QLineEdit>(d, "Set_Header_EXT_DATA_Edit")->setText(ed);
        w<QLineEdit>(d, "Set_Header_EXT_REMOTE_Edit")->setText(er);
    }
    QStringList items(QComboBox *box)
    {
        QStringList list;
        for (int i = 0; i < box->count(); ++i)
            list << box->itemText(i);
        return list;
    }
};

TEST_F(SettingsDialogTest, ConstructionStoresTheDefaultHeaders)
{
    SetFrameHeaders('w', 'x', 'y', 'z');
    MessageBoxRecorder boxes;
    SettingsDialog dialog;
    EXPECT_EQ(frameHeaders(), "tTeE");
    EXPECT_EQ(boxes.count(), 0);
}

TEST_F(SettingsDialogTest, DefaultRecordIsActiveMode115200_8N1)
{
    SettingsDialog dialog;
    const SerialSettings s = dialog.settings();
    EXPECT_EQ(s.baudRate, 115200);
    EXPECT_EQ(s.baudRateText, QString("115200"));
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.dataBitsText, QString());
    EXPECT_EQ(s.parity, 0);
    EXPECT_EQ(s.parityText, QString("None"));
    EXPECT_EQ(s.stopBits, 1);
    EXPECT_EQ(s.stopBitsText, QString("1"));
    EXPECT_EQ(s.flowControl, 0);
    EXPECT_EQ(s.flowControlText, QString("None"));
    EXPECT_EQ(s.connectMode, ActiveMode);
}

TEST_F(SettingsDialogTest, ActiveModeRecordFollowsTheCombos)
{
    SettingsDialog dialog;
    w<QComboBox>(dialog, "baudRateBox")->setCurrentIndex(0);
    w<QComboBox>(dialog, "parityBox")->setCurrentIndex(3);
    w<QComboBox>(dialog, "stopBitsBox")->setCurrentIndex(1);
    w<QComboBox>(dialog, "flowControlBox")->setCurrentIndex(1);
    dialog.updateSettings();
    const SerialSettings s = dialog.settings();
    EXPECT_EQ(s.baudRate, 9600);
    EXPECT_EQ(s.baudRateText, QString("9600"));
    EXPECT_EQ(s.parity, int(QSerialPort::MarkParity));
    EXPECT_EQ(s.parityText, QString("Mark"));
    EXPECT_EQ(s.stopBits, 2);
    EXPECT_EQ(s.stopBitsText, QString("2"));
    EXPECT_EQ(s.flowControl, int(QSerialPort::HardwareControl));
    EXPECT_EQ(s.flowControlText, QString("Hardware"));
    EXPECT_EQ(s.connectMode, ActiveMode);
}

TEST_F(SettingsDialogTest, SettingsIsTheRecordOfTheLastUpdate)
{
    SettingsDialog dialog;
    w<QComboBox>(dialog, "baudRateBox")->setCurrentIndex(6);
    EXPECT_EQ(dialog.settings().baudRate, 115200);
    dialog.updateSettings();
    EXPECT_EQ(dialog.settings().baudRate, 460800);
}

TEST_F(SettingsDialogTest, SetupModeForces115200_8N1AndIgnoresTheHeaders)
{
    SettingsDialog dialog;
    w<QComboBox>(dialog, "baudRateBox")->setCurrentIndex(1);
    w<QComboBox>(dialog, "parityBox")->setCurrentIndex(1);
    w<QComboBox>(dialog, "stopBitsBox")->setCurrentIndex(1);
    w<QComboBox>(dialog, "flowControlBox")->setCurrentIndex(1);
    setHeaders(dialog, "", "q", "q", "");
    SetFrameHeaders('w', 'x', 'y', 'z');

    QTest::mouseClick(w<QRadioButton>(dialog, "rbSetup"), Qt::LeftButton);
    ASSERT_TRUE(w<QRadioButton>(dialog, "rbSetup")->isChecked());
    for (const char *name : {"baudRateBox", "parityBox", "stopBitsBox", "flowControlBox"})
        EXPECT_FALSE(w<QWidget>(dialog, name)->isEnabled()) << name;
    for (const char *name : {"Set_Header_STD_DATA_Edit", "Set_Header_STD_REMOTE_Edit",
                             "Set_Header_EXT_DATA_Edit", "Set_Header_EXT_REMOTE_Edit", "information_textedit"})
        EXPECT_FALSE(w<QWidget>(dialog, name)->isEnabled()) << name;

    MessageBoxRecorder boxes;
    dialog.updateSettings();
    const SerialSettings s = dialog.settings();
    EXPECT_EQ(s.baudRate, 115200);
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.parity, 0);
    EXPECT_EQ(s.stopBits, 1);
    EXPECT_EQ(s.flowControl, 0);
    EXPECT_EQ(s.connectMode, SetupMode);
    EXPECT_EQ(boxes.count(), 0) << boxes.summary().toStdString();
    EXPECT_EQ(frameHeaders(), "wxyz");

    // Back in active mode the widgets come back with the forced values.
    QTest::mouseClick(w<QRadioButton>(dialog, "rbActive"), Qt::LeftButton);
    EXPECT_TRUE(w<QWidget>(dialog, "baudRateBox")->isEnabled());
    EXPECT_TRUE(w<QWidget>(dialog, "Set_Header_EXT_REMOTE_Edit")->isEnabled());
    EXPECT_EQ(w<QComboBox>(dialog, "baudRateBox")->currentText(), QString("115200"));
    EXPECT_EQ(w<QComboBox>(dialog, "parityBox")->currentText(), QString("None"));
}

struct HeaderCase {
    const char *letters[4]; // STD_DATA, STD_REMOTE, EXT_DATA, EXT_REMOTE
    const char *warning;    // nullptr: accepted
    const char *expected;   // headers in effect afterwards
};

void PrintTo(const HeaderCase &c, std::ostream *os)
{
    *os << '"' << c.letters[0] << "\" \"" << c.letters[1] << "\" \"" << c.letters[2] << "\" \"" << c.letters[3] << '"';
}

class HeaderCheck : public SettingsDialogTest, public ::testing::WithParamInterface<HeaderCase> {
};

TEST_P(HeaderCheck, StoresFourDistinctLettersOrWarnsAndKeepsThePrevious)
{
    const HeaderCase &c = GetParam();
    SettingsDialog dialog;
    SetFrameHeaders('w', 'x', 'y', 'z');
    setHeaders(dialog, c.letters[0], c.letters[1], c.letters[2], c.letters[3]);
    w<QComboBox>(dialog, "baudRateBox")->setCurrentIndex(0);

    MessageBoxRecorder boxes;
    dialog.updateSettings();

    if (c.warning) {
        ASSERT_EQ(boxes.count(), 1) << boxes.summary().toStdString();
        EXPECT_EQ(boxes.at(0).title, QString("Warning"));
        EXPECT_EQ(boxes.at(0).icon, QMessageBox::Warning);
        EXPECT_EQ(boxes.at(0).text, QString(c.warning));
    } else {
        EXPECT_EQ(boxes.count(), 0) << boxes.summary().toStdString();
    }
    EXPECT_EQ(frameHeaders(), c.expected);
    // The rest of the record is updated either way.
    EXPECT_EQ(dialog.settings().baudRate, 9600);
    EXPECT_EQ(dialog.settings().connectMode, ActiveMode);
}

const char kMissing[] = "There is(are) missing value(s) for the header(s).";
const char kDuplicate[] = "Duplicate values were entered.";

INSTANTIATE_TEST_SUITE_P(Letters, HeaderCheck, ::testing::Values(
    HeaderCase{{"t", "T", "e", "E"}, nullptr, "tTeE"},
    HeaderCase{{"a", "b", "c", "d"}, nullptr, "abcd"},
    HeaderCase{{"t", "T", "t", "E"}, kDuplicate, "wxyz"},   // STD_DATA = EXT_DATA
    HeaderCase{{"t", "t", "e", "E"}, kDuplicate, "wxyz"},   // STD_DATA = STD_REMOTE
    HeaderCase{{"a", "b", "c", "b"}, kDuplicate, "wxyz"},   // STD_REMOTE = EXT_REMOTE
    HeaderCase{{"a", "b", "c", "c"}, kDuplicate, "wxyz"},   // EXT_DATA = EXT_REMOTE
    HeaderCase{{"t", "t", "e", ""}, kMissing, "wxyz"},      // missing wins over duplicate
    HeaderCase{{"", "T", "e", "E"}, kMissing, "wxyz"}),
    [](const ::testing::TestParamInfo<HeaderCase> &info) {
        std::string name;
        for (const char *letter : info.param.letters)
            name += *letter ? letter : "_";
        return name;
    });

TEST_F(SettingsDialogTest, HeaderEditsTakeOneLetterOnly)
{
    SettingsDialog dialog;
    QLineEdit *edit = w<QLineEdit>(dialog, "Set_Header_STD_DATA_Edit");
    edit->clear();
    QTest::keyClicks(edit, "1");
    EXPECT_EQ(edit->text(), QString());
    QTest::keyClicks(edit, "ab");
    EXPECT_EQ(edit->text(), QString("a"));
    QTest::keyClicks(edit, "?");
    EXPECT_EQ(edit->text(), QString("a"));
}

TEST_F(SettingsDialogTest, ParameterCombosHoldTheirFixedLists)
{
    SettingsDialog dialog;
    EXPECT_EQ(items(w<QComboBox>(dialog, "baudRateBox")),
              QStringList({"9600", "19200", "38400", "57600", "115200", "230400", "460800"}));
    EXPECT_EQ(items(w<QComboBox>(dialog, "parityBox")), QStringList({"None", "Even", "Odd", "Mark", "Space"}));
    EXPECT_EQ(w<QComboBox>(dialog, "parityBox")->itemData(3).toInt(), int(QSerialPort::MarkParity));
    EXPECT_EQ(w<QComboBox>(dialog, "parityBox")->itemData(4).toInt(), int(QSerialPort::SpaceParity));
    EXPECT_EQ(items(w<QComboBox>(dialog, "stopBitsBox")), QStringList({"1", "2"}));
    EXPECT_EQ(items(w<QComboBox>(dialog, "flowControlBox")), QStringList({"None", "Hardware"}));
    EXPECT_EQ(items(w<QComboBox>(dialog, "dataBitsBox")), QStringList({"8"}));
    EXPECT_FALSE(w<QComboBox>(dialog, "dataBitsBox")->isEnabled());
    EXPECT_FALSE(w<QComboBox>(dialog, "baudRateBox")->isEditable());
}

TEST_F(SettingsDialogTest, FormMatchesItsDescription)
{
    SettingsDialog dialog;
    EXPECT_EQ(dialog.objectName(), QString("SettingsDialog"));
    EXPECT_EQ(dialog.windowTitle(), QString("Settings"));
    EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(dialog.size(), QSize(493, 293));
    EXPECT_FALSE(dialog.windowIcon().isNull());
    EXPECT_EQ(w<QPushButton>(dialog, "applyButton")->text(), QString("Open COM port"));
    EXPECT_EQ(w<QLabel>(dialog, "label")->text(), QString("Setup mode serial setting is fixed. (115200 8N1)"));
    EXPECT_TRUE(w<QRadioButton>(dialog, "rbActive")->isChecked());
    EXPECT_EQ(w<QComboBox>(dialog, "baudRateBox")->maxVisibleItems(), 14);
    QTextEdit *info = w<QTextEdit>(dialog, "information_textedit");
    EXPECT_TRUE(info->isReadOnly());
    EXPECT_EQ(info->toPlainText(),
              QString("Configuration above must match the settings in the \"Setup Mode\". please check the "
                      "\"Setup Mode\" before attempting to use this device for the first time."));

    const char *chain[] = {"serialPortInfoListBox", "baudRateBox", "dataBitsBox", "parityBox", "stopBitsBox",
                           "flowControlBox", "Set_Header_STD_DATA_Edit", "Set_Header_STD_REMOTE_Edit",
                           "Set_Header_EXT_DATA_Edit", "Set_Header_EXT_REMOTE_Edit"};
    for (size_t i = 0; i + 1 < sizeof chain / sizeof chain[0]; ++i) {
        QWidget *next = w<QWidget>(dialog, chain[i])->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        EXPECT_EQ(next->objectName(), QString(chain[i + 1])) << chain[i];
    }
}

TEST_F(SettingsDialogTest, ExtraPortsAreListedOnceInNumberOrder)
{
    qputenv("VANTREL_EXTRA_PORTS", "COM10:COM3::COM1:NODIGIT:COM3");
    SettingsDialog dialog;
    QComboBox *ports = w<QComboBox>(dialog, "serialPortInfoListBox");
    EXPECT_EQ(items(ports), QStringList({"NODIGIT", "COM1", "COM3", "COM10"}));
    EXPECT_EQ(ports->itemData(2).toStringList(), QStringList({"COM3"}));
    EXPECT_EQ(dialog.settings().portName, QString("NODIGIT"));
}

TEST_F(SettingsDialogTest, SystemPortsAndExtraPathsShareOneOrder)
{
    setSystemPortSource(twoSystemPorts);
    qputenv("VANTREL_EXTRA_PORTS", "/dev/pts/2:/dev/ttyUSB1");
    SettingsDialog dialog;
    EXPECT_EQ(items(w<QComboBox>(dialog, "serialPortInfoListBox")),
              QStringList({"ttyS0", "ttyUSB1", "/dev/pts/2"}));
}

TEST_F(SettingsDialogTest, ListsMoreThanAHundredPorts)
{
    QStringList paths;
    for (int i = 0; i < 150; ++i)
        paths << QString("/dev/vantrel-test-%1").arg(i);
    qputenv("VANTREL_EXTRA_PORTS", paths.join(':').toLocal8Bit());
    SettingsDialog dialog;
    QComboBox *ports = w<QComboBox>(dialog, "serialPortInfoListBox");
    EXPECT_EQ(items(ports), paths);
}

TEST_F(SettingsDialogTest, NoPortGivesAnEmptyPortName)
{
    SettingsDialog dialog;
    EXPECT_EQ(w<QComboBox>(dialog, "serialPortInfoListBox")->count(), 0);
    EXPECT_EQ(dialog.settings().portName, QString());
}

TEST(SerialPortNumberKey, IsTheFirstRunOfDigits)
{
    const std::pair<const char *, int> cases[] = {
        {"COM12", 12}, {"COM3", 3}, {"COM", 0}, {"", 0}, {"/dev/pts/3", 3},
        {"ttyUSB10", 10}, {"a1b22", 1}, {"COM99999999999", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(serialPortNumberKey(c.first), c.second) << c.first;
}

TEST(SerialPortNumberKey, SortKeepsEqualKeysInTheirOrder)
{
    QList<SerialPortEntry> ports;
    for (const char *name : {"COM10", "B", "COM3", "A", "COM1", "x3"}) {
        SerialPortEntry e;
        e.name = name;
        ports << e;
    }
    sortSerialPorts(ports);
    QStringList names;
    for (const SerialPortEntry &e : ports)
        names << e.name;
    EXPECT_EQ(names, QStringList({"B", "A", "COM1", "COM3", "x3", "COM10"}));
}

} // namespace
