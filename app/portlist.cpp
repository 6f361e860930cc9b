#include "portlist.h"

#include <QSerialPortInfo>
#include <QStringList>

namespace {

const char kExtraPortsVariable[] = "VANTREL_EXTRA_PORTS";

bool listed(const QList<SerialPortEntry> &ports, const QString &path)
{
    for (const SerialPortEntry &p : ports) {
        if (p.name == path || p.systemLocation == path)
            return true;
    }
    return false;
}

QList<SerialPortEntry> systemPorts()
{
    QList<SerialPortEntry> ports;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos) {
        SerialPortEntry e;
        e.name = info.portName();
        e.description = info.description();
        e.manufacturer = info.manufacturer();
        e.serialNumber = info.serialNumber();
        e.systemLocation = info.systemLocation();
        e.vendorIdentifier = info.hasVendorIdentifier() ? info.vendorIdentifier() : 0;
        e.productIdentifier = info.hasProductIdentifier() ? info.productIdentifier() : 0;
        ports.append(e);
    }
    return ports;
}

SystemPortSource systemPortSource = nullptr;

} // namespace

void setSystemPortSource(SystemPortSource source)
{
    systemPortSource = source;
}

QList<SerialPortEntry> listSerialPorts()
{
    QList<SerialPortEntry> ports = systemPortSource ? systemPortSource() : systemPorts();

    const QString extra = qEnvironmentVariable(kExtraPortsVariable);
    const QStringList paths = extra.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (QString path : paths) {
        path = path.trimmed();
        if (path.isEmpty() || listed(ports, path))
            continue;
        SerialPortEntry e;
        e.name = path;
        e.systemLocation = path;
        ports.append(e);
    }

    sortSerialPorts(ports);
    return ports;
}

int serialPortNumberKey(const QString &name)
{
    int start = 0;
    while (start < name.size() && !name.at(start).isNumber())
        ++start;
    int end = start;
    while (end < name.size() && name.at(end).isNumber())
        ++end;
    bool ok = false;
    const int key = name.mid(start, end - start).toInt(&ok, 10);
    return ok ? key : 0;
}

void sortSerialPorts(QList<SerialPortEntry> &ports)
{
    // A bubble sort that swaps only on a strictly smaller key keeps ports
    // with equal keys in the order they were enumerated.
    for (int pass = 0; pass + 1 < ports.size(); ++pass) {
        bool swapped = false;
        for (int i = 0; i + 1 < ports.size() - pass; ++i) {
            if (serialPortNumberKey(ports.at(i + 1).name) < serialPortNumberKey(ports.at(i).name)) {
                ports.swapItemsAt(i, i + 1);
                swapped = true;
            }
        }
        if (!swapped)
            break;
    }
}
