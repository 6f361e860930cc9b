// The firmware tab: which tabs the connection's mode allows, the choice of
// the Intel HEX file, the start of the converter's firmware upgrade and the
// display of its progress and outcome. The upgrade itself runs in the
// serial worker's thread (link/firmwareupgrade.cpp).
#include "app/mainwindow.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>

#include "app/upgradeportname.h"
#include "link/firmwarefile.h"
#include "link/serialportthread.h"
#include "ui_mainwindow.h"

namespace {

// Progress codes besides 0 to 98.
constexpr int kProgressSucceeded = 100;
constexpr int kProgressReset = 500;
constexpr int kProgressFailed = 1000;

// The upgrade carries the port name in a 50-byte field, its terminating
// zero included.
constexpr int kPortNameCapacity = 50;

} // namespace

// Sleeps twice n microseconds.
static void usleepHelper(unsigned long n)
{
    QThread::usleep(2 * n);
}

MainWindow::FileDialog MainWindow::standardFileDialog()
{
    return [](QWidget *parent, const QString &caption, const QString &dir, const QString &filter) {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter, nullptr, QFileDialog::Options());
    };
}

void MainWindow::ChangedTab(int index)
{
    setMessageText("");
    // Changing the index here comes back through currentChanged once more.
    if (connectMode == ActiveMode && index >= 1)
        ui->tabWidget->setCurrentIndex(0);
    else if (connectMode == SetupMode && index == 0)
        ui->tabWidget->setCurrentIndex(1);
    FWProgress(kProgressReset);
}

void MainWindow::ClickedFWFileOpen()
{
    // Where the user's files are: the folder of the last file taken, else home.
    const QString start = lastFirmwareFolder.isEmpty() ? QDir::homePath() : lastFirmwareFolder;
    const QString path =
        fileDialog ? fileDialog(this, tr("Open File"), start, tr("Hex (*.hex *.HEX)")) : QString();

    // Equal exactly when every character is 7-bit ASCII.
    QString roundTrip;
    roundTrip.append(path.toLatin1().constData());
    if (roundTrip.compare(path, Qt::CaseSensitive) != 0) {
        QMessageBox::critical(this, tr("File Path Error"),
                              "Available file path can contain alphabets, numbers and following "
                              "charaters(ASCII): `~!@#$%^&-_+[]{};'.,",
                              QMessageBox::Ok);
        return;
    }
    ui->FWFilePath->setText(path);
    if (!path.isEmpty())
        lastFirmwareFolder = QFileInfo(path).absolutePath();
}

bool MainWindow::refuseFirmwareFile(const QString &path)
{
    // The library reads the file by the same bytes of its name.
    const FirmwareFileCheck check = checkFirmwareFile(path.toLocal8Bit().constData());
    if (check.verdict == FirmwareFileCheck::kUsable)
        return false;
    QString text = tr("File error.");
    if (check.verdict == FirmwareFileCheck::kDamaged)
        text += "\n" + QString::fromStdString(check.reason);
    QMessageBox::critical(this, tr("Error"), text, QMessageBox::Ok);
    showStatusError(tr("Firmware upgrade error."));
    return true;
}

void MainWindow::ClickedFWUpgrade()
{
    // One upgrade at a time: the worker reads its target while it runs.
    if (upgradeState == UpgradeState::Running)
        return;
    clearStatusError();

    const QString path = ui->FWFilePath->text();
    FWProgress(kProgressReset);
    if (refuseFirmwareFile(path))
        return;

    char line[30];
    std::uint8_t length = 0;
    if (EncodeFirmwareUpgrade(line, sizeof line, &length) != 0)
        return;

    // The worker takes the target before "FU" goes out, so that one it
    // cannot hold is refused while the converter still runs its firmware.
    const QString portName = upgradePortName(port().portName(), kPortNameCapacity);
    if (portName.isEmpty()) {
        QMessageBox::critical(this, tr("Error"), tr("The port name is too long."), QMessageBox::Ok);
        showStatusError(tr("Firmware upgrade error."));
        return;
    }
    const QByteArray portName8 = portName.toLocal8Bit();
    const QByteArray path8 = path.toLocal8Bit();
    if (!serialThread->setUpgradeTarget(portName8.constData(), path8.constData())) {
        QMessageBox::critical(this, tr("Error"), tr("File error."), QMessageBox::Ok);
        showStatusError(tr("Firmware upgrade error."));
        return;
    }

    // The converter's answer does not matter: it is off to its boot loader.
    serialThread->sendSetupCommand(line, length);
    closePort();
    usleepHelper(1000);

    // The library has the port from now on; nothing may reopen it before
    // the final code, not even in the second before the first progress value.
    ui->actionAutoConnect->setEnabled(false);
    ui->actionConnect->setEnabled(false);
    ui->actionDisconnect->setEnabled(false);
    updateStatus();
    updateControls();

    upgradeState = UpgradeState::Running;
    emit Thread_FirmwareUpgrade();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (upgradeState == UpgradeState::Running) {
        event->ignore();
        QMessageBox::warning(this, tr("Warning"),
                             tr("A firmware upgrade is running. Vantrel can be closed once the upgrade "
                                "has finished."),
                             QMessageBox::Ok);
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::endUpgrade()
{
    if (upgradeState == UpgradeState::Running)
        upgradeState = UpgradeState::Ended;
}

void MainWindow::FWProgress(int persent)
{
    if (persent == kProgressSucceeded) {
        // Before the box: its own event loop may deliver a late value.
        endUpgrade();
        ui->FWProgressBar->setValue(ui->FWProgressBar->maximum());
        QMessageBox::information(this, tr("Firmeare upgrade"),
                                 tr("Firmware upgrade successful.\nThe device got disconnected.\n"
                                    "Please reconnect if necessary."),
                                 QMessageBox::Ok);
        ui->actionAutoConnect->setEnabled(true);
        ui->actionConnect->setEnabled(true);
        ui->actionDisconnect->setEnabled(false);
    } else if (persent == kProgressReset) {
        ui->FWProgressBar->setValue(ui->FWProgressBar->minimum());
    } else if (persent == kProgressFailed) {
        endUpgrade();
        QMessageBox::critical(this, tr("Firmware Upgrade Error"),
                              tr("Please try again or contact us.\n") + serialThread->lastMessage(),
                              QMessageBox::Ok);
        ui->actionAutoConnect->setEnabled(true);
        ui->actionConnect->setEnabled(true);
        ui->actionDisconnect->setEnabled(false);
    } else {
        // The worker's loop may still send one value after the final code.
        if (upgradeState == UpgradeState::Ended)
            return;
        ui->FWProgressBar->setValue(persent);
        ui->actionAutoConnect->setEnabled(false);
        ui->actionConnect->setEnabled(false);
        ui->actionDisconnect->setEnabled(false);
    }
}
