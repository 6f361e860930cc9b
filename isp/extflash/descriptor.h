// The description of a flash loader, embedded in the loader's HEX image:
// where the external flash and the loader's RAM image lie, the flash's
// block and chunk sizes, and how the loader is started.
#pragma once

#include <cstdint>

#include "isp/core/stricthex.h"

namespace qz::ext {

constexpr std::uint32_t kDescriptorStartMarker = 0xAA557F3D;
constexpr std::uint32_t kDescriptorEndMarker = 0x3D7F55AA;
// A loader file spans at most this many bytes from its lowest to its
// highest data address; the descriptor search reads the whole span.
constexpr std::uint64_t kMaxLoaderSpan = 16u * 1024 * 1024;

enum StartMethod : std::int32_t {
    kStartOwnDownload = 0,   // the UART boot download of the part's ROM
    kStartThroughCortex = 1, // written and started by QuasmeriteARMCortex
};

struct LoaderDescriptor {
    std::int32_t version;
    std::uint32_t reserved[2];
    std::uint32_t flashStart;
    std::uint32_t flashEnd;      // inclusive
    std::uint32_t ramStart;
    std::uint32_t ramEnd;        // inclusive
    std::uint32_t eraseBlockSize;
    std::uint8_t erasedByte;
    std::uint32_t chunkSize;     // bytes per program command
    std::uint32_t reserved44;
    std::int32_t startMethod;
    std::int32_t ispBaud;        // rate of the QuasmeriteARMCortex connection
    char deviceName[64];
    char firstText[64];
    char secondText[128];
};

// Reads the descriptor of the loader HEX file at `path`. 1 when the file
// holds a version-1 or version-2 descriptor whose values the library can
// work with; 0 otherwise (`out` is then unspecified). *fault (when given)
// tells where and why a file that is no sound Intel HEX was refused; it
// stays kNone for every other refusal.
int parse_loader_descriptor(const char* path, LoaderDescriptor* out, HexFault* fault = nullptr);

// The same over the loader's bytes, `size` of them from its lowest address.
int parse_descriptor_bytes(const std::uint8_t* bytes, std::uint64_t size, LoaderDescriptor* out);

// False for values that would break the erase and program walks or wrap an
// address: a chunk of 0 or larger than the flash, a flash length that is no
// multiple of the chunk, flash end below start or the whole 4 GiB range, an
// erase block of 0, RAM end below RAM start.
bool descriptor_values_usable(const LoaderDescriptor& d);

// The descriptor of the last connect (one per library).
LoaderDescriptor& loader_descriptor();

} // namespace qz::ext
