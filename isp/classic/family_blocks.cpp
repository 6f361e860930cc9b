#include "isp/classic/family_blocks.h"

#include <array>
#include <cstddef>

namespace qz {

namespace {

constexpr FlashBlock block(std::uint32_t start, std::uint32_t size)
{
    return FlashBlock{start, start + size - 1, start + size - 1, start >> 8};
}

// `n` blocks of `size` bytes from address 0.
template <std::size_t N>
constexpr std::array<FlashBlock, N> uniform(std::uint32_t size)
{
    std::array<FlashBlock, N> a{};
    for (std::size_t i = 0; i < N; ++i)
        a[i] = block(static_cast<std::uint32_t>(i) * size, size);
    return a;
}

constexpr std::array<FlashBlock, 5> kFamily0 = {
    block(0x0000, 0x2000), block(0x2000, 0x2000), block(0x4000, 0x4000),
    block(0x8000, 0x4000), block(0xC000, 0x4000)};
constexpr auto kFamily2 = uniform<16>(0x1000);
constexpr auto kFamily3 = uniform<12>(0x2000);
constexpr auto kFamily4 = uniform<16>(0x400);
constexpr std::array<FlashBlock, 1> kFamily5 = {block(0, 0x8000)};
constexpr std::array<FlashBlock, 1> kFamily6 = {block(0, 0x10000)};
constexpr auto kFamily7 = uniform<8>(0x100);
constexpr auto kFamily8 = uniform<32>(0x800);
constexpr std::array<FlashBlock, 1> kFamily9 = {block(0, 0x4000)};
constexpr auto kFamily10 = uniform<16>(0x1000);
constexpr std::array<FlashBlock, 1> kFamily11 = {block(0, 0x2000)};

template <std::size_t N>
constexpr FamilyBlockTable table(const std::array<FlashBlock, N>& a)
{
    return FamilyBlockTable{a.data(), static_cast<int>(N)};
}

} // namespace

FamilyBlockTable family_blocks(int family)
{
    switch (family) {
    case 0:
    case 1: return table(kFamily0);
    case 2: return table(kFamily2);
    case 3: return table(kFamily3);
    case 4: return table(kFamily4);
    case 5: return table(kFamily5);
    case 6: return table(kFamily6);
    case 7: return table(kFamily7);
    case 8: return table(kFamily8);
    case 9: return table(kFamily9);
    case 10: return table(kFamily10);
    case 11: return table(kFamily11);
    default: return FamilyBlockTable{nullptr, 0};
    }
}

const FlashBlock* family_block(int family, int index)
{
    const FamilyBlockTable t = family_blocks(family);
    if (index < 0 || index >= t.count)
        return nullptr;
    return &t.blocks[index];
}

int blocks_below(int family, std::uint32_t flash_size)
{
    const FamilyBlockTable t = family_blocks(family);
    int n = 0;
    while (n < t.count && t.blocks[n].start < flash_size)
        ++n;
    return n;
}

} // namespace qz
