#include "isp/classic/baud_rate.h"

#include <cmath>

namespace qz {

namespace {

// Half-up rounding of a positive float; false when out of the 16-bit range.
bool round_reload(float x, unsigned& r)
{
    if (!(x >= 0.00001f)) // NaN included
        return false;
    const double whole = std::floor(static_cast<double>(x));
    if (whole >= 65536.0)
        return false;
    r = static_cast<unsigned>(whole);
    if (x - static_cast<float>(r) >= 0.5f)
        ++r;
    return r < 65536;
}

} // namespace

float baud_reload_error(int family, double osc_mhz, int clocks, int baud, unsigned* reload)
{
    if (baud <= 0)
        return kUnmakeableError;
    const double f = osc_mhz * 1000000.0;
    unsigned r = 0;
    float actual = 0;
    switch (family) {
    case 0:
    case 2:
    case 3: {
        // Timer reload: the timer counts up to 65536 once per D clocks.
        const double d = clocks == 6 ? 16.0 : 32.0;
        const float x = static_cast<float>(65536.0 - f / baud / d);
        if (!round_reload(x, r))
            return kUnmakeableError;
        actual = static_cast<float>(f / ((65536.0 - r) * d));
        break;
    }
    case 4:
    case 7:
    case 8:
    case 10:
    case 11: {
        // Baud-rate generator: the rate is f / (r + 16).
        const float x = static_cast<float>(f / baud - 16.0);
        if (!round_reload(x, r))
            return kUnmakeableError;
        actual = static_cast<float>(f / (r + 16.0));
        break;
    }
    default:
        return kUnmakeableError;
    }
    if (reload)
        *reload = r;
    return static_cast<float>((1.0f - actual / static_cast<float>(baud)) * 100.0f);
}

int baud_rate_index(int baud)
{
    for (std::size_t i = 0; i < ClassicBaudRateList.size(); ++i)
        if (ClassicBaudRateList[i] == baud)
            return static_cast<int>(i);
    return -1;
}

} // namespace qz
