// Command lines to the NXP boot ROM: framing with the part's line end,
// writing (whole, or character by character in half duplex) and reading the
// echo the boot ROM sends back while its echo is on.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace qz {

// Longest command line the engine builds, terminator included.
constexpr std::size_t kCommandLineSize = 100;

// Formats a command, appends the part's line end and sends it. With a reply
// buffer the echo is read into it (without the line end; not compared);
// without one the line is only written. 1 on success, 0 on a failed write,
// a missing echo or an echo that does not fit into `capacity`.
int send_command(char* reply, std::size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int send_command_v(char* reply, std::size_t capacity, const char* format, std::va_list args);

// The same for a ready line of text.
int send_line(char* reply, std::size_t capacity, const char* text);

// Drops a half-received command in the boot ROM: ESC, a pause, and the
// receive side purged (push-back buffer included).
void abort_command();

// abort_command for a command whose reply did not come in time: the part
// may still be at work on it (an erase) and send the reply late, after the
// purge. Before the next line goes out that late reply is waited out, under
// the time-out in force, and dropped, so that it is never taken for the
// echo or the reply of what follows.
void abort_missing_reply();

// The part's line end: "\r\n" on CR LF parts, else "\r".
const char* line_terminator();

} // namespace qz
