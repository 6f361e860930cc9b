#include "isp/extflash/cortexdriver.h"

#include <string>

#include "isp/core/debuglog.h"
#include "platform/dynlib.h"

namespace qz::ext {

namespace {

std::string g_file = kCortexLibraryFile;

template <typename F>
bool bind(void* library, const char* name, F& fn)
{
    fn = reinterpret_cast<F>(platform::librarySymbol(library, name));
    if (fn == nullptr)
        debug_logf("Cortex UART driver lacks %s\n", name);
    return fn != nullptr;
}

} // namespace

void set_cortex_library_file(const char* fileName)
{
    g_file = fileName != nullptr ? fileName : kCortexLibraryFile;
}

const char* cortex_library_file()
{
    return g_file.c_str();
}

bool CortexUartDriver::load()
{
    unload();
    // Beside this library first, so the two that were shipped together go
    // together; then wherever the loader's search path finds one.
    const std::string folder = platform::folderOfAddress(reinterpret_cast<const void*>(&set_cortex_library_file));
    if (!folder.empty())
        library = platform::loadLibrary((folder + g_file).c_str());
    if (library == nullptr)
        library = platform::loadLibrary(g_file.c_str());
    if (library == nullptr) {
        debug_logf("Cannot load %s: %s\n", g_file.c_str(), platform::libraryError().c_str());
        return false;
    }
    bool ok = bind(library, "qz_connect", connect);
    ok = bind(library, "qz_disconnect", disconnect) && ok;
    ok = bind(library, "qz_program2", program2) && ok;
    ok = bind(library, "qz_reset", reset) && ok;
    ok = bind(library, "qz_get_comport_handle", getPortHandle) && ok;
    ok = bind(library, "qz_set_comport_handle", setPortHandle) && ok;
    if (!ok)
        unload();
    return ok;
}

void CortexUartDriver::unload()
{
    platform::unloadLibrary(library);
    library = nullptr;
    connect = nullptr;
    disconnect = nullptr;
    program2 = nullptr;
    reset = nullptr;
    getPortHandle = nullptr;
    setPortHandle = nullptr;
}

} // namespace qz::ext
