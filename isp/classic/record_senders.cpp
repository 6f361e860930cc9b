#include "isp/classic/record_senders.h"

#include "isp/classic/hex_command.h"
#include "isp/classic/transmission.h"
#include "isp/core/errorcodes.h"
#include "isp/core/hexwriter.h"
#include "isp/core/serialport.h"

namespace qz {

namespace {

std::string upper_address_record(std::uint32_t address)
{
    char text[16];
    std::size_t n = make_linear_address_record(static_cast<std::uint16_t>(address >> 16), text, sizeof text);
    return std::string(text, n);
}

bool above_64k(const ClassicDeviceRecord& d) { return d.flash_size > 0x10000; }

// Status of a dialect 1 reply to a finished record.
int d1_status_of_record(char c)
{
    switch (c) {
    case 'N': return kEngineI2cError;
    case 'P': return kEnginePasswordNeeded;
    case 'R': return kErrProgramHex;
    case 'S': return kEngineSecurityViolation;
    case 'X': return kErrHexChecksum;
    default: return 1;
    }
}

// Status of a dialect 2 reply at `c`; "R" first takes its 2 more characters.
int d2_status(char c, std::string& reply)
{
    switch (c) {
    case 'X': return kErrHexChecksum;
    case 'R': return read_more(2, reply) == 1 ? kErrProgramHex : kErrCommunicate;
    case 'S':
    case 'N': return kErrProgramHex;
    case 'P': return kEnginePasswordNeeded;
    case '.': return 1;
    default: return 0; // not a status the part gives
    }
}

int d2_send_piece(std::uint16_t address, const std::uint8_t* data, std::size_t count)
{
    const std::string record = hex_command(0x00, address, data, count);
    const std::size_t split = !half_duplex() && count > kSplitMinData && record.size() > kSplitChars ? kSplitChars : 0;
    for (int attempt = 0; attempt < kPieceTries; ++attempt) {
        std::string reply;
        if (exchange(record, 3, reply, split) != 1)
            return kErrCommunicate;
        const int code = d2_status(reply[record.size()], reply);
        if (code != 0)
            return code;
        // Garbage in the place of the status: the piece may not be in
        // flash, so it goes again once the line is quiet.
        purge_port(0);
    }
    return kErrOperationFailed;
}

} // namespace

int d1_send_record(const std::string& record)
{
    std::string reply;
    if (exchange(record, 3, reply) != 1)
        return kErrCommunicate;
    return d1_status_of_record(reply[record.size()]);
}

int d1_send_address_record(const std::string& record)
{
    std::string reply;
    if (exchange(record, 3, reply) != 1)
        return kErrCommunicate;
    const char c = reply[record.size()];
    if (c == '.')
        return 1;
    const int r = d1_status_of_record(c);
    // Taken for done, a refused bank would send the data into the wrong one.
    return r == 1 ? kErrFillMemory : r;
}

int d1_program_record(const ClassicDeviceRecord& d, std::uint32_t address, const std::uint8_t* data,
                      std::size_t count)
{
    if (above_64k(d)) {
        const int r = d1_send_address_record(upper_address_record(address));
        if (r != 1)
            return r;
    }
    const std::string record = hex_command(0x00, static_cast<std::uint16_t>(address & 0xFFFF), data, count);
    std::string reply;
    if (exchange(record, 3, reply) != 1)
        return kErrCommunicate;
    switch (reply[record.size()]) {
    case '.': return 1;
    case 'S': return kEngineSecurityViolation;
    case 'N': return kEngineI2cError;
    case 'P': return kEnginePasswordNeeded;
    default: return kErrFillMemory;
    }
}

int d2_send_record(const std::string& record)
{
    std::string reply;
    if (exchange(record, 3, reply) != 1)
        return kErrCommunicate;
    const char first = reply[record.size()];
    int code = d2_status(first, reply);
    if (code < 0)
        return code;
    const bool eof = record.size() >= 9 && record.compare(7, 2, "01") == 0;
    if (!eof)
        return 1;
    const std::size_t at = reply.size();
    if (read_more(4, reply) != 1)
        return kErrCommunicate;
    // Here an "R" needs no further characters.
    if (reply[at + 1] == 'R')
        return kErrProgramHex;
    code = d2_status(reply[at + 1], reply);
    return code < 0 ? code : 1;
}

std::size_t d2_piece_end(std::uint32_t page_size, std::uint32_t address, std::size_t from, std::size_t count)
{
    const std::uint32_t p = page_size ? page_size : 0xFFFF;
    std::size_t i = from + 1;
    while (i < count && (address + i) % p != 0)
        ++i;
    return i;
}

int d2_program_record(const ClassicDeviceRecord& d, std::uint32_t address, const std::uint8_t* data,
                      std::size_t count)
{
    if (above_64k(d)) {
        const int r = d2_send_record(upper_address_record(address));
        if (r != 1)
            return r;
    }
    std::size_t from = 0;
    while (from < count) {
        const std::size_t to = d2_piece_end(d.page_size, address, from, count);
        const int r = d2_send_piece(static_cast<std::uint16_t>((address + from) & 0xFFFF), data + from, to - from);
        if (r != 1)
            return r;
        from = to;
    }
    return 1;
}

} // namespace qz
