#include "isp/extflash/descriptor.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "isp/core/regularfile.h"
#include "isp/extflash/loaderhex.h"

namespace qz::ext {

namespace {

// Offsets from the start marker.
constexpr std::uint64_t kV1FieldsEnd = 304; // last field byte at 303
constexpr std::uint64_t kV2FieldsEnd = 312; // last field byte at 311

std::uint32_t word_at(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void copy_text(char* field, std::size_t size, const std::uint8_t* from)
{
    std::memcpy(field, from, size);
    field[size - 1] = '\0';
}

LoaderDescriptor g_descriptor{};

} // namespace

LoaderDescriptor& loader_descriptor()
{
    return g_descriptor;
}

bool descriptor_values_usable(const LoaderDescriptor& d)
{
    if (d.flashEnd < d.flashStart)
        return false;
    const std::uint64_t flashLength = static_cast<std::uint64_t>(d.flashEnd) - d.flashStart + 1;
    if (flashLength > 0xFFFFFFFFull) // the whole 4 GiB: no length fits the walk
        return false;
    if (d.chunkSize == 0 || d.chunkSize > flashLength || flashLength % d.chunkSize != 0)
        return false;
    if (d.eraseBlockSize == 0)
        return false;
    return d.ramEnd >= d.ramStart;
}

int parse_descriptor_bytes(const std::uint8_t* bytes, std::uint64_t size, LoaderDescriptor* out)
{
    if (bytes == nullptr || size < 8)
        return 0;
    // The last occurrence of each marker counts; without a start marker
    // the descriptor starts at the image's first byte.
    std::uint64_t start = 0;
    bool haveEnd = false;
    std::uint64_t end = 0;
    for (std::uint64_t i = 0; i + 4 <= size; ++i) {
        const std::uint32_t w = word_at(bytes + i);
        if (w == kDescriptorStartMarker)
            start = i;
        else if (w == kDescriptorEndMarker) {
            end = i;
            haveEnd = true;
        }
    }
    if (!haveEnd || end < start + 8)
        return 0;
    const std::uint8_t* d = bytes + start;
    const std::int32_t version = static_cast<std::int32_t>(word_at(d + 4));
    if (version != 1 && version != 2)
        return 0;
    if (start + (version == 1 ? kV1FieldsEnd : kV2FieldsEnd) > size)
        return 0;

    LoaderDescriptor r{};
    r.version = version;
    r.reserved[0] = word_at(d + 8);
    r.reserved[1] = word_at(d + 12);
    r.flashStart = word_at(d + 16);
    r.flashEnd = word_at(d + 20);
    r.ramStart = word_at(d + 24);
    r.ramEnd = word_at(d + 28);
    r.eraseBlockSize = word_at(d + 32);
    r.erasedByte = d[36];
    r.chunkSize = word_at(d + 40);
    r.reserved44 = word_at(d + 44);
    if (version == 1) {
        // Version 1 knows only its own download; its word at 44 doubles as
        // the ISP baud.
        r.startMethod = kStartOwnDownload;
        r.ispBaud = static_cast<std::int32_t>(r.reserved44);
        std::snprintf(r.deviceName, sizeof r.deviceName, "%s", "LPC1850");
        copy_text(r.firstText, sizeof r.firstText, d + 112);
        copy_text(r.secondText, sizeof r.secondText, d + 176);
    } else {
        r.startMethod = static_cast<std::int32_t>(word_at(d + 48));
        r.ispBaud = static_cast<std::int32_t>(word_at(d + 52));
        copy_text(r.deviceName, sizeof r.deviceName, d + 56);
        copy_text(r.firstText, sizeof r.firstText, d + 120);
        copy_text(r.secondText, sizeof r.secondText, d + 184);
    }
    if (!descriptor_values_usable(r))
        return 0;
    *out = r;
    return 1;
}

int parse_loader_descriptor(const char* path, LoaderDescriptor* out, HexFault* fault)
{
    HexFault ignored;
    if (fault == nullptr)
        fault = &ignored;
    *fault = HexFault{};
    if (path == nullptr || path[0] == '\0')
        return 0;
    std::FILE* f = open_regular_file(path);
    if (f == nullptr)
        return 0;
    std::uint32_t lowest = 0;
    std::uint32_t highest = 0;
    if (!hex_file_address_range(f, &lowest, &highest, fault)) {
        std::fclose(f);
        return 0;
    }
    const std::uint64_t span = static_cast<std::uint64_t>(highest) - lowest + 1;
    if (span > kMaxLoaderSpan) {
        std::fclose(f);
        return 0;
    }
    // Bytes between records have no defined value; zero keeps them from
    // passing for a marker.
    std::uint8_t* buffer = new (std::nothrow) std::uint8_t[span]();
    if (buffer == nullptr) {
        std::fclose(f);
        return 0;
    }
    std::rewind(f);
    load_hex_file_range(f, buffer, lowest, highest, nullptr, fault);
    std::fclose(f);
    const int ok = fault->kind == HexFault::kNone && parse_descriptor_bytes(buffer, span, out);
    delete[] buffer;
    return ok;
}

} // namespace qz::ext
