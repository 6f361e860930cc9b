// Sending one command record and reading what the boot loader answers: the
// echo of every character, then the status character or a value. Full
// duplex writes the command in one piece and reads echo and reply in one
// read; half duplex writes each character and reads its echo before the
// next, then reads the reply one character at a time. A failed write or a
// short read gives -2.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qz {

// Writes `command` and reads its echo and then `extra` characters into
// `reply` (echo first). In full duplex, a non-zero `split_at` writes the
// first split_at characters, pauses 1 ms and writes the rest. 1 or -2.
int exchange(const std::string& command, std::size_t extra, std::string& reply, std::size_t split_at = 0);

// Reads `count` more characters onto the end of `reply`; 1 or -2. A read
// that comes short waits kLateReplyMs and empties the receive queue before
// it gives -2, so what the part still sends for it answers nothing else.
int read_more(std::size_t count, std::string& reply);
constexpr int kLateReplyMs = 100;

// A command answered by a status character (the first after the echo):
// "." 1, "S" -21, "N" -22, "P" -24, anything else -18.
int send_command(const std::string& command);

// A command answered by a value: two hex digits and ".", then a line end
// that is dropped. "S", "N", "P" in the first place map as above.
int send_value_command(const std::string& command, std::uint8_t& value);

// A command followed by CR LF and answered in the CRC form: in the place of
// the CR's echo either "X", "S", "N", "P" (and 3 more characters: -18, -21,
// -22, -24) or 8 hex digits of a 32-bit value and 4 characters that are
// dropped; then a 100 ms pause and a receive purge. `command` ends in CR LF.
int send_crc_command(const std::string& command, std::uint32_t& value);

// Sends a command that ends in CR LF: full duplex in one write, reading the
// echo up to the CR's place; half duplex each character up to the CR with
// its echo, then the LF unread. `reply` then holds the character that
// stands in the place of the CR's echo at command.size() - 2. 1 or -2.
int send_crlf_command(const std::string& command, std::string& reply);

// Whether commands go out character by character.
bool half_duplex();

} // namespace qz
