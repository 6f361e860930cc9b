// Connection and setup mode: open the port in the chosen mode, make sure a
// converter in setup mode answers, read its configuration into the setup
// tab, write the edited configuration back and have the converter keep it.
#include "app/mainwindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QStatusBar>
#include <QThread>

#include <algorithm>
#include <cstring>

#include "app/settingsdialog.h"
#include "link/serialportthread.h"
#include "ui_mainwindow.h"

namespace {

// Replies are parsed from a copy of at most this many bytes.
constexpr int kReplyCopySize = 30;

// The converter's answer to a setup command that it carried out.
bool replyOk(const QByteArray &reply)
{
    return reply.count("OK") > 0;
}

// Finds the item whose data is value; false (and no change) when none has it.
bool selectByData(QComboBox *combo, int value)
{
    const int index = combo->findData(value, Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return false;
    combo->setCurrentIndex(index);
    return true;
}

QString idText(std::uint32_t value, int width)
{
    return QString("%1").arg(value, width, 16, QChar('0')).toUpper();
}

// The byte that a header edit stands for: the character itself for
// anything the "RH" reply can have put there, so that it goes back unchanged.
char headerByte(const QString &text)
{
    const QChar c = text.at(0);
    if (c.unicode() < 256)
        return static_cast<char>(c.unicode());
    return text.toLocal8Bit().at(0);
}

} // namespace

void MainWindow::ClickedPortOpen()
{
    clearStatusError();
    settingsDialog->updateSettings();
    const SerialSettings settings = settingsDialog->settings();
    port().setPortName(settings.portName);
    port().setBaudRate(settings.baudRate, QSerialPort::AllDirections);
    port().setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits));
    port().setParity(static_cast<QSerialPort::Parity>(settings.parity));
    port().setStopBits(static_cast<QSerialPort::StopBits>(settings.stopBits));
    port().setFlowControl(static_cast<QSerialPort::FlowControl>(settings.flowControl));
    settingsDialog->hide();

    if (!port().open(QIODevice::ReadWrite)) {
        showStatusError(tr("Open error"));
    } else if (settings.connectMode == SetupMode) {
        const QByteArray reply = serialThread->probeDevice();
        if (std::strcmp(reply.constData(), "TELQO_setup\r") == 0) {
            connectMode = SetupMode;
        } else {
            // Closed before the box goes up, as after a port error: an open
            // port would keep calling in from the box's own event loop.
            closePort();
            QMessageBox::question(this, tr(" "), tr("The device can not be detected."), QMessageBox::Ok);
        }
    } else {
        connectMode = ActiveMode;
    }
    updateStatus();
    updateControls();
}

int MainWindow::readDeviceConfig()
{
    char line[30];
    std::uint8_t length = 0;
    char copy[kReplyCopySize];

    auto exchange = [&](int minimum, int &copied) -> bool {
        const QByteArray reply = serialThread->sendSetupCommand(line, length);
        if (reply.size() < minimum)
            return false;
        copied = std::min(reply.size(), kReplyCopySize);
        std::memcpy(copy, reply.constData(), static_cast<std::size_t>(copied));
        return true;
    };
    int copied = 0;

    if (EncodeReadSerial(line, sizeof line, &length) != 0 || !exchange(6, copied))
        return 1;
    if (DecodeSerialReply(&deviceSerialConfig, copy, static_cast<std::uint8_t>(copied)) != 0)
        return 1;

    if (EncodeReadCan(line, sizeof line, &length) != 0 || !exchange(6, copied))
        return 1;
    if (DecodeCanReply(&deviceCanConfig, copy, static_cast<std::uint8_t>(copied)) != 0)
        return 1;

    if (readHeaderChars() != 0)
        return 1;

    if (EncodeFirmwareVersion(line, sizeof line, &length) != 0)
        return 1;
    const QByteArray version = serialThread->sendSetupCommand(line, length);
    if (version.size() < 5)
        return 1;
    ui->FirmwareVersion->setText(QString::fromUtf8(version.constData(), int(qstrnlen(version.constData(), uint(version.size())))));
    return 0;
}

int MainWindow::readHeaderChars()
{
    char line[30];
    std::uint8_t length = 0;
    if (EncodeReadHeader(line, &length) != 0)
        return 1;
    const QByteArray reply = serialThread->sendSetupCommand(line, length);
    if (reply.size() < 5)
        return 1;
    QLineEdit *const edits[4] = {ui->Header_STD_DATA_Edit, ui->Header_STD_REMOTE_Edit, ui->Header_EXT_DATA_Edit,
                                 ui->Header_EXT_REMOTE_Edit};
    for (int i = 0; i < 4; ++i)
        edits[i]->setText(QString(QChar(static_cast<uchar>(reply.at(i)))));
    return 0;
}

int MainWindow::writeDeviceConfig()
{
    char line[30];
    std::uint8_t length = 0;

    if (EncodeWriteSerial(deviceSerialConfig, line, sizeof line, &length) != 0)
        return 1;
    if (!replyOk(serialThread->sendSetupCommand(line, length)))
        return 1;
    QThread::msleep(1);

    if (EncodeWriteCan(deviceCanConfig, line, sizeof line, &length) != 0)
        return 1;
    if (!replyOk(serialThread->sendSetupCommand(line, length)))
        return 1;

    EncodeWriteHeader(line, deviceHeaderChars[0], deviceHeaderChars[1], deviceHeaderChars[2],
                      deviceHeaderChars[3]);
    if (!replyOk(serialThread->sendSetupCommand(line, 7)))
        return 1;
    QThread::msleep(1);

    if (EncodeSave(line, sizeof line, &length) != 0)
        return 1;
    if (!replyOk(serialThread->sendSetupCommand(line, length)))
        return 1;
    return 0;
}

int MainWindow::configToForm()
{
    if (!selectByData(ui->Serial_Baud_Combo, int(deviceSerialConfig.baud)))
        QMessageBox::information(this, tr("Info"), tr("Serial baud rate cannot be detected."), QMessageBox::Ok);
    if (!selectByData(ui->Serial_Flow_Combo, deviceSerialConfig.flowControl))
        return 1;
    if (!selectByData(ui->Serial_Parity_Combo, deviceSerialConfig.parity))
        return 1;
    if (!selectByData(ui->Serial_Stop_Combo, deviceSerialConfig.stopBits))
        return 1;
    if (!selectByData(ui->CAN_Baud_Combo, deviceCanConfig.rate))
        QMessageBox::information(this, tr("Info"), tr("CAN Baud rate cannot be detected."), QMessageBox::Ok);
    if (!selectByData(ui->CAN_Spec_Combo, deviceCanConfig.idType))
        return 1;

    ui->CAN_ID_Edit->setText(idText(deviceCanConfig.id, deviceCanConfig.idType));
    ui->CAN_Mask_Edit->setText(idText(deviceCanConfig.mask, deviceCanConfig.idType));
    ui->bABOR_checkbox->setChecked(deviceCanConfig.abor != 0);
    ui->bDAR_checkbox->setChecked(deviceCanConfig.dar != 0);
    return 0;
}

int MainWindow::formToConfig()
{
    // Every letter must be there and differ from the others; otherwise
    // nothing is taken and nothing may be written.
    const QString headers[4] = {ui->Header_STD_DATA_Edit->text(), ui->Header_STD_REMOTE_Edit->text(),
                                ui->Header_EXT_DATA_Edit->text(), ui->Header_EXT_REMOTE_Edit->text()};
    bool headersOk = true;
    for (int i = 0; i < 4 && headersOk; ++i) {
        if (headers[i].isEmpty())
            headersOk = false;
        for (int j = i + 1; j < 4 && headersOk; ++j)
            if (headers[i] == headers[j])
                headersOk = false;
    }
    if (!headersOk) {
        QMessageBox::warning(this, tr("Warning"), tr("Duplicate input entered."), QMessageBox::Ok);
        return 1;
    }

    deviceSerialConfig.baud = static_cast<std::uint32_t>(ui->Serial_Baud_Combo->currentData().toInt());
    deviceSerialConfig.dataBits = 8;
    deviceSerialConfig.parity = static_cast<std::uint8_t>(ui->Serial_Parity_Combo->currentData().toInt());
    deviceSerialConfig.stopBits = static_cast<std::uint8_t>(ui->Serial_Stop_Combo->currentData().toInt());
    deviceSerialConfig.flowControl = static_cast<std::uint8_t>(ui->Serial_Flow_Combo->currentData().toInt());

    deviceCanConfig.rate = ui->CAN_Baud_Combo->currentText().toInt(nullptr, 10);
    deviceCanConfig.id = static_cast<std::uint32_t>(ui->CAN_ID_Edit->text().toULongLong(nullptr, 16));
    deviceCanConfig.mask = static_cast<std::uint32_t>(ui->CAN_Mask_Edit->text().toULongLong(nullptr, 16));
    deviceCanConfig.idType = static_cast<std::uint8_t>(ui->CAN_Spec_Combo->currentData().toInt());
    deviceCanConfig.dar = ui->bDAR_checkbox->isChecked() ? 1 : 0;
    deviceCanConfig.abor = ui->bABOR_checkbox->isChecked() ? 1 : 0;

    for (int i = 0; i < 4; ++i)
        deviceHeaderChars[i] = headerByte(headers[i]);
    return 0;
}

void MainWindow::ClickedSetupApply()
{
    if (formToConfig() != 0)
        return;
    if (writeDeviceConfig() != 0)
        QMessageBox::critical(this, tr("Error"), tr("An error occurred while saving configuration."),
                              QMessageBox::Ok);
    else
        QMessageBox::information(this, tr("Info"), tr("Configuration saved."), QMessageBox::Ok);
}

void MainWindow::Setup_Default()
{
    deviceSerialConfig.baud = 115200;
    deviceSerialConfig.dataBits = 8;
    deviceSerialConfig.parity = 0;
    deviceSerialConfig.stopBits = 1;
    deviceSerialConfig.flowControl = 0;
    deviceCanConfig.rate = 125;
    deviceCanConfig.id = 0;
    deviceCanConfig.mask = 0;
    deviceCanConfig.idType = 8;
    deviceCanConfig.dar = 0;
    deviceCanConfig.abor = 0;
    ui->Header_STD_DATA_Edit->setText(QString("%1").arg('t'));
    ui->Header_STD_REMOTE_Edit->setText(QString("%1").arg('T'));
    ui->Header_EXT_DATA_Edit->setText(QString("%1").arg('e'));
    ui->Header_EXT_REMOTE_Edit->setText(QString("%1").arg('E'));
    configToForm();
}

void MainWindow::Setup_Cancel()
{
    readHeaderChars();
    configToForm();
}

void MainWindow::loadDeviceConfig()
{
    if (readDeviceConfig() != 0 || configToForm() != 0) {
        QMessageBox::critical(this, tr("Error"), tr("Cannot read the configuration."), QMessageBox::Ok);
        setMessageText(tr("Cannot read the configuration."));
        return;
    }
    setMessageText(tr("Configuration retrieved."));
}
