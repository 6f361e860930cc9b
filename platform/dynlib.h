// Loading a shared library at run time and finding its exports by name.
#pragma once

#include <string>

namespace platform {

// RTLD_NOW | RTLD_LOCAL: the library's names stay its own. Null on failure.
void* loadLibrary(const char* path);
void* librarySymbol(void* library, const char* name);
void unloadLibrary(void* library);
// The last load or lookup failure's text (empty when none).
std::string libraryError();

// The folder (with its trailing '/') of the loaded file that holds
// `address`; empty when it cannot be told.
std::string folderOfAddress(const void* address);

} // namespace platform
