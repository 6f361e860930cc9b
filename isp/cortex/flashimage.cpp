#include "isp/cortex/flashimage.h"

#include <cstring>
#include <new>

#include "isp/cortex/devicetable.h"

namespace qz {

std::uint32_t flash_image_last(const FlashBank& bank, std::uint32_t boot_rom_base)
{
    if (boot_rom_base >= bank.start && boot_rom_base <= bank.end)
        return boot_rom_base;
    return bank.end;
}

bool FlashImage::allocate(std::uint32_t first, std::uint32_t last, std::uint8_t fill)
{
    release();
    if (last < first)
        return false;
    const std::size_t size = std::size_t(last - first) + 1;
    bytes_.reset(new (std::nothrow) std::uint8_t[size]);
    if (!bytes_)
        return false;
    std::memset(bytes_.get(), fill, size);
    size_ = size;
    first_ = first;
    last_ = last;
    return true;
}

bool FlashImage::allocate_for_bank(const FlashBank& bank, std::uint32_t boot_rom_base, std::uint8_t fill)
{
    return allocate(bank.start, flash_image_last(bank, boot_rom_base), fill);
}

void FlashImage::release()
{
    bytes_.reset();
    size_ = 0;
    first_ = 0;
    last_ = 0;
}

bool FlashImage::holds(std::uint64_t first, std::uint64_t last) const
{
    return exists() && first >= first_ && first <= last_ && last >= first_ && last <= last_;
}

std::uint8_t* FlashImage::at(std::uint32_t address)
{
    if (!exists() || address < first_ || address > last_)
        return nullptr;
    return bytes_.get() + (address - first_);
}

} // namespace qz
