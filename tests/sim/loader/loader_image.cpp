#include "tests/sim/loader/loader_image.h"

#include <cstdio>

namespace sim::loader {

namespace {

void putWord(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void putText(std::vector<std::uint8_t>& out, std::size_t at, const std::string& s, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        out[at + i] = i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0;
}

void record(std::string& out, std::uint8_t type, std::uint16_t address, const std::uint8_t* data, std::size_t count)
{
    char buf[16];
    unsigned sum = static_cast<unsigned>(count) + (address >> 8) + (address & 0xFF) + type;
    std::snprintf(buf, sizeof buf, ":%02X%04X%02X", static_cast<unsigned>(count), address, type);
    out += buf;
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", data[i]);
        out += buf;
        sum += data[i];
    }
    std::snprintf(buf, sizeof buf, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    out += buf;
}

} // namespace

std::vector<std::uint8_t> descriptorBytes(const DescriptorFields& s)
{
    const bool v1 = s.version == 1;
    const std::size_t fieldsEnd = v1 ? 304 : 312;
    std::vector<std::uint8_t> out(fieldsEnd + 4, 0);
    putWord(out, 0, s.startMarker ? kStartMarker : 0);
    putWord(out, 4, static_cast<std::uint32_t>(s.version));
    putWord(out, 8, s.reserved1);
    putWord(out, 12, s.reserved2);
    putWord(out, 16, s.flashStart);
    putWord(out, 20, s.flashEnd);
    putWord(out, 24, s.ramStart);
    putWord(out, 28, s.ramEnd);
    putWord(out, 32, s.eraseBlockSize);
    out[36] = s.erasedByte;
    putWord(out, 40, s.chunkSize);
    putWord(out, 44, s.reserved44);
    if (v1) {
        putText(out, 112, s.firstText, 64);
        putText(out, 176, s.secondText, 128);
    } else {
        putWord(out, 48, static_cast<std::uint32_t>(s.startMethod));
        putWord(out, 52, static_cast<std::uint32_t>(s.ispBaud));
        putText(out, 56, s.deviceName, 64);
        putText(out, 120, s.firstText, 64);
        putText(out, 184, s.secondText, 128);
    }
    putWord(out, fieldsEnd, s.endMarker ? kEndMarker : 0);
    return out;
}

std::string hexText(std::uint32_t address, const std::vector<std::uint8_t>& bytes, std::size_t perRecord)
{
    std::string out;
    std::uint32_t upper = 0xFFFFFFFF;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::uint32_t a = address + static_cast<std::uint32_t>(i);
        if ((a >> 16) != upper) {
            upper = a >> 16;
            const std::uint8_t base[2] = {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)};
            record(out, 0x04, 0, base, 2);
        }
        std::size_t n = std::min(perRecord, bytes.size() - i);
        const std::uint32_t room = 0x10000 - (a & 0xFFFF);
        if (n > room)
            n = room;
        record(out, 0x00, static_cast<std::uint16_t>(a & 0xFFFF), bytes.data() + i, n);
        i += n;
    }
    record(out, 0x01, 0, nullptr, 0);
    return out;
}

std::vector<std::uint8_t> loaderImage(const DescriptorFields& desc, std::size_t codeSize, std::size_t tailSize)
{
    std::vector<std::uint8_t> image(codeSize);
    for (std::size_t i = 0; i < codeSize; ++i)
        image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    // A vector table: the stack at the RAM's top, the entry (Thumb) behind it.
    if (codeSize >= 8) {
        const std::uint32_t sp = (desc.ramEnd + 1) & ~7u;
        const std::uint32_t entry = (desc.ramStart + 0x41) | 1u;
        for (int i = 0; i < 4; ++i) {
            image[i] = static_cast<std::uint8_t>(sp >> (8 * i));
            image[4 + i] = static_cast<std::uint8_t>(entry >> (8 * i));
        }
    }
    const std::vector<std::uint8_t> d = descriptorBytes(desc);
    image.insert(image.end(), d.begin(), d.end());
    for (std::size_t i = 0; i < tailSize; ++i)
        image.push_back(static_cast<std::uint8_t>(0xA0 + i));
    return image;
}

std::string loaderHex(const DescriptorFields& desc, std::size_t codeSize, std::size_t tailSize)
{
    return hexText(desc.ramStart, loaderImage(desc, codeSize, tailSize));
}

bool writeFile(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace sim::loader
