#include "isp/core/hexrecord.h"

#include "isp/core/hexutil.h"

namespace qz {

bool parse_hex_record(char* text, std::size_t length, HexRecord& record)
{
    if (!validate_hex_text(text, length))
        return false;
    const unsigned count = parse_hex_byte(text[1], text[2]);
    // A record cut short (at the end of the input, or by a line end inside
    // its declared length) may lack its checksum, but never its data.
    if (length < 9 + 2 * std::size_t(count))
        return false;
    record.count = static_cast<std::uint8_t>(count);
    record.address = parse_hex_word(text[3], text[4], text[5], text[6]);
    record.type = parse_hex_byte(text[7], text[8]);
    for (unsigned i = 0; i < count; ++i)
        record.data[i] = parse_hex_byte(text[9 + 2 * i], text[10 + 2 * i]);
    return true;
}

bool HexRecordAssembler::feed(char c)
{
    if (ready_) {
        // The previous record has been handed out.
        ready_ = false;
        length_ = 0;
    }
    if (c == ':') {
        text_[0] = ':';
        length_ = 1;
        expected_ = 0;
        collecting_ = true;
        return false;
    }
    if (!collecting_)
        return false;
    text_[length_++] = c;
    text_[length_] = '\0';
    if (length_ == 3) {
        const int high = hex_digit_value(text_[1]);
        const int low = hex_digit_value(text_[2]);
        if (high < 0 || low < 0) {
            collecting_ = false;
            length_ = 0;
            return false;
        }
        expected_ = 11 + 2 * std::size_t(high * 16 + low);
    }
    if (expected_ != 0 && length_ == expected_) {
        collecting_ = false;
        ready_ = true;
        return true;
    }
    return false;
}

bool HexRecordAssembler::finish()
{
    if (!collecting_ || length_ == 0)
        return false;
    collecting_ = false;
    ready_ = true;
    return true;
}

namespace {

template <typename NextChar>
void assemble(NextChar next, const HexRecordVisitor& visit)
{
    HexRecordAssembler assembler;
    HexRecord record;
    int c;
    while ((c = next()) >= 0) {
        if (assembler.feed(static_cast<char>(c)) && parse_hex_record(assembler.text(), assembler.length(), record))
            visit(record);
    }
    if (assembler.finish() && parse_hex_record(assembler.text(), assembler.length(), record))
        visit(record);
}

HexRecordVisitor resolve_addresses(const HexDataVisitor& visit)
{
    return [&visit, base = std::uint32_t(0)](const HexRecord& record) mutable {
        switch (record.type) {
        case kHexData:
            if (record.count > 0)
                visit(HexData{base + record.address, record.count, record.data});
            break;
        case kHexSegmentAddress:
        case kHexLinearAddress: {
            // The value is the first two data bytes; a record too short to
            // hold them is skipped.
            if (record.count < 2)
                break;
            const std::uint32_t value = (std::uint32_t(record.data[0]) << 8) | record.data[1];
            base = record.type == kHexSegmentAddress ? value << 4 : value << 16;
            break;
        }
        default:
            // End of file and the other types change nothing; reading goes on.
            break;
        }
    };
}

} // namespace

void for_each_hex_record(std::FILE* file, const HexRecordVisitor& visit)
{
    if (file == nullptr)
        return;
    assemble([file] { return std::getc(file); }, visit);
}

void for_each_hex_record(const char* text, const HexRecordVisitor& visit)
{
    if (text == nullptr)
        return;
    assemble([&text]() -> int { return *text == '\0' ? -1 : static_cast<unsigned char>(*text++); }, visit);
}

void for_each_hex_data(std::FILE* file, const HexDataVisitor& visit)
{
    for_each_hex_record(file, resolve_addresses(visit));
}

void for_each_hex_data(const char* text, const HexDataVisitor& visit)
{
    for_each_hex_record(text, resolve_addresses(visit));
}

} // namespace qz
