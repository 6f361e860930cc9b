#include "platform/dynlib.h"

#include <dlfcn.h>

namespace platform {

void* loadLibrary(const char* path)
{
    if (path == nullptr || path[0] == '\0')
        return nullptr;
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* librarySymbol(void* library, const char* name)
{
    if (library == nullptr || name == nullptr)
        return nullptr;
    return dlsym(library, name);
}

void unloadLibrary(void* library)
{
    if (library != nullptr)
        dlclose(library);
}

std::string libraryError()
{
    const char* e = dlerror();
    return e != nullptr ? e : "";
}

std::string folderOfAddress(const void* address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr)
        return {};
    const std::string file = info.dli_fname;
    const std::size_t slash = file.rfind('/');
    if (slash == std::string::npos)
        return {};
    return file.substr(0, slash + 1);
}

} // namespace platform
