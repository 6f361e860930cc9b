// Intel HEX record assembly: finding the records in a file or text, one
// character at a time, and decoding them, for the range readers that skip
// what they cannot use. Input that must be right before a part is touched
// goes through the checked reader (stricthex.h) instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>

namespace qz {

constexpr std::size_t kMaxHexRecordData = 255;
// ':', count, address, type, 255 data bytes and the checksum.
constexpr std::size_t kMaxHexRecordChars = 11 + 2 * kMaxHexRecordData;

enum HexRecordType : std::uint8_t {
    kHexData = 0x00,
    kHexEndOfFile = 0x01,
    kHexSegmentAddress = 0x02,
    kHexLinearAddress = 0x04,
};

struct HexRecord {
    std::uint8_t type;
    std::uint16_t address;
    std::uint8_t count;
    std::uint8_t data[kMaxHexRecordData];
};

// Decodes one record text of `length` characters (cut of trailing control
// characters in place). False when the text fails validate_hex_line or is
// shorter than the data its count names. The checksum is not tested.
bool parse_hex_record(char* text, std::size_t length, HexRecord& record);

// Collects the characters of one record: a ':' starts it (dropping what was
// collected before); once the two count digits are in, the record is
// complete at 11 + 2 x count characters. Characters outside a record, and a
// record whose count digits are not hex, are dropped.
class HexRecordAssembler {
public:
    // True when `c` completed a record, now in text()/length().
    bool feed(char c);
    // At the end of the input: true when a started record is left over, so
    // that it is examined too.
    bool finish();

    char* text() { return text_; }
    std::size_t length() const { return length_; }

private:
    char text_[kMaxHexRecordChars + 1] = {};
    std::size_t length_ = 0;
    std::size_t expected_ = 0;
    bool collecting_ = false;
    bool ready_ = false;
};

using HexRecordVisitor = std::function<void(const HexRecord&)>;

// Every usable record of an open file (read to its end) or of a
// zero-terminated text, in order. Records after an end-of-file record are
// visited too; unusable ones are skipped.
void for_each_hex_record(std::FILE* file, const HexRecordVisitor& visit);
void for_each_hex_record(const char* text, const HexRecordVisitor& visit);

// A data record with its absolute address: the record's 16-bit address plus
// the base that the last 02 (value << 4) or 04 (value << 16) record set.
struct HexData {
    std::uint32_t address;
    unsigned count; // at least 1
    const std::uint8_t* bytes;
    // Last address; wide, because base + address + count can pass 4 GiB.
    std::uint64_t last() const { return std::uint64_t(address) + count - 1; }
};

using HexDataVisitor = std::function<void(const HexData&)>;

// Every data record with at least one byte, addresses resolved.
void for_each_hex_data(std::FILE* file, const HexDataVisitor& visit);
void for_each_hex_data(const char* text, const HexDataVisitor& visit);

} // namespace qz
