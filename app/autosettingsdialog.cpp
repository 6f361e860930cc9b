#include "autosettingsdialog.h"

#include "appresources.h"
#include "lineparametercombos.h"
#include "link/serialportthread.h"
#include "portlist.h"
#include "settingsdialog.h"
#include "ui_autosettingsdialog.h"

#include <QIntValidator>
#include <QMessageBox>
#include <QSerialPort>
#include <QSignalBlocker>
#include <QThread>
#include <QVector>

namespace {

// Values tried for a parameter whose box is clear.
const QVector<qint32> kBaud = {115200, 9600, 921600};
const QVector<qint32> kParity = {QSerialPort::NoParity};
const QVector<qint32> kStop = {QSerialPort::OneStop};
const QVector<qint32> kFlow = {QSerialPort::NoFlowControl, QSerialPort::HardwareControl};
// Values that a checked box may fix.
const QVector<qint32> kMaxBaud = {115200, 9600, 921600, 230400, 57600, 38400, 19200, 2400,
                                  3600, 4800, 7200, 460800, 300, 600, 1200};
const QVector<qint32> kMaxParity = {QSerialPort::NoParity, QSerialPort::EvenParity, QSerialPort::OddParity,
                                    QSerialPort::MarkParity, QSerialPort::SpaceParity};
const QVector<qint32> kMaxStop = {QSerialPort::OneStop, QSerialPort::TwoStop};

// The one value a checked box fixes: its entry in the long table, or the
// value itself if the table lacks it (only a typed-in custom rate could).
QVector<qint32> fixedValue(const QVector<qint32> &table, qint32 value)
{
    const int i = table.indexOf(value);
    return {i >= 0 ? table.at(i) : value};
}

} // namespace

AutoSettingsDialog::AutoSettingsDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::AutoSettingsDialog)
{
    ui->setupUi(this);
    portCount = 0;
    intValidator = new QIntValidator(0, 4000000, this);
    ui->baudRateBox->setInsertPolicy(QComboBox::NoInsert);

    connect(ui->serialPortInfoListBox, SIGNAL(currentIndexChanged(int)), this, SLOT(showPortInfo(int)));
    connect(ui->baudRateBox, SIGNAL(currentIndexChanged(int)), this, SLOT(checkCustomBaudRatePolicy(int)));
    connect(ui->COMCheckBox, SIGNAL(stateChanged(int)), this, SLOT(checkboxstatuschanged(int)));
    connect(ui->BaudrateCheckBox, SIGNAL(stateChanged(int)), this, SLOT(checkboxstatuschanged(int)));
    connect(ui->ParityCheckBox, SIGNAL(stateChanged(int)), this, SLOT(checkboxstatuschanged(int)));
    connect(ui->StopCheckBox, SIGNAL(stateChanged(int)), this, SLOT(checkboxstatuschanged(int)));
    connect(ui->FlowCheckBox, SIGNAL(stateChanged(int)), this, SLOT(checkboxstatuschanged(int)));
    connect(ui->applyButton, SIGNAL(clicked()), this, SLOT(ClickedAutoConnect()));

    checkboxstatuschanged(0);
    fillPortsParameters();
    fillPortsInfo();
    updateSettings();
}

AutoSettingsDialog::~AutoSettingsDialog()
{
    delete ui;
}

void AutoSettingsDialog::setSerialThread(SerialPortThread *thread)
{
    serialThread = thread;
}

AutoSearchSettings AutoSettingsDialog::settings() const
{
    return currentSettings;
}

void AutoSettingsDialog::showPortInfo(int idx)
{
    if (idx == -1)
        return;
    // The port's details travel with its item; nothing shows them.
    const QStringList list = ui->serialPortInfoListBox->itemData(idx).toStringList();
    Q_UNUSED(list);
}

void AutoSettingsDialog::checkCustomBaudRatePolicy(int idx)
{
    applyCustomBaudRatePolicy(ui->baudRateBox, idx, intValidator);
}

void AutoSettingsDialog::checkboxstatuschanged(int status)
{
    Q_UNUSED(status);
    ui->serialPortInfoListBox->setEnabled(ui->COMCheckBox->isChecked());
    ui->baudRateBox->setEnabled(ui->BaudrateCheckBox->isChecked());
    ui->parityBox->setEnabled(ui->ParityCheckBox->isChecked());
    ui->stopBitsBox->setEnabled(ui->StopCheckBox->isChecked());
    ui->flowControlBox->setEnabled(ui->FlowCheckBox->isChecked());
}

void AutoSettingsDialog::fillPortsParameters()
{
    fillBaudRateCombo(ui->baudRateBox,
                      {300, 600, 1200, 2400, 3600, 4800, 7200, 9600, 19200, 38400, 57600, 115200, 230400, 460800}, 0);
    fillLineParameterCombos(ui->parityBox, ui->stopBitsBox, ui->flowControlBox);
}

void AutoSettingsDialog::fillPortsInfo()
{
    const QString blankString = tr("N/A");
    const auto orBlank = [&](const QString &s) { return s.isEmpty() ? blankString : s; };
    const auto idText = [&](quint16 id) { return id ? QString::number(id, 16) : blankString; };

    // The same list, in the same order, as the settings dialog's.
    const QList<SerialPortEntry> ports = listSerialPorts();
    for (const SerialPortEntry &port : ports) {
        QString number = port.name;
        number.remove(QStringLiteral("COM"));
        const QStringList list{port.name,
                               orBlank(port.description),
                               orBlank(port.manufacturer),
                               orBlank(port.serialNumber),
                               port.systemLocation,
                               idText(port.vendorIdentifier),
                               idText(port.productIdentifier),
                               number};
        ui->serialPortInfoListBox->addItem(port.name, list);
        portNames.append(port.name);
        ++portCount;
    }
}

void AutoSettingsDialog::updateSettings()
{
    currentSettings.portName = ui->serialPortInfoListBox->currentText();
    currentSettings.baudRate = chosenBaudRate(ui->baudRateBox);
    currentSettings.dataBits = QSerialPort::Data8;
    currentSettings.parity = ui->parityBox->currentData().toInt();
    currentSettings.stopBits = ui->stopBitsBox->currentData().toInt();
    currentSettings.flowControl = ui->flowControlBox->currentData().toInt();
}

void AutoSettingsDialog::ClickedAutoConnect()
{
    hide();
    updateSettings();
    QMessageBox::warning(this, tr("Warning"),
                         QStringLiteral("While searching for the device, this utility may not respond."));
    QThread::usleep(20);

    QVector<int> ports;
    if (ui->COMCheckBox->isChecked()) {
        // With nothing listed there is no current port, and so no attempt.
        const int current = ui->serialPortInfoListBox->currentIndex();
        if (current >= 0 && current < portCount)
            ports.append(current);
    } else {
        for (int i = 0; i < portCount; ++i)
            ports.append(i);
    }
    const QVector<qint32> bauds = ui->BaudrateCheckBox->isChecked()
                                      ? fixedValue(kMaxBaud, currentSettings.baudRate) : kBaud;
    const QVector<qint32> parities = ui->ParityCheckBox->isChecked()
                                         ? fixedValue(kMaxParity, currentSettings.parity) : kParity;
    const QVector<qint32> stops = ui->StopCheckBox->isChecked()
                                      ? fixedValue(kMaxStop, currentSettings.stopBits) : kStop;
    const QVector<qint32> flows = ui->FlowCheckBox->isChecked()
                                      ? fixedValue(kFlow, currentSettings.flowControl) : kFlow.mid(0, 1);

    if (serialThread) {
        for (qint32 parity : parities)
            for (qint32 stop : stops)
                for (qint32 flow : flows)
                    for (int port : ports)
                        for (qint32 baud : bauds) {
                            const int mode = tryPort(portNames.at(port), baud, parity, stop, flow);
                            if (mode != NoMode) {
                                emit connectDone(mode);
                                return;
                            }
                        }
    }
    emit connectDone(NoMode);
}

int AutoSettingsDialog::tryPort(const QString &name, qint32 baud, qint32 parity, qint32 stopBits, qint32 flow)
{
    QSerialPort &port = serialThread->port;
    port.setPortName(name);
    port.setBaudRate(baud, QSerialPort::AllDirections);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(static_cast<QSerialPort::Parity>(parity));
    port.setStopBits(static_cast<QSerialPort::StopBits>(stopBits));
    port.setFlowControl(static_cast<QSerialPort::FlowControl>(flow));

    bool opened;
    {
        // A candidate that cannot be opened is no news: keep the owner's
        // error handler (and its message box) out of it.
        const QSignalBlocker quiet(&port);
        opened = port.open(QIODevice::ReadWrite);
    }
    if (!opened)
        return NoMode;

    QThread::msleep(1);
    port.clearError();
    port.clear(QSerialPort::AllDirections);

    const QByteArray reply = serialThread->probeDevice();
    port.close();
    if (qstrcmp(reply.constData(), "TELQO_active\r") == 0)
        return ActiveMode;
    if (qstrcmp(reply.constData(), "TELQO_setup\r") == 0)
        return SetupMode;
    return NoMode;
}
