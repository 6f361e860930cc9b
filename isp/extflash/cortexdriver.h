// The run-time binding to QuasmeriteARMCortex that starts the loader for
// start method 1: the library and the exports qz_connect calls. It lives
// only inside one qz_connect.
#pragma once

#include "qz_interface.h"

namespace qz::ext {

// The file looked for beside this library, then by plain name.
constexpr const char* kCortexLibraryFile = "libQuasmeriteARMCortex.so";

struct CortexUartDriver {
    void* library = nullptr;
    const IspResult* (*connect)(const ConnectOptions*, int) = nullptr;
    const IspResult* (*disconnect)() = nullptr;
    const IspResult* (*program2)(const char*, int, int, int, int, int, const ProductionTask*, int, int,
                                 ProgressCallback, int) = nullptr;
    const IspResult* (*reset)(int, unsigned, unsigned) = nullptr;
    int (*getPortHandle)() = nullptr;
    void (*setPortHandle)(int, int) = nullptr;

    CortexUartDriver() = default;
    ~CortexUartDriver() { unload(); }
    CortexUartDriver(const CortexUartDriver&) = delete;
    CortexUartDriver& operator=(const CortexUartDriver&) = delete;

    // Loads the library and looks up every export; false (nothing kept
    // loaded) when the library or one of them is missing.
    bool load();
    void unload();
};

// The file name load() looks for (tests put stand-ins in its place).
void set_cortex_library_file(const char* fileName);
const char* cortex_library_file();

} // namespace qz::ext
