#include "isp/classic/hex_command.h"

#include "isp/core/errorcodes.h"
#include "isp/core/hexutil.h"

namespace qz {

namespace {

void put_byte(std::string& s, unsigned value)
{
    s += hex_high_digit(value);
    s += hex_low_digit(value);
}

} // namespace

std::string hex_command(std::uint8_t type, std::uint16_t address, const std::uint8_t* data, std::size_t count)
{
    std::string s = ":";
    unsigned sum = static_cast<unsigned>(count) + (address >> 8) + (address & 0xFF) + type;
    put_byte(s, static_cast<unsigned>(count));
    put_byte(s, address >> 8);
    put_byte(s, address & 0xFF);
    put_byte(s, type);
    for (std::size_t i = 0; i < count; ++i) {
        put_byte(s, data[i]);
        sum += data[i];
    }
    put_byte(s, (0x100 - (sum & 0xFF)) & 0xFF);
    return s;
}

std::string hex_command(std::uint8_t type, std::uint16_t address, std::initializer_list<std::uint8_t> data)
{
    return hex_command(type, address, data.begin(), data.size());
}

int status_char_code(char c, StatusSender sender)
{
    switch (c) {
    case '.': return 1;
    case 'S': return kEngineSecurityViolation;
    case 'N': return kEngineI2cError;
    case 'P': return kEnginePasswordNeeded;
    case 'R': return sender == StatusSender::Record ? kErrProgramHex : kErrOperationFailed;
    case 'X': return sender == StatusSender::Record ? kErrHexChecksum : kErrOperationFailed;
    default: return kErrOperationFailed;
    }
}

bool hex_pair(char high, char low, std::uint8_t& out)
{
    const int h = hex_digit_value(high);
    const int l = hex_digit_value(low);
    if (h < 0 || l < 0)
        return false;
    out = static_cast<std::uint8_t>(h * 16 + l);
    return true;
}

} // namespace qz
