// Opening a diagnostic log for appending.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// Opens (creating it, mode 0644) the file at path for appending bytes, or
// gives nullptr. A symbolic link at that path is refused, so a log in a shared
// folder such as /tmp cannot be turned into a write to another file.
std::FILE* openLogForAppend(const std::string& path);

} // namespace platform
