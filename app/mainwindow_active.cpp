// Active mode: compose a CAN frame on the active tab, send it once or
// periodically, count what goes out and comes in, show the received lines,
// react to port errors and take the auto-connect search's result.
#include "app/mainwindow.h"

#include <QLineEdit>
#include <QMessageBox>

#include "app/autosettingsdialog.h"
#include "app/console.h"
#include "app/logwindow.h"
#include "link/consolelog.h"
#include "link/serialportthread.h"
#include "link/timerthread.h"
#include "ui_mainwindow.h"

extern QByteArray lastTxFrame;

void MainWindow::SetCANFrame()
{
    CanFrameCommand frame{};
    frame.frameType = static_cast<std::uint8_t>(20 + ui->Format_Ctrl->currentIndex());
    frame.id = static_cast<std::uint32_t>(ui->ID_Ctrl->text().toInt(nullptr, 16));
    frame.dlc = static_cast<std::uint8_t>(ui->DLC_Ctrl->value());
    QLineEdit *const boxes[8] = {ui->DATA1_Ctrl_1, ui->DATA1_Ctrl_2, ui->DATA1_Ctrl_3, ui->DATA1_Ctrl_4,
                                 ui->DATA1_Ctrl_5, ui->DATA1_Ctrl_6, ui->DATA1_Ctrl_7, ui->DATA1_Ctrl_8};
    for (int i = 0; i < 8; ++i) {
        frame.data[i] = static_cast<std::uint8_t>(boxes[i]->text().toInt(nullptr, 16));
        if (boxes[i]->text().isEmpty())
            boxes[i]->setText("00");
    }

    char line[30];
    std::uint8_t length = 0;
    if (EncodeCanFrame(frame, line, sizeof line, &length) != 0)
        return;
    lastTxFrame = QByteArray(line, length);

    if (ui->AutoCheck->isChecked()) {
        const int period = ui->Interval_Ctrl->text().toInt(nullptr, 10);
        if (timerThread->isEnabled()) {
            periodicSend = false;
            timerThread->disable();
            ui->Send_Ctrl->setText(tr("Send"));
        } else {
            timerThread->setPeriod(period);
            timerThread->enable();
            ui->Send_Ctrl->setText(tr("Stop"));
            periodicSend = true;
        }
    } else {
        serialThread->resetTxCounters();
        serialThread->enqueueTx(lastTxFrame);
    }
    updateControls();
}

void MainWindow::AutoTest()
{
    timerThread->disable();
    serialThread->enqueueTx(lastTxFrame);
    if (periodicSend)
        timerThread->enable();
}

void MainWindow::Tx_Ready_slot()
{
    // Nothing queued may wait for a port that is not there: it would reach
    // whatever converter the next connection opens.
    if (!port().isOpen()) {
        serialThread->discardTx();
        return;
    }
    serialThread->sendNextTxByte();
}

void MainWindow::writeCount(int Count)
{
    addToCount(txCount, Count);
    ui->TxCount_Ctrl->display(txCount);
}

void MainWindow::SerialReadyData()
{
    // Outside active mode the bytes belong to the blocking exchanges.
    if (connectMode != ActiveMode)
        return;
    const QByteArray data = port().readAll();
    const int lines = data.count('\r');
    if (lines > 0) {
        addToCount(rxCount, lines);
        ui->RxCount_Ctrl->display(rxCount);
    }
    console->putData(data);
}

void MainWindow::RxCANData(int count, QByteArray data)
{
    if (count != 0) {
        addToCount(rxCount, count);
        ui->RxCount_Ctrl->display(rxCount);
    }
    console->putData(data);
}

void MainWindow::Clear()
{
    console->clear();
    txCount = 0;
    rxCount = 0;
    ui->TxCount_Ctrl->display(txCount);
    ui->RxCount_Ctrl->display(rxCount);
    QMessageBox::information(this, tr("Info"), tr("Cleared"), QMessageBox::Ok);
}

void MainWindow::CheckChanged(int)
{
    if (ui->Format_Ctrl->currentIndex() > 1)
        ui->ID_Ctrl->setValidator(extIdValidator);
    else
        ui->ID_Ctrl->setValidator(stdIdValidator);
    if (ui->ID_Ctrl->text().isEmpty())
        ui->ID_Ctrl->setText("0");

    QRegExpValidator *filterValidator = ui->CAN_Spec_Combo->currentIndex() > 0 ? extIdValidator : stdIdValidator;
    ui->CAN_ID_Edit->setValidator(filterValidator);
    ui->CAN_Mask_Edit->setValidator(filterValidator);

    for (QLineEdit *edit : {ui->Header_STD_DATA_Edit, ui->Header_STD_REMOTE_Edit, ui->Header_EXT_DATA_Edit,
                            ui->Header_EXT_REMOTE_Edit})
        edit->setValidator(headerValidator);

    Check_IDRange(QString());

    const int format = ui->Format_Ctrl->currentIndex();
    const bool dataFrame = format == 0 || format == 2;
    const int enabledBoxes = dataFrame ? ui->DLC_Ctrl->value() : 0;
    QLineEdit *const boxes[8] = {ui->DATA1_Ctrl_1, ui->DATA1_Ctrl_2, ui->DATA1_Ctrl_3, ui->DATA1_Ctrl_4,
                                 ui->DATA1_Ctrl_5, ui->DATA1_Ctrl_6, ui->DATA1_Ctrl_7, ui->DATA1_Ctrl_8};
    for (int i = 0; i < 8; ++i)
        boxes[i]->setEnabled(i < enabledBoxes);
}

static void clampId(QLineEdit *edit, bool extended)
{
    const qulonglong value = edit->text().toULongLong(nullptr, 16);
    if (extended && value > 0x1FFFFFFFull)
        edit->setText("1fffffff");
    else if (!extended && value > 0x7FFull)
        edit->setText("7ff");
}

void MainWindow::Check_IDRange(QString)
{
    clampId(ui->ID_Ctrl, ui->Format_Ctrl->currentIndex() > 1);
    const bool extendedFilter = ui->CAN_Spec_Combo->currentIndex() > 0;
    clampId(ui->CAN_ID_Edit, extendedFilter);
    clampId(ui->CAN_Mask_Edit, extendedFilter);
}

void MainWindow::MoveDataCtrlCoursor(int c_old, int c_new)
{
    if (c_new != 2 || c_old == 0)
        return;
    auto *box = qobject_cast<QLineEdit *>(sender());
    if (box == nullptr || box->hasSelectedText())
        return;
    QLineEdit *const boxes[8] = {ui->DATA1_Ctrl_1, ui->DATA1_Ctrl_2, ui->DATA1_Ctrl_3, ui->DATA1_Ctrl_4,
                                 ui->DATA1_Ctrl_5, ui->DATA1_Ctrl_6, ui->DATA1_Ctrl_7, ui->DATA1_Ctrl_8};
    for (int i = 0; i < 7; ++i) {
        if (box->objectName() == QString("DATA1_Ctrl_%1").arg(i + 1)) {
            boxes[i + 1]->setFocus();
            boxes[i + 1]->selectAll();
            return;
        }
    }
}

void MainWindow::handleError(QSerialPort::SerialPortError error)
{
    // The port is closed before any box goes up: a port that keeps failing
    // would otherwise call back in from the box's own event loop. The
    // auto-connect search keeps its failed opens from reaching this handler.
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
        closeSerialPort();
        QMessageBox::critical(this, tr("Permission Error"), tr("Cannot open COM port."), QMessageBox::Ok);
        break;
    case QSerialPort::ParityError:
    case QSerialPort::FramingError:
        serialThread->setLineError(1);
        break;
    case QSerialPort::ReadError:
        closeSerialPort();
        QMessageBox::critical(this, tr("Permission Error"), tr("Device disconnected."), QMessageBox::Ok);
        break;
    case QSerialPort::ResourceError:
        closeSerialPort();
        QMessageBox::critical(this, tr("Resource Error"), tr("Device disconnected."), QMessageBox::Ok);
        break;
    case QSerialPort::UnsupportedOperationError: {
        const QString reason = port().errorString();
        closeSerialPort();
        QMessageBox::critical(this, tr("Unsupported Operation Error"), reason, QMessageBox::Ok);
        break;
    }
    case QSerialPort::UnknownError:
        consolePrintf("SerialPort Class Unknown Error\n");
        break;
    case QSerialPort::NotOpenError:
        closeSerialPort();
        break;
    default:
        break;
    }
}

void MainWindow::autoConnectDone(int mode)
{
    if (mode != 0) {
        const QSerialPort::Parity parity = port().parity();
        const QSerialPort::FlowControl flow = port().flowControl();
        const QSerialPort::DataBits dataBits = port().dataBits();
        const QSerialPort::StopBits stopBits = port().stopBits();
        const qint32 baud = port().baudRate(QSerialPort::AllDirections);
        const QString name = port().portName();
        port().setPortName(name);
        port().setBaudRate(baud, QSerialPort::AllDirections);
        port().setStopBits(stopBits);
        port().setDataBits(dataBits);
        port().setParity(parity);
        port().setFlowControl(flow);
        port().open(QIODevice::ReadWrite);
        connectMode = static_cast<std::uint8_t>(mode & 0xFF);
    } else {
        QMessageBox::critical(this, tr("Error"), tr("A CAN device cannot be found."), QMessageBox::Ok);
    }
    updateStatus();
    updateControls();
}

void MainWindow::TestStep_1()
{
    serialThread->sendHashCommand();
}

void MainWindow::TestStep_2()
{
    serialThread->sendAtCommand();
}
