// Comparing the part's flash with a HEX file.
#pragma once

#include "qz_interface.h"

namespace qz {

IspResult* op_verify(const char* hex_file, int skip_checksum_bytes, ProgressCallback cb, int user);

} // namespace qz
