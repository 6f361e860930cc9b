#include "tests/sim/loader/nor_flash.h"

#include <algorithm>

namespace sim::loader {

NorFlash::NorFlash(std::uint32_t start, std::uint32_t size, std::uint32_t blockSize, std::uint8_t erased)
    : start_(start), blockSize_(blockSize), erased_(erased), bytes_(size, erased)
{
}

bool NorFlash::eraseBlock(std::uint32_t address)
{
    if (address < start_ || blockSize_ == 0)
        return false;
    const std::uint64_t offset = address - start_;
    if (offset % blockSize_ != 0 || offset >= bytes_.size())
        return false;
    const std::uint64_t end = std::min<std::uint64_t>(offset + blockSize_, bytes_.size());
    std::fill(bytes_.begin() + static_cast<long>(offset), bytes_.begin() + static_cast<long>(end), erased_);
    return true;
}

void NorFlash::eraseAll()
{
    std::fill(bytes_.begin(), bytes_.end(), erased_);
}

bool NorFlash::program(std::uint32_t address, const std::uint8_t* data, std::size_t count)
{
    if (address < start_)
        return false;
    const std::uint64_t offset = address - start_;
    if (offset + count > bytes_.size())
        return false;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t& cell = bytes_[offset + i];
        // Programming moves bits away from their erased state only.
        const std::uint8_t keep = static_cast<std::uint8_t>(erased_ ^ 0xFF);
        const std::uint8_t want = data[i];
        const std::uint8_t next = static_cast<std::uint8_t>(
            ((cell ^ keep) & (want ^ keep)) ^ keep);
        if (next != want)
            ++conflicts_;
        cell = next;
    }
    return true;
}

void NorFlash::fill(const std::vector<std::uint8_t>& image)
{
    std::copy_n(image.begin(), std::min(image.size(), bytes_.size()), bytes_.begin());
}

} // namespace sim::loader
