// Flash-loader HEX files as a user would supply them: a RAM image with the
// loader's descriptor embedded, version 1 or 2. Tests and benchmarks write
// them; nothing here is shared with the library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim::loader {

constexpr std::uint32_t kStartMarker = 0xAA557F3D;
constexpr std::uint32_t kEndMarker = 0x3D7F55AA;

struct DescriptorFields {
    int version = 2;
    std::uint32_t reserved1 = 0x11111111;
    std::uint32_t reserved2 = 0x22222222;
    std::uint32_t flashStart = 0x80000000;
    std::uint32_t flashEnd = 0x8000FFFF;
    std::uint32_t ramStart = 0x10000000;
    std::uint32_t ramEnd = 0x10007FFF;
    std::uint32_t eraseBlockSize = 0x1000;
    std::uint8_t erasedByte = 0xFF;
    std::uint32_t chunkSize = 256;
    std::uint32_t reserved44 = 0; // version 1: also the ISP baud
    std::int32_t startMethod = 0; // version 2 only
    std::int32_t ispBaud = 115200; // version 2 only
    std::string deviceName = "LPC1850";
    std::string firstText = "Sim NOR";
    std::string secondText = "simulated external flash";
    bool startMarker = true;
    bool endMarker = true;
};

// The descriptor as stored: start marker .. end marker (4 bytes each).
std::vector<std::uint8_t> descriptorBytes(const DescriptorFields& desc);

// Intel HEX text of `bytes` from `address` on: 04 records where needed,
// `perRecord` data bytes per 00 record, an 01 record at the end.
std::string hexText(std::uint32_t address, const std::vector<std::uint8_t>& bytes, std::size_t perRecord = 16);

// A loader image at the descriptor's RAM start: `codeSize` bytes of code
// (a pattern), then the descriptor, then `tailSize` more bytes.
std::vector<std::uint8_t> loaderImage(const DescriptorFields& desc, std::size_t codeSize = 0x200,
                                      std::size_t tailSize = 0);
std::string loaderHex(const DescriptorFields& desc, std::size_t codeSize = 0x200, std::size_t tailSize = 0);

// Writes a text file; false on failure.
bool writeFile(const std::string& path, const std::string& text);

} // namespace sim::loader
