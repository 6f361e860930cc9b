#include "isp/cortex/ramimage.h"

#include <cstring>
#include <new>

#include "isp/cortex/devicetable.h"
#include "isp/cortex/selecteddevice.h"
#include "isp/core/session.h"

namespace qz {

int RamImage::alloc(const CortexDeviceRecord& device)
{
    if (exists())
        return 1;
    if (device.ram_end < device.ram_start)
        return 0;
    const std::size_t size = std::size_t(device.ram_end - device.ram_start) + 1;
    bytes_.reset(new (std::nothrow) std::uint8_t[size]);
    if (!bytes_)
        return 0;
    start_ = device.ram_start;
    end_ = device.ram_end;
    fill_ = device.fill_byte;
    std::memset(bytes_.get(), fill_, size);
    return 1;
}

void RamImage::free()
{
    bytes_.reset();
}

const std::uint8_t* RamImage::at(std::uint32_t address) const
{
    if (!exists() || address < start_ || address > end_)
        return nullptr;
    return bytes_.get() + (address - start_);
}

std::uint8_t* RamImage::at(std::uint32_t address)
{
    return const_cast<std::uint8_t*>(static_cast<const RamImage*>(this)->at(address));
}

bool RamImage::is_fill(std::uint32_t address) const
{
    const std::uint8_t* p = at(address);
    return p == nullptr || *p == fill_;
}

bool RamImage::holds(std::uint64_t first, std::uint64_t last) const
{
    return exists() && first >= start_ && first <= end_ && last >= start_ && last <= end_;
}

int ram_image_alloc()
{
    SessionRecord& s = session();
    if (s.ramImage != nullptr && s.ramImage->exists())
        return 1;
    if (s.ramImage == nullptr)
        s.ramImage = new (std::nothrow) RamImage;
    if (s.ramImage == nullptr || s.ramImage->alloc(selected_device()) == 0) {
        ram_image_free();
        return 0;
    }
    s.ramImageValid = 1;
    return 1;
}

void ram_image_free()
{
    SessionRecord& s = session();
    delete s.ramImage;
    s.ramImage = nullptr;
    s.ramImageValid = 0;
}

RamImage* ram_image()
{
    RamImage* image = session().ramImage;
    return image != nullptr && image->exists() ? image : nullptr;
}

std::uint8_t* ram_image_at(std::uint32_t address)
{
    RamImage* image = ram_image();
    return image != nullptr ? image->at(address) : nullptr;
}

bool ram_image_is_fill(std::uint32_t address)
{
    RamImage* image = ram_image();
    return image == nullptr || image->is_fill(address);
}

bool ram_image_holds(std::uint64_t first, std::uint64_t last)
{
    const CortexDeviceRecord& device = selected_device();
    return first >= device.ram_start && first <= device.ram_end && last >= device.ram_start &&
           last <= device.ram_end;
}

} // namespace qz
