// qz_connect and qz_disconnect of the external-flash driver: read the
// loader's descriptor, get the loader running in the part's RAM (its own
// boot download, or written and started by QuasmeriteARMCortex, whose port
// is then taken over) and check that it answers.
#pragma once

#include "qz_interface.h"

namespace qz::ext {

// Pauses of the connect.
constexpr int kLoaderStartPauseMs = 300;
constexpr int kCortexFailedPauseMs = 1200;

IspResult* connect_loader(const ConnectOptions* options, int size);
IspResult* disconnect_loader();

} // namespace qz::ext
