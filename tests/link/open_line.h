// Opens a port the way the link tests wire it to a simulator's pty.
#pragma once

#include <QSerialPort>
#include <QString>

#include <string>

// 8N1 without flow control at `baud`, read and write: what a pty carries.
inline bool openLine(QSerialPort& port, const std::string& path, qint32 baud)
{
    port.setPortName(QString::fromStdString(path));
    port.setBaudRate(baud);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    return port.open(QIODevice::ReadWrite);
}
