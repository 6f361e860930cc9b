// The serial ports that the two connection dialogs offer, from one place:
// the ports the system enumerates (QSerialPortInfo) followed by every path
// named in the environment variable VANTREL_EXTRA_PORTS (colon-separated,
// e.g. "/dev/pts/3:/dev/pts/5"; this is how pseudo-terminals are offered),
// sorted by serialPortNumberKey. The list is read when asked for; the
// dialogs ask once, when they are built.
#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

struct SerialPortEntry {
    // What the dialogs show and hand to QSerialPort::setPortName: the
    // system's port name ("ttyUSB0") or the extra path as given.
    QString name;
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString systemLocation;
    quint16 vendorIdentifier = 0;  // 0: not known
    quint16 productIdentifier = 0; // 0: not known
};

// The system's ports, then the extra ones (an extra path that names a port
// already listed is left out), sorted.
QList<SerialPortEntry> listSerialPorts();

// Where the system's ports come from: QSerialPortInfo::availablePorts()
// unless a test puts its own list in place (nullptr restores the system's).
using SystemPortSource = QList<SerialPortEntry> (*)();
void setSystemPortSource(SystemPortSource source);

// Sort key of a port name: the decimal value of its first run of digits, 0
// when it has none (COM12 -> 12, /dev/pts/3 -> 3, COM -> 0).
int serialPortNumberKey(const QString &name);

// Sorts ascending by serialPortNumberKey; ports with equal keys keep their
// order.
void sortSerialPorts(QList<SerialPortEntry> &ports);
