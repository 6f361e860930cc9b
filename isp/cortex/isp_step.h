// Keeping in step with the NXP boot ROM.
//
// After a step that broke off (a missing, late or unexpected line), lines of
// its answer may still come, at any time. Such a session is out of step
// until a command's own echo comes back: every line before that echo belongs
// to something earlier and is dropped, so nothing meant for an earlier
// command is taken for the echo, the reply or the data of a later one.
// Commands whose echo never came are remembered, so that a retry of the same
// command does not take the earlier one's late echo for its own. A command
// sent without echo (echo off) cannot be anchored that way: before it goes
// out, an out-of-step line is first let go quiet.
#pragma once

namespace qz {

// The line counts as quiet once this long has passed without a byte.
constexpr int kQuietLineMs = 100;

// A step ended on an answer it did not expect; more of that answer may follow.
void mark_out_of_step();
bool line_out_of_step();
// A command's own echo came (or the handshake starts afresh): nothing
// earlier is owed any more.
void back_in_step();

// A binary read broke off: its raw bytes may still come and run into the
// line after them, so until the session is back in step a line that ends
// with the awaited echo counts as that echo.
void mark_raw_data_may_follow();
bool raw_may_follow();
// `line` is `text`, or, while raw bytes may have run into it, ends with it.
bool line_is(const char* line, const char* text);

// The echo of this command did not come before its try gave up.
void owe_echo(const char* text);
// The first owed echo equal to `line`: it and the older ones are settled.
bool settle_owed_echo(const char* line);
// No echo is owed any more (the one settled was the awaited command's own).
void forget_owed_echoes();

// Reads and drops what arrives until the line has been quiet for
// kQuietLineMs, at most about one time-out; 1 once quiet, 0 otherwise.
int let_line_go_quiet();

// Echo state: "A 0" turns the echo off, whatever its own answer said, until
// an answered "A 1" (restore_echo) turns it on again.
void echo_may_be_off();
void echo_is_on();
bool echo_known_on();

} // namespace qz
