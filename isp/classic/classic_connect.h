// Device selection, connect, disconnect and the autobaud cancel of the
// classic driver, behind their exports.
#pragma once

#include "qz_interface.h"

#include <mutex>

namespace qz {

// The last record with the number becomes the selection; an unknown number
// keeps the previous one and gives -5 with an empty detail.
IspResult* classic_select_device(int number);

IspResult* classic_connect(const ConnectOptions* options, int size);
IspResult* classic_disconnect();

// From another thread while qz_connect waits for the part; -7 with no part
// selected.
IspResult* classic_cancel_autobaud_export();

// Held while a connect writes its result and while a cancel from another
// thread writes its own.
std::mutex& classic_result_lock();

// Where the autobaud failure text points the user.
constexpr const char* kAutobaudHelp =
    " Failed to autobaud. See the autobaud help page: http://quasmerite.example/help/autobaud.html";

} // namespace qz
