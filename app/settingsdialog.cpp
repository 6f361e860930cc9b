#include "settingsdialog.h"

#include "appresources.h"
#include "lineparametercombos.h"
#include "link/codec.h"
#include "portlist.h"
#include "ui_settingsdialog.h"

#include <QIntValidator>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegExp>
#include <QRegExpValidator>
#include <QSerialPort>
#include <QStringList>

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::SettingsDialog)
{
    ui->setupUi(this);
    intValidator = new QIntValidator(0, 4000000, this);
    ui->baudRateBox->setInsertPolicy(QComboBox::NoInsert);

    connect(ui->serialPortInfoListBox, SIGNAL(currentIndexChanged(int)), this, SLOT(showPortInfo(int)));
    connect(ui->baudRateBox, SIGNAL(currentIndexChanged(int)), this, SLOT(checkCustomBaudRatePolicy(int)));
    connect(ui->rbActive, SIGNAL(clicked()), this, SLOT(ChangeRadioBtn()));
    connect(ui->rbSetup, SIGNAL(clicked()), this, SLOT(ChangeRadioBtn()));

    setDefaultHeaders();
    fillPortsParameters();
    fillPortsInfo();
    updateSettings();
}

SettingsDialog::~SettingsDialog()
{
    delete headerRegExp;
    delete ui;
}

SerialSettings SettingsDialog::settings() const
{
    return currentSettings;
}

void SettingsDialog::showPortInfo(int idx)
{
    if (idx == -1)
        return;
    // The list holds the port's name alone; nothing shows it.
    const QStringList list = ui->serialPortInfoListBox->itemData(idx).toStringList();
    Q_UNUSED(list);
}

void SettingsDialog::checkCustomBaudRatePolicy(int idx)
{
    applyCustomBaudRatePolicy(ui->baudRateBox, idx, intValidator);
}

void SettingsDialog::ChangeRadioBtn()
{
    const bool active = ui->rbActive->isChecked();
    QWidget *const modeBound[] = {
        ui->baudRateBox, ui->parityBox, ui->stopBitsBox, ui->flowControlBox,
        ui->Set_Header_STD_DATA_Edit, ui->Set_Header_STD_REMOTE_Edit,
        ui->Set_Header_EXT_DATA_Edit, ui->Set_Header_EXT_REMOTE_Edit,
        ui->information_textedit,
    };
    for (QWidget *w : modeBound)
        w->setEnabled(active);
    if (!active) {
        // Setup mode always talks 115200 8N1.
        ui->baudRateBox->setCurrentIndex(4);
        ui->parityBox->setCurrentIndex(0);
        ui->stopBitsBox->setCurrentIndex(0);
        ui->flowControlBox->setCurrentIndex(0);
    }
}

void SettingsDialog::fillPortsParameters()
{
    headerRegExp = new QRegExp(QStringLiteral("[A-Za-z]"), Qt::CaseSensitive, QRegExp::RegExp);
    headerValidator = new QRegExpValidator(*headerRegExp, this);
    ui->Set_Header_STD_DATA_Edit->setValidator(headerValidator);
    ui->Set_Header_STD_REMOTE_Edit->setValidator(headerValidator);
    ui->Set_Header_EXT_DATA_Edit->setValidator(headerValidator);
    ui->Set_Header_EXT_REMOTE_Edit->setValidator(headerValidator);

    fillBaudRateCombo(ui->baudRateBox, {9600, 19200, 38400, 57600, 115200, 230400, 460800}, 4);
    fillLineParameterCombos(ui->parityBox, ui->stopBitsBox, ui->flowControlBox);
}

void SettingsDialog::fillPortsInfo()
{
    ui->serialPortInfoListBox->clear();
    // The system's own enumeration (plus VANTREL_EXTRA_PORTS), already in
    // portNumberKey order; it grows with the ports present.
    const QList<SerialPortEntry> ports = listSerialPorts();
    for (const SerialPortEntry &port : ports)
        ui->serialPortInfoListBox->addItem(port.name, QStringList{port.name});
}

void SettingsDialog::setDefaultHeaders()
{
    ui->Set_Header_STD_DATA_Edit->setText(QStringLiteral("t"));
    ui->Set_Header_STD_REMOTE_Edit->setText(QStringLiteral("T"));
    ui->Set_Header_EXT_DATA_Edit->setText(QStringLiteral("e"));
    ui->Set_Header_EXT_REMOTE_Edit->setText(QStringLiteral("E"));
}

int SettingsDialog::portNumberKey(const QString &name)
{
    return serialPortNumberKey(name);
}

void SettingsDialog::updateSettings()
{
    currentSettings.portName = ui->serialPortInfoListBox->currentText();

    currentSettings.baudRate = chosenBaudRate(ui->baudRateBox);
    currentSettings.baudRateText = QString::number(currentSettings.baudRate);

    currentSettings.dataBits = QSerialPort::Data8;

    currentSettings.parity = ui->parityBox->currentData().toInt();
    currentSettings.parityText = ui->parityBox->currentText();
    currentSettings.stopBits = ui->stopBitsBox->currentData().toInt();
    currentSettings.stopBitsText = ui->stopBitsBox->currentText();
    currentSettings.flowControl = ui->flowControlBox->currentData().toInt();
    currentSettings.flowControlText = ui->flowControlBox->currentText();

    if (!ui->rbActive->isChecked()) {
        currentSettings.connectMode = SetupMode;
        return;
    }
    currentSettings.connectMode = ActiveMode;

    const QString stdData = ui->Set_Header_STD_DATA_Edit->text();
    const QString stdRemote = ui->Set_Header_STD_REMOTE_Edit->text();
    const QString extData = ui->Set_Header_EXT_DATA_Edit->text();
    const QString extRemote = ui->Set_Header_EXT_REMOTE_Edit->text();

    if (stdData.isEmpty() || stdRemote.isEmpty() || extData.isEmpty() || extRemote.isEmpty()) {
        QMessageBox::warning(this, tr("Warning"),
                             QStringLiteral("There is(are) missing value(s) for the header(s)."));
        return;
    }
    if (stdData == stdRemote || stdData == extData || stdData == extRemote
        || stdRemote == extData || stdRemote == extRemote || extRemote == extData) {
        QMessageBox::warning(this, tr("Warning"), QStringLiteral("Duplicate values were entered."));
        return;
    }
    SetFrameHeaders(stdData.toLocal8Bit().at(0), stdRemote.toLocal8Bit().at(0),
                    extData.toLocal8Bit().at(0), extRemote.toLocal8Bit().at(0));
}
