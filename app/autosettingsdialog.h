// Auto Connect: searches the serial ports for the converter. Each attempt
// opens a candidate port with a candidate set of line parameters, sends the
// converter's mode probe (SerialPortThread::probeDevice) and the search stops
// at the first reply that names a mode. Any of the five parameters can be
// fixed with its check box; the free ones are tried over short fixed lists,
// parity outermost, then stop bits, flow control, port, and baud rate
// fastest. The outcome is one connectDone(mode): ActiveMode, SetupMode, or
// 0 when nothing answered. After a hit the port is closed but keeps the
// name and line settings that answered.
//
// The search runs in the GUI thread and blocks it until it ends (seconds per
// attempt, twenty at baud rates the probe does not list).
//
// Port errors: the owner's error handler is connected to the same port. The
// search blocks the port's signals while it opens a candidate, so a port
// that cannot be opened (missing, busy, refusing the line settings) raises
// no error signal and no message: that attempt just fails. The probe runs
// with the signals live, so the handler still sees parity and framing
// errors (and marks them with SerialPortThread::setLineError) as before.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QIntValidator;
class SerialPortThread;

namespace Ui {
class AutoSettingsDialog;
}

struct AutoSearchSettings {
    QString portName;
    qint32 baudRate = 0;
    qint32 dataBits = 0;    // always 8
    qint32 parity = 0;      // QSerialPort::Parity
    qint32 stopBits = 0;    // QSerialPort::StopBits
    qint32 flowControl = 0; // QSerialPort::FlowControl
};

class AutoSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AutoSettingsDialog(QWidget *parent = nullptr);
    ~AutoSettingsDialog() override;

    // The worker whose port and probe the search uses (not owned). Without
    // one a search reports 0 at once.
    void setSerialThread(SerialPortThread *thread);
    AutoSearchSettings settings() const;

signals:
    void connectDone(int mode);

public slots:
    void showPortInfo(int idx);
    void checkCustomBaudRatePolicy(int idx);
    void checkboxstatuschanged(int status);
    // Runs the whole search (the dialog's Apply button).
    void ClickedAutoConnect();

private:
    void fillPortsParameters();
    void fillPortsInfo();
    void updateSettings();
    // One attempt; the mode that answered, or 0.
    int tryPort(const QString &name, qint32 baud, qint32 parity, qint32 stopBits, qint32 flow);

    Ui::AutoSettingsDialog *ui;
    AutoSearchSettings currentSettings;
    // The listed ports in the combo's order; as long as the system's list.
    QStringList portNames;
    int portCount = 0;
    SerialPortThread *serialThread = nullptr;
    QIntValidator *intValidator;
};
