// Sending one command record and reading what the boot loader answers: the
// echo of every character, then the status character or a value. Full
// duplex writes the command in one piece and reads echo and reply in one
// read; half duplex writes each character and reads its echo before the
// next, then reads the reply one character at a time. A failed write or a
// short read gives -2.
//
// A reply is taken only after its echo is the command just sent: an echo
// that is not gives -2. A command that broke off (a short read, an echo or
// a reply framed otherwise than its command's) leaves the line out of step;
// before the next command goes out, what the part still sends is waited
// out until the line is quiet and dropped, so nothing of an earlier answer
// can answer a later command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qz {

// Writes `command` and reads its echo and then `extra` characters into
// `reply` (echo first). In full duplex, a non-zero `split_at` writes the
// first split_at characters, pauses 1 ms and writes the rest. 1 or -2 (also
// when the echo is not the command).
int exchange(const std::string& command, std::size_t extra, std::string& reply, std::size_t split_at = 0);

// As exchange, but the echo is left to the caller to check (a reply that
// may stand in the place of the last echoed character).
int exchange_unchecked(const std::string& command, std::size_t extra, std::string& reply);

// Whether the first `count` characters of `reply` are those of `command`.
bool echo_matches(const std::string& command, const std::string& reply, std::size_t count);

// Reads `count` more characters onto the end of `reply`; 1 or -2. A read
// that comes short leaves the line out of step.
int read_more(std::size_t count, std::string& reply);

// Marks the line out of step (a reply not framed as its command's) and
// gives `code`.
int out_of_step(int code);

// The pause before a line out of step is listened to until it is quiet.
constexpr int kLateReplyMs = 100;

// Whether a character ends a reply line.
inline bool line_end(char c) { return c == '\r' || c == '\n'; }

// Whether the characters of `reply` from `at` on end a value's line: each a
// "." or a line end, the last a line end. A digit or any other text there
// means the digits before were not the value (a stray or lost character).
inline bool ends_value_line(const std::string& reply, std::size_t at)
{
    if (at >= reply.size() || !line_end(reply.back()))
        return false;
    for (std::size_t i = at; i < reply.size(); ++i)
        if (reply[i] != '.' && !line_end(reply[i]))
            return false;
    return true;
}

// A command answered by a status character (the first after the echo):
// "." 1, "S" -21, "N" -22, "P" -24, anything else -18.
int send_command(const std::string& command);

// A command answered by a value: two hex digits and ".", then a line end
// that is dropped. "S", "N", "P" in the first place map as above. A reply
// framed otherwise gives -18.
int send_value_command(const std::string& command, std::uint8_t& value);

// A command followed by CR LF and answered in the CRC form: in the place of
// the CR's echo either "X", "S", "N", "P" (and 3 more characters: -18, -21,
// -22, -24) or 8 hex digits of a 32-bit value and 4 characters that end its
// line (else -18, out of step); then a 100 ms pause and a receive purge.
// `command` ends in CR LF.
int send_crc_command(const std::string& command, std::uint32_t& value);

// Sends a command that ends in CR LF: full duplex in one write, reading the
// echo up to the CR's place; half duplex each character up to the CR with
// its echo, then the LF unread. `reply` then holds the character that
// stands in the place of the CR's echo at command.size() - 2. 1 or -2 (also
// when the echo of the record is not the record).
int send_crlf_command(const std::string& command, std::string& reply);

// What every command does before it goes out: a line out of step is let go
// quiet (at most about one short time-out), then the receive side is emptied.
void begin_command();

// Whether commands go out character by character.
bool half_duplex();

} // namespace qz
