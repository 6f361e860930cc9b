// The reload value that makes a baud rate from a part's clock, its error,
// and the rates the high-speed switch walks.
#pragma once

#include <array>

namespace qz {

constexpr std::array<int, 13> ClassicBaudRateList = {1200,  1800,  2400,  4800,  7200,   9600,  14400,
                                                     19200, 38400, 56000, 57600, 115200, 128000};

constexpr float kMaxBaudErrorPercent = 3.0f;
// Dialect 1 timer reloads at or above this make no usable rate.
constexpr unsigned kMaxDialect1Reload = 65520;
// What an unmakeable rate reports as its error.
constexpr float kUnmakeableError = 1e6f;

// The error in percent of the rate the family's baud generator makes at
// the reload value closest to `baud`, which lands in *reload; 1e6 when the
// rate cannot be made (or the family has no generator the driver can set).
float baud_reload_error(int family, double osc_mhz, int clocks, int baud, unsigned* reload);

// Position of a rate in ClassicBaudRateList, or -1.
int baud_rate_index(int baud);

} // namespace qz
