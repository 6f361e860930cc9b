// Reply lines of the NXP boot ROM: reading one line and naming it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz {

class ReadDeadline;

// Room for one reply line; the longest the boot ROM sends is a UU line of
// 61 characters.
constexpr std::size_t kReplyLineSize = 100;

// The boot ROM's line end is CR LF; a LF that does not come within this
// time is taken as missing, so CR-only lines do not cost a full time-out.
constexpr int kLineFeedWaitMs = 50;

// Codes of ResponseKeywordTable.
enum ReplyCode {
    kReplyNone = 0,          // the line matches no keyword
    kReplyOk = 2,            // "OK"
    kReplySynchronized = 3,  // "Synchronized"
    kReplyResend = 24,       // "RESEND"
};

// Boot ROM return code n ("0" .. "19") as its table code.
constexpr int reply_return_code(int n) { return n + 4; }

// The code of the first keyword that equals the whole line, else kReplyNone.
int response_code(const char* line);

// Reads one line up to its CR (and the LF after it, which may be missing)
// into `buffer` without the line end. 1 on success; 0 when a read failed or
// the line does not fit into `capacity` characters with its terminating zero.
int read_response_line(char* buffer, std::size_t capacity);
// The same within a deadline that may span several lines.
int read_response_line_within(char* buffer, std::size_t capacity, const ReadDeadline& deadline);

// The byte read where the LF after a CR was awaited: anything else is the
// start of what follows and goes back to the receive side.
void keep_unless_line_feed(std::uint8_t byte);

} // namespace qz
