// Opening an input file of the libraries (HEX, JIT data and message, task
// and loader files): only a regular file is taken. A folder opens on Linux
// and a FIFO blocks its opener until a writer comes, so neither may reach
// a reader.
#pragma once

#include <cstdio>

namespace qz {

// Opens `path` for binary reading without blocking and keeps it only when
// it is a regular file; nullptr otherwise (also for a null or empty path).
// `not_regular`, when given, tells that the path exists but is no regular
// file, which no second try can change.
std::FILE* open_regular_file(const char* path, bool* not_regular = nullptr);

} // namespace qz
