// One Intel HEX record as text, with the right checksum, built here apart
// from the library's writer so that the tests of its readers do not lean on
// it.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace hextest {

inline std::string rec(unsigned type, unsigned address, const std::vector<unsigned>& bytes)
{
    std::vector<unsigned> all = {unsigned(bytes.size()), (address >> 8) & 0xFF, address & 0xFF, type};
    all.insert(all.end(), bytes.begin(), bytes.end());
    unsigned sum = 0;
    std::string s = ":";
    char digits[3];
    for (unsigned b : all) {
        std::snprintf(digits, sizeof digits, "%02X", b & 0xFF);
        s += digits;
        sum += b;
    }
    std::snprintf(digits, sizeof digits, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return s + digits;
}

} // namespace hextest
