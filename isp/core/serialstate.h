// Inside the serial-port layer: the few driver-state fields that another
// thread may read while a receive waits (qz_raw_cancelreceive), accessed
// atomically, and the system-error line every failure logs.
#pragma once

#include "isp/core/session.h"

namespace qz {

inline int port_fd() { return __atomic_load_n(&session().portHandle, __ATOMIC_ACQUIRE); }
inline void set_port_fd(int fd) { __atomic_store_n(&session().portHandle, fd, __ATOMIC_RELEASE); }
inline int cancel_fd() { return __atomic_load_n(&session().cancelEvent, __ATOMIC_ACQUIRE); }
inline void set_cancel_fd(int fd) { __atomic_store_n(&session().cancelEvent, fd, __ATOMIC_RELEASE); }

// Logs "<what> - <system text> (<code as 8 hex digits>)" and keeps the text
// in the driver state's system message buffer.
void log_system_error(const char* what, int error);

} // namespace qz
