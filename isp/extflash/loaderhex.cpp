#include "isp/extflash/loaderhex.h"

#include <cstring>

#include "isp/core/programsink.h"

namespace qz::ext {

namespace {

constexpr std::uint64_t kAddressEnd = 0x100000000ull;

// A 32-bit address space; a record past its end has no place.
Placement beyond_4gib(std::uint64_t address, std::size_t count, bool* beyond)
{
    Placement p;
    *beyond = address + count > kAddressEnd;
    if (*beyond) {
        p.kind = Placement::kOutside;
        p.outside = address < kAddressEnd ? kAddressEnd : address;
    }
    return p;
}

class RangeSink final : public ProgramSink {
public:
    RangeSink(std::uint8_t* buffer, std::uint32_t first, std::uint32_t last)
        : buffer_(buffer), first_(first), last_(last), highest_(first)
    {
    }

    Placement place(std::uint64_t address, const std::uint8_t* bytes, std::size_t count) override
    {
        bool beyond = false;
        const Placement p = beyond_4gib(address, count, &beyond);
        if (beyond)
            return p;
        const std::uint64_t end = address + count - 1;
        if (buffer_ == nullptr || first_ > last_ || address < first_ || end > last_)
            return p;
        std::memcpy(buffer_ + (address - first_), bytes, count);
        stored_ = true;
        if (end > highest_)
            highest_ = static_cast<std::uint32_t>(end);
        return p;
    }

    std::uint32_t highest() const { return highest_; }
    bool stored() const { return stored_; }

private:
    std::uint8_t* buffer_;
    std::uint32_t first_;
    std::uint32_t last_;
    std::uint32_t highest_;
    bool stored_ = false;
};

class SpanSink final : public ProgramSink {
public:
    Placement place(std::uint64_t address, const std::uint8_t*, std::size_t count) override
    {
        bool beyond = false;
        const Placement p = beyond_4gib(address, count, &beyond);
        if (beyond)
            return p;
        const std::uint64_t end = address + count - 1;
        if (!any_ || address < lowest_)
            lowest_ = static_cast<std::uint32_t>(address);
        if (!any_ || end > highest_)
            highest_ = static_cast<std::uint32_t>(end);
        any_ = true;
        return p;
    }

    std::uint32_t lowest_ = 0;
    std::uint32_t highest_ = 0;
    bool any_ = false;
};

} // namespace

std::uint32_t load_hex_file_range(std::FILE* file, std::uint8_t* buffer, std::uint32_t first, std::uint32_t last,
                                  bool* stored, HexFault* fault)
{
    RangeSink sink(buffer, first, last);
    const HexFault f = read_hex_into(file, sink);
    if (fault != nullptr)
        *fault = f;
    if (stored != nullptr)
        *stored = f.kind == HexFault::kNone && sink.stored();
    return sink.highest();
}

int hex_file_address_range(std::FILE* file, std::uint32_t* lowest, std::uint32_t* highest, HexFault* fault)
{
    SpanSink sink;
    const HexFault f = read_hex_into(file, sink);
    if (fault != nullptr)
        *fault = f;
    if (f.kind != HexFault::kNone || !sink.any_)
        return 0;
    *lowest = sink.lowest_;
    *highest = sink.highest_;
    return 1;
}

} // namespace qz::ext
