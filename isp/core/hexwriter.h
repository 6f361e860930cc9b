// The records of a read-out file: a type-04 record whenever the upper half
// of the address changes, data records of up to 64 bytes, each on its own
// line ending in LF, and the end record.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz {

// The end-of-file record that closes a read-out file (without its LF).
constexpr const char kHexEndRecord[] = ":00000001FF";

// Characters a record of `count` data bytes takes, without the terminating zero.
constexpr std::size_t hex_record_length(std::size_t count)
{
    return 11 + 2 * count;
}

// Builds the type-00 record ':', count, 16-bit address, "00", the data bytes
// and the checksum, upper case and zero-terminated, without a line end, into
// `out` of `capacity` characters. Returns its length, or 0 (and writes
// nothing) when it does not fit or count is above 255.
std::size_t make_data_record(std::uint16_t address, std::size_t count, const std::uint8_t* data, char* out,
                             std::size_t capacity);

// Builds the type-04 record for the upper address half `upper`: ":02000004",
// the value as four digits and the checksum (":020000040000FA" for 0).
// `out` needs room for 16 characters; returns the length (15), or 0 when
// `capacity` is too small.
std::size_t make_linear_address_record(std::uint16_t upper, char* out, std::size_t capacity);

} // namespace qz
