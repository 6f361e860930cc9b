// The optional diagnostic log: one line per event, appended to the file set
// by qz_select_debug_mode. The file is opened and closed for every line and
// every byte written goes through the library's substitution table. A
// Windows-style path ("C:\dir\name.qzd") puts the file, by its name, in
// the temporary folder: $TMPDIR/name.qzd, else /tmp/name.qzd.
#pragma once

#include "qz_interface.h"

#include <cstddef>

namespace qz {

enum LogKind : int {
    kLogDebug = 0,   // "debug> "
    kLogTx = 1,      // "tx> "
    kLogRx = 2,      // "rx> "
};

// Prefix by kind, the text, LF.
void debug_log(int kind, const char* text);

// "debug> " and the formatted text, no line end added (formats end in "\n"
// where one is wanted).
void debug_logf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Prefix by kind, then each byte: printable ASCII as it is, every other byte
// as a backslash and two lower-case hex digits; then LF.
void log_bytes(int kind, const void* data, std::size_t count);

// The substitution table's entry for a byte.
unsigned char log_substitute(unsigned char byte);

// The header block that qz_connect writes before it opens the port. The
// device line names `deviceName`, or the id as unknown when it is null; a
// library without a device table leaves the line out.
void log_connect_header(const ConnectOptions& options, const char* deviceName,
                        bool withDeviceLine = true);

}  // namespace qz
