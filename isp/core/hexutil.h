// Small text helpers shared by everything that reads or writes Intel HEX:
// hex digits, record checksums and the sector checksum-adjuster value.
// Output digits are upper case; input digits may be either case.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz {

// First (most significant) and second hex digit of a byte value.
char hex_high_digit(unsigned value);
char hex_low_digit(unsigned value);

// Digit `position` (0 = most significant .. 3) of a 16-bit value written as
// four hex digits.
char hex_word_digit(unsigned value, int position);

// Value of one hex digit, or -1 when the character is not one.
int hex_digit_value(char c);

// Two digits to a byte, four digits to a 16-bit value. A character that is
// not a hex digit counts as 0; callers check the text first.
std::uint8_t parse_hex_byte(char c1, char c2);
std::uint16_t parse_hex_word(char c1, char c2, char c3, char c4);

// Over a record text that starts with ':', sums the bytes named by the digit
// pairs at positions 1-2, 3-4, ... below `length` and returns 256 minus that
// sum; the low byte of the result is the record's checksum.
int hex_record_checksum(const char* record, std::size_t length);

// Checksum-adjuster value of the bytes first..last (inclusive): 0xAB minus
// the sum of all of them except the one at `skip`, modulo 256. Setting the
// skipped byte to it makes the range sum to 0xAB.
std::uint8_t byte_sum(const std::uint8_t* first, const std::uint8_t* last, const std::uint8_t* skip);

// Cuts trailing control characters off `line` (in place, at most `length`
// characters are looked at) and returns the new length.
std::size_t trim_control_tail(char* line, std::size_t length);

// Cuts trailing control characters off the zero-terminated `line` in place,
// then accepts it when it is longer than 10 characters, of odd length,
// starts with ':' and holds only hex digits after the ':'.
bool validate_hex_line(char* line);

// The same check over a text of known length, which may hold zero bytes
// (they are not hex digits, so such a text is refused). The trimmed length
// is stored in `length`; the text is cut there when room allows.
bool validate_hex_text(char* line, std::size_t& length);

} // namespace qz
