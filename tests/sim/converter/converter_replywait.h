// Holds each exchange of the program under test until the simulated
// converter on its port has answered, and until that answer can be read on
// the program's end of the line. The exchanges' short listening windows then
// find the answer however busy the machine is; ports that no simulator serves
// pass at once.
#pragma once

#include "link/replywait.h"

#include <QSerialPort>

namespace sim {

class ConverterReplyWait : public ReplyWait {
public:
    // Hang guard of each wait.
    static constexpr int kGuardMs = 10000;

    void requestWritten(QSerialPort& port, const QByteArray& request) override;

    // Waits until at least `bytes` bytes can be read on the port's line
    // (beyond what the port itself buffered); false after guardMs.
    static bool waitReadable(const QSerialPort& port, int bytes = 1, int guardMs = kGuardMs);
};

// Installs one ConverterReplyWait for the whole process.
void installConverterReplyWait();

} // namespace sim
