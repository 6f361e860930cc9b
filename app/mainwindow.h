// The program's one top-level window: the active-mode, setup-mode and
// firmware tabs, the connection to the converter and the threads behind it.
#pragma once

#include <QByteArray>
#include <QCloseEvent>
#include <QMainWindow>
#include <QSerialPort>
#include <QString>

#include <cstdint>
#include <functional>

#include "app/settingsdialog.h"
#include "link/codec.h"

class QLabel;
class QRegExp;
class QRegExpValidator;
class QShortcut;
class QThread;

class AutoSettingsDialog;
class Console;
class LogWindow;
class PortSettingsLabel;
class SerialPortThread;
class TimerThread;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // How the firmware tab asks for a file: (parent, caption, start folder,
    // filter) -> the chosen path, empty when cancelled. A standard open-file
    // dialog unless replaced (tests answer without a dialog).
    using FileDialog = std::function<QString(QWidget *, const QString &, const QString &, const QString &)>;
    FileDialog fileDialog = standardFileDialog();
    static FileDialog standardFileDialog();

signals:
    void Thread_FirmwareUpgrade();

protected:
    // While a firmware upgrade runs the window stays: closing it would hide
    // an upgrade that goes on writing to the converter.
    void closeEvent(QCloseEvent *event) override;

private slots:
    // Frame, hidden chords and dialogs.
    void clickedAutoSetting();
    void OpenCOMPortConfig();
    void closeSerialPort();
    void about();
    void SetTestMode();
    void SetAutoMode();
    void ToggleLogWindow();
    void plus();

    // Active mode.
    void autoConnectDone(int mode);
    void writeCount(int Count);
    void SerialReadyData();
    void SetCANFrame();
    void handleError(QSerialPort::SerialPortError error);
    void AutoTest();
    void CheckChanged(int i);
    void Clear();
    void TestStep_1();
    void TestStep_2();
    void RxCANData(int count, QByteArray data);
    void Check_IDRange(QString text);
    void MoveDataCtrlCoursor(int c_old, int c_new);
    void Tx_Ready_slot();

    // Connection and setup mode.
    void ClickedPortOpen();
    void ClickedSetupApply();
    void Setup_Default();
    void Setup_Cancel();

    // Firmware tab.
    void ChangedTab(int index);
    void ClickedFWFileOpen();
    void ClickedFWUpgrade();
    void FWProgress(int persent);

private:
    void initThreads();
    void initWidgets();
    void initConnections();
    void updateControls();
    void updateStatus();

    int readDeviceConfig();
    int readHeaderChars();
    int writeDeviceConfig();
    int configToForm();
    int formToConfig();
    void loadDeviceConfig();

    // The latest firmware upgrade: a progress value that comes after its
    // final code is stale and must not lock the connection actions again.
    enum class UpgradeState : std::uint8_t { None, Running, Ended };
    UpgradeState upgradeState = UpgradeState::None;
    void endUpgrade();
    bool refuseFirmwareFile(const QString &path);
    // The folder of the last firmware file taken in this run; empty until then.
    QString lastFirmwareFolder;

    // The first place of the status bar holds the configuration message;
    // an error text takes its place until the next text replaces it.
    void showStatusError(const QString &text);
    void setMessageText(const QString &text);
    // A new try of the step that failed: its old error text goes.
    void clearStatusError();

    // Closes the port and drops the bytes still queued for it, so that they
    // never reach the next converter.
    void closePort();
    QSerialPort &port();
    // The counters are 32 bits and wrap around, as such counters do.
    static void addToCount(std::int32_t &counter, int amount);

    bool periodicSend;
    QShortcut *shortcuts[4];
    Ui::MainWindow *ui;
    LogWindow *logWindow;
    Console *console;
    SettingsDialog *settingsDialog;
    QThread *serialWorker;
    QLabel *messageLabel;
    PortSettingsLabel *settingsLabel;
    QLabel *connectionLabel;
    QLabel *versionLabel;
    std::int32_t txCount;
    std::int32_t rxCount;
    AutoSettingsDialog *autoSettingsDialog;
    std::uint8_t connectMode;
    QRegExp *stdIdRegExp;
    QRegExp *extIdRegExp;
    QRegExp *headerRegExp;
    QRegExpValidator *stdIdValidator;
    QRegExpValidator *extIdValidator;
    QRegExpValidator *headerValidator;
    SerialConfig deviceSerialConfig;
    CanConfig deviceCanConfig;
    char deviceHeaderChars[4];
    SerialPortThread *serialThread;
    TimerThread *timerThread;
};
