// Command lines to the NXP boot ROM: framing with the part's line end,
// writing (whole, or character by character in half duplex) and reading the
// echo the boot ROM sends back while its echo is on.
//
// Keeping in step after a step that broke off: isp_step.h.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace qz {

// Longest command line the engine builds, terminator included.
constexpr std::size_t kCommandLineSize = 100;

// Formats a command, appends the part's line end and sends it. With a reply
// buffer the echo is awaited (one time-out in all) and must equal the
// command; it is left in the buffer without the line end. Without one the
// line is only written. 1 on success, 0 on a failed write, a missing or
// wrong echo, or an echo that does not fit into `capacity`.
int send_command(char* reply, std::size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int send_command_v(char* reply, std::size_t capacity, const char* format, std::va_list args);

// The same for a ready line of text.
int send_line(char* reply, std::size_t capacity, const char* text);

// The connect handshake's lines: the first line that comes back is the
// echo, unchecked (the handshake judges it itself), and the session starts
// in step.
int send_handshake_line(char* reply, std::size_t capacity, const char* text);

// Drops a half-received command in the boot ROM: ESC, a pause, and the
// receive side purged (push-back buffer included). Whatever the part still
// sends for it comes later: the session is out of step.
void abort_command();

// The part's line end: "\r\n" on CR LF parts, else "\r".
const char* line_terminator();

} // namespace qz
