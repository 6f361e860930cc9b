// Moving memory contents to and from the part: "W" (with the "C" copy to
// flash) and "R", as UU lines with checksums or, on parts that take it, as
// raw binary.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz {

// Bytes per "W" when staging for a flash copy, and per "W" to RAM and "R".
constexpr std::size_t kFlashStageChunk = 512;
constexpr std::size_t kRamChunk = 900;
// A call gives up at the third RESEND (write) or checksum mismatch (read).
constexpr int kResendLimit = 3;

// Writes `count` bytes (padded to a multiple of 4 with 0xFF in a copy; the
// caller's data is never read past `count`) to `address`: to flash through
// the RAM buffer and a copy when `to_flash` is set and the part has flash,
// else straight to RAM. 1 or a negative engine code.
int write_memory(std::uint32_t address, const std::uint8_t* data, std::size_t count, bool to_flash);

// Reads first..last (inclusive) into `destination`, which must hold
// last - first + 1 bytes. 1 or a negative engine code.
int read_memory(std::uint32_t first, std::uint32_t last, std::uint8_t* destination);

} // namespace qz
