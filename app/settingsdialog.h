// The dialog in which the user picks the port, the line parameters, the mode
// to open in and, for active mode, the four frame header letters. It never
// opens the port: the owner connects applyButton ("Open COM port") to its
// own slot, which calls updateSettings() and then settings().
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>

class QIntValidator;
class QRegExp;
class QRegExpValidator;

namespace Ui {
class SettingsDialog;
}

// The connection's mode byte; also what the auto-connect search reports.
enum ConnectMode : uint8_t {
    NoMode = 0,
    SetupMode = 0x10,
    ActiveMode = 0x11,
};

// The dialog's result: QSerialPort values with the texts the combos show.
struct SerialSettings {
    QString portName;
    qint32 baudRate = 0;
    QString baudRateText;
    qint32 dataBits = 0;
    QString dataBitsText; // stays empty
    qint32 parity = 0;    // QSerialPort::Parity
    QString parityText;
    qint32 stopBits = 0;  // QSerialPort::StopBits
    QString stopBitsText;
    qint32 flowControl = 0; // QSerialPort::FlowControl
    QString flowControlText;
    ConnectMode connectMode = NoMode;
};

class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDialog(QWidget *parent = nullptr);
    ~SettingsDialog() override;

    // A copy of the record as the last updateSettings() left it.
    SerialSettings settings() const;
    // Reads the form into the record. In active mode it also checks the
    // header letters and, when all four are there and differ, stores them as
    // the frame headers (SetFrameHeaders); otherwise it warns and leaves the
    // frame headers as they were. The rest of the record is updated either way.
    void updateSettings();

private slots:
    void showPortInfo(int idx);
    void checkCustomBaudRatePolicy(int idx);
    void ChangeRadioBtn();

private:
    void fillPortsParameters();
    void fillPortsInfo();
    void setDefaultHeaders();
    static int portNumberKey(const QString &name);

    Ui::SettingsDialog *ui;
    SerialSettings currentSettings;
    QIntValidator *intValidator;
    QRegExp *headerRegExp = nullptr;
    QRegExpValidator *headerValidator = nullptr;
};
