#include "tests/sim/classic/classic_readback.h"

#include <cstdio>

namespace sim {

namespace {

std::string hex(unsigned v, int digits)
{
    char b[16];
    std::snprintf(b, sizeof b, "%0*X", digits, v);
    return b;
}

std::string valueReply(std::uint8_t v) { return hex(v, 2) + ".\r\n"; }
std::string statusReply(char c) { return std::string(1, c) + "\r\n"; }

} // namespace

std::string readMemoryReply(const ByteAt& byte, std::uint32_t start, std::uint32_t end, bool wide)
{
    std::string s;
    for (std::uint64_t a = start; a <= end; a += 16) {
        s += '\n';
        s += hex(static_cast<unsigned>(a), wide ? 6 : 4);
        s += '=';
        for (std::uint64_t i = a; i < a + 16 && i <= end; ++i)
            s += hex(byte(static_cast<std::uint32_t>(i)), 2);
        s += '\r';
    }
    return s + ".";
}

std::string blankCheckReply(const ByteAt& byte, std::uint8_t erased, std::uint32_t start, std::uint32_t end,
                            bool wide, const std::string& lineEnd)
{
    for (std::uint64_t a = start; a <= end; ++a)
        if (byte(static_cast<std::uint32_t>(a)) != erased)
            return hex(static_cast<unsigned>(a), wide ? 6 : 4) + lineEnd;
    return ".\r" + lineEnd;
}

std::string misrDigits(const ByteAt& byte, std::uint32_t start, std::uint32_t end)
{
    // Any fixed mix serves: the library only carries the value.
    std::uint8_t m[16] = {};
    unsigned k = 0;
    for (std::uint64_t a = start; a <= end; ++a, ++k)
        m[k % 16] = static_cast<std::uint8_t>((m[k % 16] << 1 | m[k % 16] >> 7) ^ byte(static_cast<std::uint32_t>(a)));
    std::string s;
    for (std::uint8_t b : m)
        s += hex(b, 2);
    return s;
}

std::uint8_t ClassicEeprom::at(std::uint32_t address) const
{
    const auto it = bytes.find(address);
    return it == bytes.end() ? erased : it->second;
}

int ClassicEeprom::pageOf(std::uint32_t address) const
{
    if (address < base || pageSize == 0 || address >= base + pages * pageSize)
        return -1;
    return static_cast<int>((address - base) / pageSize);
}

char ClassicEeprom::erasePage(std::uint32_t address)
{
    const int page = pageOf(address);
    if (page < 0 || (address - base) % pageSize != 0)
        return 'R';
    if (security[static_cast<std::size_t>(page)] & 1)
        return 'S';
    for (std::uint32_t a = address; a < address + pageSize; ++a)
        bytes.erase(a);
    return '.';
}

char ClassicEeprom::write(std::uint32_t address, const std::vector<std::uint8_t>& data)
{
    for (std::size_t i = 0; i < data.size(); ++i) {
        const int page = pageOf(address + static_cast<std::uint32_t>(i));
        if (page < 0)
            return 'R';
        if (security[static_cast<std::size_t>(page)] & 1)
            return 'S';
    }
    for (std::size_t i = 0; i < data.size(); ++i)
        bytes[address + static_cast<std::uint32_t>(i)] = data[i];
    return '.';
}

std::string ClassicEeprom::crcDigits(std::uint32_t address) const
{
    std::uint32_t sum = 0;
    for (std::uint32_t a = address; a < address + pageSize; ++a)
        sum += at(a);
    return hex(sum, 8);
}

bool ClassicReadback::handle(std::uint8_t type, const std::vector<std::uint8_t>& data, std::uint8_t queryType,
                             std::uint8_t writeType, std::string& reply)
{
    const std::uint8_t secLast = static_cast<std::uint8_t>(eeprom.securityBase + eeprom.pages);
    if (type == 0x0A && data.size() == 1) {
        eeprom.access = data[0] == 0x01;
        reply = statusReply('.');
        return true;
    }
    if (type == 0x04 && data.size() == 3 && data[0] == 0x02) {
        if (!eeprom.access)
            ++accessViolations;
        reply = statusReply(eeprom.erasePage(static_cast<std::uint32_t>(data[1] << 8 | data[2])));
        return true;
    }
    if (type == queryType && data.size() == 1 && data[0] >= eeprom.securityBase && data[0] < secLast) {
        if (!eeprom.access)
            ++accessViolations;
        reply = valueReply(eeprom.security[data[0] - eeprom.securityBase]);
        return true;
    }
    if (type == writeType && data.size() == 2 && data[0] >= eeprom.securityBase && data[0] < secLast) {
        if (!eeprom.access)
            ++accessViolations;
        eeprom.security[data[0] - eeprom.securityBase] |= data[1];
        reply = statusReply('.');
        return true;
    }
    return false;
}

bool ClassicReadback::crc(std::uint8_t type, const std::vector<std::uint8_t>& data, std::string& digits) const
{
    if (type != 0x0C || data.size() != 2)
        return false;
    digits = eeprom.crcDigits(static_cast<std::uint32_t>(data[0] << 8 | data[1]));
    return true;
}

} // namespace sim
