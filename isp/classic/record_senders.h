// Sending data, upper-address and end-of-file records to a classic boot
// loader in either dialect.
#pragma once

#include "isp/classic/classic_device.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qz {

// A finished record (upper address, end of file), dialect 1: "N" -22,
// "P" -24, "R" -10, "S" -21, "X" -11; any other character, "." included, 1.
int d1_send_record(const std::string& record);

// An upper-address record, dialect 1: only "." is done; "N", "P", "R", "S",
// "X" as above, any other character -14.
int d1_send_address_record(const std::string& record);

// A data record at `address`, dialect 1: parts above 64 KB first get the
// upper-address record. "." 1, "S" -21, "N" -22, "P" -24, anything else -14.
int d1_program_record(const ClassicDeviceRecord& d, std::uint32_t address, const std::uint8_t* data,
                      std::size_t count);

// A finished record, dialect 2: "X" -11, "R" -10 (after 2 more characters),
// "S" -10, "N" -10, "P" -24, anything else 1. The end-of-file record reads
// 4 more characters and takes its status from the second of them.
int d2_send_record(const std::string& record);

// A data record at `address`, dialect 2: the upper-address record first for
// parts above 64 KB, then the data in pieces that each stay within one page
// of the part. A piece takes only "." as success; "X" -11, "R", "S", "N"
// -10, "P" -24; any other character is sent again, up to 6 times, then -18.
int d2_program_record(const ClassicDeviceRecord& d, std::uint32_t address, const std::uint8_t* data,
                      std::size_t count);

// Pieces of a dialect 2 data record: the start offsets within the data of
// each piece, split at every address that is a multiple of the page size
// (0 counts as 0xFFFF).
std::size_t d2_piece_end(std::uint32_t page_size, std::uint32_t address, std::size_t from, std::size_t count);

// Full-duplex pieces longer than this go out in two writes with a 1 ms pause.
constexpr std::size_t kSplitChars = 73;
constexpr std::size_t kSplitMinData = 32;
constexpr int kPieceTries = 6;

} // namespace qz
