#include "isp/core/stricthex.h"

#include <cstring>

#include "isp/core/hexrecord.h"
#include "isp/core/hexutil.h"

namespace qz {

namespace {

// The longest record and some room for trailing blanks; a longer line is
// read to its end and refused.
constexpr std::size_t kLineRoom = kMaxHexRecordChars + 64;

bool is_blank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

class StrictReader {
public:
    StrictReader(ProgramSink& sink, HexAddressing addressing) : sink_(sink), addressing_(addressing) {}

    // One character of the input; false once a fault is found.
    bool feed(int c)
    {
        if (swallow_lf_) {
            swallow_lf_ = false;
            if (c == '\n')
                return true;
        }
        if (c == '\n' || c == '\r') {
            swallow_lf_ = c == '\r';
            return end_line();
        }
        if (length_ < kLineRoom)
            line_[length_] = static_cast<char>(c);
        ++length_;
        return true;
    }

    // The input ended early: what was read so far must not pass as all.
    HexFault read_failed()
    {
        fault_ = HexFault{};
        fault_.kind = HexFault::kRead;
        fault_.endRecord = end_;
        return fault_;
    }

    HexFault finish()
    {
        if (fault_.kind == HexFault::kNone && length_ > 0)
            end_line();
        if (fault_.kind == HexFault::kNone && !data_)
            fault_.kind = HexFault::kNoData;
        fault_.endRecord = end_;
        return fault_;
    }

private:
    bool fail(HexFault::Kind kind)
    {
        fault_.kind = kind;
        fault_.line = number_;
        return false;
    }

    bool end_line()
    {
        ++number_;
        std::size_t n = length_;
        length_ = 0;
        if (n > kLineRoom)
            return line_[0] == ':' ? fail(HexFault::kLength) : fail(HexFault::kNotARecord);
        while (n > 0 && is_blank(line_[n - 1]))
            --n;
        std::size_t from = 0;
        while (from < n && is_blank(line_[from]))
            ++from;
        if (from == n)
            return true;
        return record(line_ + from, n - from);
    }

    bool record(const char* line, std::size_t n)
    {
        if (line[0] != ':' || n < 11)
            return fail(HexFault::kNotARecord);
        for (std::size_t i = 1; i < n; ++i) {
            if (hex_digit_value(line[i]) < 0)
                return fail(HexFault::kNotARecord);
        }
        const unsigned count = parse_hex_byte(line[1], line[2]);
        if (n != 11 + 2 * std::size_t(count))
            return fail(HexFault::kLength);
        if ((hex_record_checksum(line, n - 2) & 0xFF) != parse_hex_byte(line[n - 2], line[n - 1]))
            return fail(HexFault::kChecksum);
        const std::uint16_t offset = parse_hex_word(line[3], line[4], line[5], line[6]);
        std::uint8_t bytes[kMaxHexRecordData];
        for (unsigned i = 0; i < count; ++i)
            bytes[i] = parse_hex_byte(line[9 + 2 * i], line[10 + 2 * i]);
        switch (parse_hex_byte(line[7], line[8])) {
        case kHexData:
            return count == 0 || data(base_ + offset, bytes, count);
        case kHexSegmentAddress:
        case kHexLinearAddress: {
            if (count != 2)
                return fail(HexFault::kAddressRecord);
            const bool linear = parse_hex_byte(line[7], line[8]) == kHexLinearAddress;
            const std::uint32_t value = std::uint32_t(bytes[0]) << 8 | bytes[1];
            if (addressing_ == HexAddressing::kIntel)
                base_ = linear ? value << 16 : value << 4;
            else if (addressing_ == HexAddressing::kClassicWide && linear)
                base_ = std::uint32_t(bytes[1] & 0x7F) << 16;
            return true;
        }
        case kHexEndOfFile:
            end_ = true;
            return true;
        case 0x03: // start segment address
        case 0x05: // start linear address
            return true;
        default:
            return fail(HexFault::kRecordType);
        }
    }

    bool data(std::uint64_t address, const std::uint8_t* bytes, unsigned count)
    {
        data_ = true;
        const Placement p = sink_.place(address, bytes, count);
        if (p.kind != Placement::kOutside)
            return true;
        fault_.address = p.outside;
        return fail(HexFault::kOutside);
    }

    ProgramSink& sink_;
    const HexAddressing addressing_;
    char line_[kLineRoom] = {};
    std::size_t length_ = 0;
    unsigned number_ = 0;
    bool swallow_lf_ = false;
    std::uint32_t base_ = 0;
    bool data_ = false;
    bool end_ = false;
    HexFault fault_;
};

} // namespace

const char* hex_fault_words(HexFault::Kind kind)
{
    switch (kind) {
    case HexFault::kNotARecord:
        return "not a record";
    case HexFault::kLength:
        return "length";
    case HexFault::kChecksum:
        return "checksum";
    case HexFault::kAddressRecord:
        return "address record";
    case HexFault::kRecordType:
        return "record type";
    case HexFault::kNoData:
        return "no data record";
    case HexFault::kOutside:
        return "outside the part";
    case HexFault::kRead:
        return "read error";
    default:
        return "";
    }
}

HexFault read_hex_into(std::FILE* file, ProgramSink& sink, HexAddressing addressing)
{
    StrictReader reader(sink, addressing);
    if (file != nullptr) {
        int c;
        bool fault = false;
        while (!fault && (c = std::getc(file)) != EOF)
            fault = !reader.feed(c);
        if (!fault && std::ferror(file))
            return reader.read_failed();
    }
    return reader.finish();
}

HexFault read_hex_into(const char* text, ProgramSink& sink, HexAddressing addressing)
{
    StrictReader reader(sink, addressing);
    for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
        if (!reader.feed(static_cast<unsigned char>(*p)))
            break;
    }
    return reader.finish();
}

} // namespace qz
