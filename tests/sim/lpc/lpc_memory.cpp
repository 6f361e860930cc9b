#include "tests/sim/lpc/lpc_memory.h"

namespace sim::lpc {

namespace {

constexpr std::uint32_t kMemmap = 0x400FC040;
constexpr std::uint32_t kSysmemremap = 0x40048000;

bool inside(std::uint64_t address, std::uint64_t count, std::uint64_t start, std::uint64_t end)
{
    return address >= start && address + count - 1 <= end;
}

} // namespace

int crpLevelOf(std::uint32_t word)
{
    switch (word) {
    case kCrp1: return 1;
    case kCrp2: return 2;
    case kCrp3: return 3;
    default: return 0;
    }
}

Memory::Memory(const PartInfo& part)
    : part_(part)
{
    for (const Bank& b : part_.banks) {
        sectors_.push_back(bankSectors(b));
        flash_.emplace_back(static_cast<std::size_t>(b.end - b.start) + 1, 0xFF);
    }
    ram_.assign(static_cast<std::size_t>(part_.ramEnd - part_.ramStart) + 1, 0x00);
    eeprom_.assign(part_.eepromSize, 0xFF);
}

Region Memory::region(std::uint32_t address, std::uint64_t count, int* bank) const
{
    if (count == 0)
        count = 1;
    for (std::size_t i = 0; i < part_.banks.size(); ++i) {
        if (inside(address, count, part_.banks[i].start, part_.banks[i].end)) {
            if (bank)
                *bank = static_cast<int>(i);
            return Region::Flash;
        }
    }
    if (inside(address, count, part_.ramStart, part_.ramEnd))
        return Region::Ram;
    if (inside(address, count, kBootRomBase, kBootRomBase + kBootRomSize - 1))
        return Region::BootRom;
    return Region::Unmapped;
}

std::uint8_t Memory::physRead(std::uint32_t address) const
{
    for (std::size_t i = 0; i < part_.banks.size(); ++i)
        if (address >= part_.banks[i].start && address <= part_.banks[i].end)
            return flash_[i][address - part_.banks[i].start];
    if (address >= part_.ramStart && address <= part_.ramEnd)
        return ram_[address - part_.ramStart];
    if (address >= kBootRomBase && address < kBootRomBase + kBootRomSize) {
        // A fixed stand-in for the ROM's code: a stack pointer at the top
        // of RAM, then entry points inside the ROM.
        std::uint32_t index = (address - kBootRomBase) / 4;
        std::uint32_t word = index == 0 ? ((part_.ramEnd + 1) - 0x20)
                                        : (kBootRomBase + 0x100 + index * 4) | 1u;
        return static_cast<std::uint8_t>(word >> (8 * (address & 3)));
    }
    return 0;
}

std::uint32_t Memory::remapSize() const
{
    switch (part_.vectorMap) {
    case VectorMap::Lpc17xx: return (remap_ & 1) ? 0 : 64;
    case VectorMap::Lpc1xxx: return (remap_ & 3) >= 2 ? 0 : 512;
    case VectorMap::None: break;
    }
    return 0;
}

std::uint8_t Memory::cpuRead(std::uint32_t address) const
{
    if (address < remapSize()) {
        bool toRam = part_.vectorMap == VectorMap::Lpc1xxx && (remap_ & 3) == 1;
        return physRead((toRam ? part_.ramStart : kBootRomBase) + address);
    }
    return physRead(address);
}

std::uint32_t Memory::cpuRead32(std::uint32_t address) const
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | cpuRead(address + static_cast<std::uint32_t>(i));
    return v;
}

void Memory::writeRam(std::uint32_t address, std::uint8_t value)
{
    if (address >= part_.ramStart && address <= part_.ramEnd)
        ram_[address - part_.ramStart] = value;
}

bool Memory::writeRegister(std::uint32_t address, std::uint32_t value)
{
    if (part_.vectorMap == VectorMap::Lpc17xx && address == kMemmap) {
        remap_ = value & 1;
        return true;
    }
    if (part_.vectorMap == VectorMap::Lpc1xxx && address == kSysmemremap) {
        remap_ = value & 3;
        return true;
    }
    return false;
}

int Memory::sectorAt(int bank, std::uint32_t address) const
{
    const std::vector<Sector>& s = sectors_[bank];
    for (std::size_t i = 0; i < s.size(); ++i)
        if (address >= s[i].start && address - s[i].start < s[i].size)
            return static_cast<int>(i);
    return -1;
}

void Memory::erase(int bank, int first, int last)
{
    const std::uint32_t base = part_.banks[bank].start;
    for (int n = first; n <= last; ++n) {
        const Sector& s = sectors_[bank][n];
        for (std::uint32_t i = 0; i < s.size; ++i) {
            std::uint32_t off = s.start - base + i;
            if (off < flash_[bank].size())
                flash_[bank][off] = 0xFF;
        }
    }
}

void Memory::program(int bank, std::uint32_t offset, const std::uint8_t* data, std::size_t count)
{
    std::vector<std::uint8_t>& f = flash_[bank];
    for (std::size_t i = 0; i < count && offset + i < f.size(); ++i)
        f[offset + i] &= data[i];
}

bool Memory::blank(int bank, int first, int last, std::uint32_t* offset, std::uint32_t* word) const
{
    const std::uint32_t from = sectors_[bank][first].start;
    const Sector& end = sectors_[bank][last];
    for (std::uint32_t a = from; a - from < end.start + end.size - from; a += 4) {
        std::uint32_t w = cpuRead32(a);
        if (w != 0xFFFFFFFF) {
            *offset = a - from;
            *word = w;
            return false;
        }
    }
    return true;
}

std::uint32_t Memory::crpWord(int bank) const
{
    const std::vector<std::uint8_t>& f = flash_[bank];
    if (f.size() < kCrpOffset + 4)
        return 0xFFFFFFFF;
    return static_cast<std::uint32_t>(f[kCrpOffset]) | (static_cast<std::uint32_t>(f[kCrpOffset + 1]) << 8) |
           (static_cast<std::uint32_t>(f[kCrpOffset + 2]) << 16) |
           (static_cast<std::uint32_t>(f[kCrpOffset + 3]) << 24);
}

bool Memory::validUserCode(int bank) const
{
    const std::vector<std::uint8_t>& f = flash_[bank];
    if (f.size() < 32)
        return false;
    std::uint32_t sum = 0;
    for (int w = 0; w < 8; ++w)
        sum += static_cast<std::uint32_t>(f[w * 4]) | (static_cast<std::uint32_t>(f[w * 4 + 1]) << 8) |
               (static_cast<std::uint32_t>(f[w * 4 + 2]) << 16) | (static_cast<std::uint32_t>(f[w * 4 + 3]) << 24);
    return sum == 0;
}

} // namespace sim::lpc
