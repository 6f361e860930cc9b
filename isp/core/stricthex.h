// Intel HEX read for programming: every line must be a whole record with a
// right checksum, and the file must hold data, before a run may go on. What
// is harmless is taken: lower-case digits, records after the end record,
// LF, CR LF or CR line ends, blank lines and blanks around a record.
#pragma once

#include <cstdint>
#include <cstdio>

#include "isp/core/programsink.h"

namespace qz {

// How the address records move the data records.
enum class HexAddressing {
    kIntel,       // 02: base = value << 4; 04: base = value << 16
    kClassic,     // parts up to 64 KB: 02 and 04 are ignored
    kClassicWide, // parts above 64 KB: 04 sets 64 KB pages from its second byte, bit 7 cleared; 02 ignored
};

struct HexFault {
    enum Kind {
        kNone,
        kNotARecord,    // no ':', a character that is no hex digit, or too short
        kLength,        // the count does not match the record's length
        kChecksum,      // the record's checksum is wrong
        kAddressRecord, // an 02 or 04 record without exactly two data bytes
        kRecordType,    // a type Intel HEX does not have
        kNoData,        // not one data record with bytes
        kOutside,       // the sink found no place for `address`
        kRead,          // the file could not be read to its end
    };
    Kind kind = kNone;
    unsigned line = 0; // 1-based; every kind but kNone, kNoData and kRead
    std::uint64_t address = 0;
    bool endRecord = false; // an end record was read (the reader goes on past it)
};

// The words for a line fault ("not a record", "checksum", ...).
const char* hex_fault_words(HexFault::Kind kind);

// Reads an open file to its end (or a zero-terminated text), handing each
// data record to the sink; stops at the first fault.
HexFault read_hex_into(std::FILE* file, ProgramSink& sink, HexAddressing addressing = HexAddressing::kIntel);
HexFault read_hex_into(const char* text, ProgramSink& sink, HexAddressing addressing = HexAddressing::kIntel);

} // namespace qz
