// Reply lines of the flash loader (and of the part's boot ROM before it):
// text ended by CR LF, read one byte at a time.
#pragma once

#include <cstddef>

namespace qz::ext {

// Room for a reply's text; longer lines are cut to it.
constexpr std::size_t kReplyBufferSize = 101;
// A line that brings this many bytes without a CR is no reply.
constexpr std::size_t kMaxReplyBytes = 256;
// How long the byte after a CR may take to come.
constexpr int kLineFeedWaitMs = 50;

enum ReplyCode : int {
    kReplyUnknown = 0,
    kReplyOk = 1,        // "OK"
    kReplyIdentity = 2,  // "KELDMARVOS"
    kReplyProgOk = 3,    // "PROGOK"
    kReplyVerify = 4,    // "VERIFY"
    kReplyError = 5,     // "ERROR"
};

// Reads one line into `buffer` (kReplyBufferSize bytes; the text before
// the CR, NUL-terminated, cut to fit); the whole line, up to its CR, comes
// within the read time-out in force when the read begins. A LF right after
// the CR completes the line; any other byte is pushed back for the next
// line. A LF that opens a line is the late end of the one before and is
// dropped. 1 on a line; 0 when a read fails before the CR or no CR came
// within kMaxReplyBytes bytes, dropped ones included.
int loader_read_reply_line(char* buffer);

// The code of a whole line, exactly as written; any other line is 0.
int response_code(const char* line);

// Reads a line and gives its code; -1 when no line came.
int read_reply_code();

} // namespace qz::ext
