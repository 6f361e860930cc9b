// Modem-control lines and the break state of an open serial line. The ISP
// libraries drive a part's reset and boot-entry pins through DTR and RTS, so
// every such change goes through this interface: tests install a recorder
// to watch the sequences, the system implementation issues the ioctls.
#pragma once

namespace platform {

enum class ModemLine { Dtr, Rts };

class LineControl {
public:
    virtual ~LineControl() = default;
    // Raises (`set` true) or clears a line. False when the port refuses it,
    // with the system error number in *error.
    virtual bool setModemLine(int fd, ModemLine line, bool set, int* error) = 0;
    // Starts (`on` true) or ends a break condition on the transmit line.
    virtual bool setBreak(int fd, bool on, int* error) = 0;
};

// The line control in use: the installed one, else the system's.
LineControl& lineControl();

// Installs a line control for the whole process; nullptr restores the
// system's. It must outlive every call that may use it.
void installLineControl(LineControl* control);

} // namespace platform
