// A POSIX serial device used as a raw byte pipe: opened exclusively, set to
// raw 8N1 without flow control, read and written with total time limits, and
// a read that another thread can end through a cancel signal.
//
// Time limits (milliseconds) follow one rule everywhere:
//   > 0            the transfer ends when its count is reached or the time
//                  has passed, whatever came by then is reported;
//   0              no waiting at all: only what can be moved at once;
//   kNoTimeLimit   wait until the count is reached (a read also ends on the
//                  cancel signal); for waits that something else can end.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

constexpr int kNoTimeLimit = -1;

enum class LineIo {
    Done,      // the whole count moved
    TimedOut,  // the time limit passed first
    Cancelled, // the cancel signal ended a read
    Failed,    // the system refused; see error
};

struct LineTransfer {
    LineIo status = LineIo::Failed;
    std::size_t count = 0; // bytes moved, also when the transfer did not finish
    int error = 0;         // system error number when Failed
};

enum class SerialQueue { Receive, Transmit };

// The device path for a port name: a name that starts with '/' is a path
// already, any other ("ttyUSB0") lives under /dev/.
std::string serialDevicePath(const std::string& name);

// Opens the device for reading and writing, exclusively (no second opener,
// also not one of this process), close-on-exec, without becoming the
// controlling terminal. Returns the descriptor, or -1 with *error set.
int serialOpen(const std::string& path, int* error);
void serialClose(int fd);

// Fits a descriptor that someone else opened for the transfers below:
// non-blocking, so that their time limits hold, and close-on-exec, so that
// no child process keeps the port. False with *error set when it refuses.
bool serialAdopt(int fd, int* error);

// Raw 8 data bits, no parity, one stop bit, receiver on, modem status lines
// ignored, no hardware or software flow control, no CR/LF translation, no
// echo, no signals; then the given baud rate.
bool serialConfigureRaw(int fd, unsigned baud, int* error);

// Changes only the baud rate (any rate the driver accepts; rates without a
// termios constant go through the driver's arbitrary-rate interface).
bool serialSetSpeed(int fd, unsigned baud, int* error);

// Discards what waits in one of the driver's queues.
bool serialPurge(int fd, SerialQueue queue, int* error);

LineTransfer serialWrite(int fd, const void* data, std::size_t count, int limitMs);
// cancelFd may be -1 (the read then cannot be cancelled).
LineTransfer serialRead(int fd, int cancelFd, void* buffer, std::size_t count, int limitMs);

// The cancel signal: raised from any thread, seen by serialRead, cleared by
// its owner before the next read. Creation returns -1 with *error set.
int cancelSignalCreate(int* error);
void cancelSignalRaise(int signalFd);
void cancelSignalClear(int signalFd);
void cancelSignalClose(int signalFd);

// The system's text for an error number, in English.
std::string serialErrorText(int error);

} // namespace platform
