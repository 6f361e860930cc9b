// What the device-operation tests and the benchmark share: Intel HEX files
// of a byte image, the connect options Vantrel passes, and reading a file
// (a read-out file, the version script) back whole.
#pragma once

#include "qz_interface.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace opstest {

// Writes `image` (based at `base`) as Intel HEX, 16 bytes per record, runs
// of 0xFF left out.
inline std::string hexText(const std::vector<std::uint8_t>& image, std::uint32_t base = 0,
                           bool skipBlank = true)
{
    std::string out;
    char line[64];
    std::uint32_t upper = 0xFFFFFFFF;
    for (std::size_t at = 0; at < image.size(); at += 16) {
        const std::size_t n = std::min<std::size_t>(16, image.size() - at);
        bool blank = skipBlank;
        for (std::size_t i = 0; i < n && blank; ++i)
            blank = image[at + i] == 0xFF;
        if (blank)
            continue;
        const std::uint32_t address = base + static_cast<std::uint32_t>(at);
        if ((address >> 16) != upper) {
            upper = address >> 16;
            const unsigned sum = (0x02 + 0x04 + (upper >> 8) + (upper & 0xFF)) & 0xFF;
            std::snprintf(line, sizeof line, ":02000004%04X%02X\n", upper, (0x100 - sum) & 0xFF);
            out += line;
        }
        unsigned sum = static_cast<unsigned>(n) + ((address >> 8) & 0xFF) + (address & 0xFF);
        std::snprintf(line, sizeof line, ":%02X%04X00", static_cast<unsigned>(n), address & 0xFFFF);
        out += line;
        for (std::size_t i = 0; i < n; ++i) {
            std::snprintf(line, sizeof line, "%02X", image[at + i]);
            out += line;
            sum += image[at + i];
        }
        std::snprintf(line, sizeof line, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
        out += line;
    }
    return out + ":00000001FF\n";
}

inline void writeFile(const std::string& path, const std::string& text)
{
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

inline std::string readFile(const std::string& path)
{
    std::string out;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

// The record Vantrel fills for the converter's LPC11C24.
inline ConnectOptions vantrelOptions(const std::string& port)
{
    ConnectOptions o;
    std::memset(&o, 0, sizeof o);
    o.oscillator_mhz = 12.0;
    std::snprintf(o.port_name, sizeof o.port_name, "%s", port.c_str());
    o.baud_rate = 9600;
    o.device_id = 4022;
    o.max_baud_rate = 9600;
    return o;
}

// The image with the vector checksum word at 0x1C that programming sets.
inline std::vector<std::uint8_t> withVectorChecksum(std::vector<std::uint8_t> image)
{
    std::uint32_t sum = 0;
    for (int w = 0; w < 8; ++w) {
        if (w == 7)
            continue;
        std::uint32_t v = 0;
        for (int b = 0; b < 4; ++b)
            v |= static_cast<std::uint32_t>(image[w * 4 + b]) << (8 * b);
        sum += v;
    }
    const std::uint32_t word = 0u - sum;
    for (int b = 0; b < 4; ++b)
        image[0x1C + b] = static_cast<std::uint8_t>(word >> (8 * b));
    return image;
}

// A firmware-like image: code with a few blank holes.
inline std::vector<std::uint8_t> firmwareImage(std::size_t size, std::size_t used, unsigned seed)
{
    std::vector<std::uint8_t> image(size, 0xFF);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < used; ++i) {
        x = x * 1664525u + 1013904223u;
        image[i] = static_cast<std::uint8_t>(x >> 24);
    }
    // Holes: a blank 1 KiB block and a blank run inside a block.
    if (used > 0x2000)
        std::fill(image.begin() + 0x1400, image.begin() + 0x1800, 0xFF);
    if (used > 0x3000)
        std::fill(image.begin() + 0x2810, image.begin() + 0x2900, 0xFF);
    return image;
}

} // namespace opstest
