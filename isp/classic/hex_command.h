// The classic boot loaders take commands as Intel-HEX records
// (HexCommandRecord): ':', LL, AAAA, TT, the data and the checksum, all hex
// digits upper case, sent without a line end. They answer with the echo
// and a status character (StatusChar).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace qz {

// ":LLAAAATT<data>CC" with LL the number of data bytes.
std::string hex_command(std::uint8_t type, std::uint16_t address, const std::uint8_t* data, std::size_t count);
std::string hex_command(std::uint8_t type, std::uint16_t address, std::initializer_list<std::uint8_t> data);

// The status character of a reply. Commands see "R" and "X" as -18; only
// the record senders give them their own codes.
enum class StatusSender { Command, Record };
int status_char_code(char c, StatusSender sender = StatusSender::Command);

// Two hex digits to a byte; false when either is not a hex digit.
bool hex_pair(char high, char low, std::uint8_t& out);

} // namespace qz
