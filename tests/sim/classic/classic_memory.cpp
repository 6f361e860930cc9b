#include "tests/sim/classic/classic_memory.h"

#include <algorithm>

namespace sim {

namespace {

std::vector<ClassicBlock> uniform(int n, std::uint32_t size)
{
    std::vector<ClassicBlock> v;
    for (int i = 0; i < n; ++i)
        v.push_back({static_cast<std::uint32_t>(i) * size, static_cast<std::uint32_t>(i + 1) * size - 1});
    return v;
}

} // namespace

std::vector<ClassicBlock> classic_family_blocks(int family, int count)
{
    std::vector<ClassicBlock> v;
    switch (family) {
    case 0:
    case 1:
        v = {{0x0000, 0x1FFF}, {0x2000, 0x3FFF}, {0x4000, 0x7FFF}, {0x8000, 0xBFFF}, {0xC000, 0xFFFF}};
        break;
    case 2: v = uniform(16, 0x1000); break;
    case 3: v = uniform(12, 0x2000); break;
    case 4: v = uniform(16, 0x400); break;
    case 5: v = {{0, 0x7FFF}}; break;
    case 6: v = {{0, 0xFFFF}}; break;
    case 7: v = uniform(8, 0x100); break;
    case 8: v = uniform(32, 0x800); break;
    case 9: v = {{0, 0x3FFF}}; break;
    case 10: v = uniform(16, 0x1000); break;
    case 11: v = {{0, 0x1FFF}}; break;
    default: break;
    }
    if (count >= 0 && static_cast<std::size_t>(count) < v.size())
        v.resize(static_cast<std::size_t>(count));
    return v;
}

ClassicFlash::ClassicFlash(const ClassicLayout& layout)
    : layout_(layout), blocks_(layout.blocks), bytes_(layout.flashSize, layout.erased)
{
    if (blocks_.empty() && layout_.flashSize > 0)
        blocks_.push_back({0, layout_.flashSize - 1});
}

void ClassicFlash::touch(std::uint32_t from, std::uint32_t to)
{
    if (layout_.guardStart < layout_.guardEnd && from < layout_.guardEnd && to >= layout_.guardStart)
        ++guardHits_;
}

bool ClassicFlash::program(std::uint32_t address, std::uint8_t value)
{
    if (!inside(address))
        return false;
    touch(address, address);
    std::uint8_t& b = bytes_[address];
    b = layout_.erased == 0xFF ? static_cast<std::uint8_t>(b & value) : static_cast<std::uint8_t>(b | value);
    written_[address] = b;
    return true;
}

std::uint8_t ClassicFlash::at(std::uint32_t address) const
{
    return inside(address) ? bytes_[address] : layout_.erased;
}

void ClassicFlash::eraseRange(std::uint32_t from, std::uint32_t to)
{
    if (layout_.flashSize == 0)
        return;
    to = std::min(to, layout_.flashSize - 1);
    if (from > to)
        return;
    touch(from, to);
    std::fill(bytes_.begin() + from, bytes_.begin() + to + 1, layout_.erased);
    written_.erase(written_.lower_bound(from), written_.upper_bound(to));
}

void ClassicFlash::eraseAll()
{
    eraseRange(0, layout_.flashSize ? layout_.flashSize - 1 : 0);
    erasures_.push_back("all");
}

int ClassicFlash::blockOf(std::uint32_t address) const
{
    for (std::size_t i = 0; i < blocks_.size(); ++i)
        if (address >= blocks_[i].start && address <= blocks_[i].end)
            return static_cast<int>(i);
    return -1;
}

int ClassicFlash::blockStartingAt(std::uint32_t start) const
{
    for (std::size_t i = 0; i < blocks_.size(); ++i)
        if (blocks_[i].start == start)
            return static_cast<int>(i);
    return -1;
}

bool ClassicFlash::eraseBlock(int index)
{
    if (index < 0 || index >= blockCount())
        return false;
    eraseRange(block(index).start, block(index).end);
    erasures_.push_back("block " + std::to_string(index));
    return true;
}

bool ClassicFlash::erasePage(std::uint32_t address)
{
    if (layout_.pageSize == 0 || !inside(address))
        return false;
    const std::uint32_t page = address / layout_.pageSize;
    eraseRange(page * layout_.pageSize, (page + 1) * layout_.pageSize - 1);
    erasures_.push_back("page " + std::to_string(page));
    return true;
}

} // namespace sim
