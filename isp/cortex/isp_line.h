// Command lines to the NXP boot ROM: framing with the part's line end,
// writing (whole, or character by character in half duplex) and reading the
// echo the boot ROM sends back while its echo is on.
//
// Keeping in step: after a step that broke off (a missing, late or
// unexpected line), lines of its answer may still come, at any time. Such a
// session is out of step until a command's own echo comes back: every line
// before that echo belongs to something earlier and is dropped, so nothing
// meant for an earlier command is taken for the echo, the reply or the data
// of a later one. Commands whose echo never came are remembered, so that a
// retry of the same command does not take the earlier one's late echo for
// its own. A command sent without echo (echo off) cannot be anchored that
// way: before it goes out, an out-of-step line is first let go quiet.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace qz {

// Longest command line the engine builds, terminator included.
constexpr std::size_t kCommandLineSize = 100;

// The line counts as quiet once this long has passed without a byte.
constexpr int kQuietLineMs = 100;

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

// A step ended on an answer it did not expect; more of that answer may follow.
void mark_out_of_step();
bool line_out_of_step();
// A binary read broke off: its raw bytes may still come and run into the
// line after them, so until the session is back in step a line that ends
// with the awaited echo counts as that echo.
void mark_raw_data_may_follow();

// Reads and drops what arrives until the line has been quiet for
// kQuietLineMs, at most about one time-out; 1 once quiet, 0 otherwise.
int let_line_go_quiet();

// Echo state: "A 0" turns the echo off, whatever its own answer said, until
// restore_echo has had "A 1" answered.
void echo_may_be_off();
bool echo_known_on();
// Sends "A 1" without an echo (first letting an out-of-step line go quiet)
// and takes its "0", with the "A 1" echo of a part whose echo was on after
// all. 1 with the echo on; -2 when the line could not be written; -18 else.
int restore_echo();

// The part's line end: "\r\n" on CR LF parts, else "\r".
const char* line_terminator();

} // namespace qz
