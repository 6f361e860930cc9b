// The reading commands whose replies go beyond a status or one value: read
// memory and blank check of dialect 1 (lines of hex digits or an address),
// the dialect 2 blank check in the CRC form, and the MISR read.
#pragma once

#include "isp/classic/classic_device.h"

#include <cstdint>

namespace qz {

// Results of the blank checks besides the error codes.
constexpr int kBlank = 2;
constexpr int kNotBlank = 3;

// Reads start..end (at most 256 bytes: 16 lines) into `out`. 1, -2 on a
// short read, -21/-22/-24 when the part refuses, -18 when a line holds no
// hex digits where they belong.
int d1_read_memory(const ClassicDeviceRecord& d, std::uint32_t start, std::uint32_t end, std::uint8_t* out);
constexpr std::uint32_t kD1ReadMax = 256;

// Under the long time-outs: kBlank, or kNotBlank with the first address
// that holds data, or an error code.
int d1_blank_check(const ClassicDeviceRecord& d, std::uint32_t start, std::uint32_t end, std::uint32_t& first);

// Only the start is sent; the part's 32-bit answer decides: 0 kBlank, any
// other kNotBlank.
int d2_blank_check(std::uint32_t start);

// The 16 bytes of the MISR over start..end: 1, -2, -18, -21, -22 or -24.
// The 32 digits must be followed by the end of their line (else -18).
int d2_read_misr(std::uint16_t start, std::uint16_t end, std::uint8_t* out16);

} // namespace qz
