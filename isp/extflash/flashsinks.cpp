#include "isp/extflash/flashsinks.h"

#include <cstring>

namespace qz::ext {

Placement FlashRangeSink::place(std::uint64_t address, const std::uint8_t* bytes, std::size_t count)
{
    Placement p;
    const std::uint64_t end = address + count - 1;
    if (address < first_ || end > last_) {
        p.kind = Placement::kOutside;
        // Data that starts outside is named by its own address; data that
        // runs past the end by the first address the flash lacks.
        p.outside = address < first_ || address > last_ ? address : static_cast<std::uint64_t>(last_) + 1;
        return p;
    }
    take(address - first_, bytes, count);
    return p;
}

void FlashImageSink::take(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count)
{
    std::memcpy(image_ + offset, bytes, count);
}

void EraseBlockSink::take(std::uint64_t offset, const std::uint8_t*, std::size_t count)
{
    for (std::uint64_t b = offset / blockSize_; b <= (offset + count - 1) / blockSize_; ++b)
        marked_.insert(b);
}

} // namespace qz::ext
