// Temporary files for handing data to and from helper programs.
#pragma once

#include <string>

namespace platform {

// The folder for temporary files: $TMPDIR when it names a folder, else /tmp.
// Empty when neither is a usable folder.
std::string tempDirectory();

// Creates a new, uniquely named, empty file "<dir>/<prefix>XXXXXX" (mode
// 0600) and gives its path. False when it cannot be made.
bool createTempFile(const std::string& dir, const std::string& prefix, std::string* path);

// Removes a file; false when it could not be removed (or did not exist).
bool removeFile(const std::string& path);

} // namespace platform
