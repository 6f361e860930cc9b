// Baud rates that have no termios constant, set through the kernel's
// arbitrary-rate interface (kept apart: its headers clash with <termios.h>).
#pragma once

namespace platform {

bool setArbitrarySerialSpeed(int fd, unsigned baud, int* error);

} // namespace platform
