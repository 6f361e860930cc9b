// The high-speed switch: after autobaud, the part and the port move to the
// highest rate of ClassicBaudRateList (up to the port's and the user's
// maximum) that the part's clock makes within 3 %.
#pragma once

namespace qz {

// 1 stayed or switched (*new_baud is written on a switch, or when the part
// already answers at the new rate), -2 port failure, -18 the part does not
// answer at the new rate. *answered (when given) tells whether the part
// answered "?" at some rate, which shows it is listening.
int d1_highspeed_baud(double osc_mhz, const char* port, int current_baud, int clocks, int* new_baud,
                      int send_reload, int user_max_baud, bool* answered = nullptr);
int d2_highspeed_baud(double osc_mhz, const char* port, int current_baud, int clocks, int* new_baud,
                      int send_reload, int user_max_baud, bool* answered = nullptr);

} // namespace qz
