// What the device operations share: the port test, progress reports with
// cancellation, the retried file open and the fixed retry counts.
#pragma once

#include "qz_interface.h"

#include <cstdint>
#include <cstdio>

namespace qz {

// Device steps are tried this often, file opens kFileTries times.
constexpr int kDeviceTries = 6;
constexpr int kFileTries = 5;

// False, with status -7, when no port is open.
bool require_port();

// Hands an event to the caller's callback. False, with status -20, when
// the callback asks to cancel; a null callback never cancels.
bool report_progress(ProgressCallback cb, int event, int value, int extra, int user);

// Opens an input file ("r" modes), tried kFileTries times; nullptr when
// every try failed. Only a regular file is taken: anything else fails at
// once. Files the libraries write go through OutputFile, so other modes
// give nullptr.
std::FILE* open_file_retry(const char* path, const char* mode);

// Data bytes `offset`.. of the result, most significant first.
void put_result_address(int offset, std::uint32_t value, int bytes);

// Sets the status alone (for the blank-check results 2 and 3, which are
// not in the error table).
IspResult* set_status_only(int status);

} // namespace qz
