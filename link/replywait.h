// The moment between a request and the listening for its answer.
//
// The exchanges and the mode probe listen only briefly (the probe about
// 50 ms at 115200 baud). A converter answers well within that; a simulated
// one in a busy test process may not. Tests install a ReplyWait that holds
// the exchange until their simulator has answered, so the listening that
// follows finds the answer already on the line. The program installs none.
#pragma once

#include <QByteArray>
#include <QSerialPort>

class ReplyWait {
public:
    virtual ~ReplyWait() = default;
    // Called on the exchange's thread once `request` has been accepted by
    // the port, before the exchange starts listening.
    virtual void requestWritten(QSerialPort& port, const QByteArray& request) = 0;
};

// Installs a ReplyWait for the whole process; nullptr removes it. It must
// outlive every exchange that may use it.
void installReplyWait(ReplyWait* wait);

// What the exchanges call: hands over to the installed ReplyWait, if any.
void awaitReply(QSerialPort& port, const QByteArray& request);
