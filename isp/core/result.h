// Building the library's IspResult: status, text and detail, result bytes.
#pragma once

#include "qz_interface.h"

#include <cstdint>

namespace qz {

// The library's one result record (inside the driver state).
IspResult* isp_result();

// status := the code when it is in the error table (0 otherwise); on a match
// text := the table text, followed by a blank and `detail` when one is given.
// A code not in the table leaves the text as it was; code 0 gives status 0
// and an empty text. Data bytes are never touched. Text that would not fit
// the result is cut, always NUL-terminated.
IspResult* set_result(int code, const char* detail = nullptr);

// set_result with a printf-formatted detail, e.g. "(erasing block %d)".
IspResult* set_result_f(int code, const char* detailFormat, ...)
    __attribute__((format(printf, 2, 3)));

// Success: status 1, text and data as they are.
IspResult* set_success();

// A status with exactly this text (no table text), cut to fit.
IspResult* set_status_text(int status, const char* text);

// Result bytes, most significant first, at data[offset] (offset + bytes <= 128).
void set_result_be(int offset, uint32_t value, int bytes);

// Engine-code convention. The detail is "(" + words + reason + ")":
//   -24, -22, -21 -> -18 with their reason texts; -18 -> -18, no reason;
//   -2 -> -2 with the whole detail "(transmit/receive)";
//   every other code -> set_result(code) without detail.
IspResult* report_engine_failure(int engineCode, const char* words);

// report_engine_failure for a step that names its own plain failure: -18
// gets `failedDetail` as its whole detail, every other code is mapped as there.
IspResult* report_step_failure(int engineCode, const char* words, const char* failedDetail);

// The reason text for -24, -22 or -21 (with its leading " - "), else null.
const char* engine_reason(int engineCode);

}  // namespace qz
