// Synchronising with a classic boot loader at the connect rate, and
// cancelling that from another thread.
//
// Simple autobaud writes the sync character and reads one character, twice;
// the second must be the sync character. Parts with the autobaud-thread
// flag on hardware configurations 0 and 3 (where the host cannot reset the
// part) are sent sync characters by a thread until they answer, without a
// time-out: only an answer or qz_cancelautobaud ends the wait.
#pragma once

#include "isp/classic/classic_device.h"

namespace qz {

// 1 synchronised, -2 no answer or write failure, -3 wrong or missing echo,
// -20 cancelled, -7 with no part selected.
int d1_autobaud();
int d2_autobaud();
int d1_cancel_autobaud();
int d2_cancel_autobaud();

// By the dialect of the selected part.
int classic_autobaud();
int classic_cancel_autobaud();

// Whether the part is synchronised by the sender thread.
bool uses_threaded_autobaud(const ClassicDeviceRecord& d);

// Tests: runs right after a threaded autobaud read cleared the cancel
// signal, before it waits, where a cancel is easiest to lose.
void set_before_sync_read_hook(void (*hook)());

// Each write of the sender thread ends within this time, so the thread
// always ends once told to, however the line stands.
constexpr int kSenderWriteLimitMs = 200;

} // namespace qz
