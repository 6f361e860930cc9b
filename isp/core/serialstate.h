// Inside the serial-port layer: the few driver-state fields that another
// thread may read while a receive waits (qz_raw_cancelreceive), accessed
// atomically, and the system-error line every failure logs.
#pragma once

#include "isp/core/session.h"

#include <mutex>

namespace qz {

inline int port_fd() { return __atomic_load_n(&session().portHandle, __ATOMIC_ACQUIRE); }
inline void set_port_fd(int fd) { __atomic_store_n(&session().portHandle, fd, __ATOMIC_RELEASE); }
inline int cancel_fd() { return __atomic_load_n(&session().cancelEvent, __ATOMIC_ACQUIRE); }
inline void set_cancel_fd(int fd) { __atomic_store_n(&session().cancelEvent, fd, __ATOMIC_RELEASE); }

// Held while the cancel signal is made, closed or raised: a cancel from
// another thread must never write to a descriptor number that closing has
// freed and the process may have given to another file.
std::mutex& cancel_signal_lock();

// Logs "<what> - <system text> (<code as 8 hex digits>)" and keeps the text
// in the driver state's system message buffer.
void log_system_error(const char* what, int error);

} // namespace qz
