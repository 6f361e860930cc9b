// The boot ROM's connect handshake: autobaud, synchronisation, the
// oscillator frequency and the optional switch to a higher baud rate.
#pragma once

namespace qz {

struct AutobaudSettings {
    int read_timeout_ms;
    int write_timeout_ms;
    int attempts;
};

// Step 1: sends the sync character until the part answers.
//   0  no usable answer (the port stays open)
//   1  the part started its "Synchronized" line: go on with synchronize()
//   2  the part is in command mode already, at *baud_in_use
//   3  in command mode at the connect baud, after a failed high-speed probe
// *baud_in_use starts as connect_baud.
int autobaud_sync(double oscillator_mhz, bool high_speed, long connect_baud, long user_max_baud,
                  const AutobaudSettings& settings, long* baud_in_use);

// Step 2, after autobaud_sync gave 1: completes "Synchronized" and sends the
// oscillator frequency. 1, -2 (transmit), -3 (synchronisation failed) or
// the result of send_oscillator_frequency().
int synchronize(double oscillator_mhz);

// Sends the oscillator frequency in kHz. 1, -2 or -18.
int send_oscillator_frequency(double oscillator_mhz);

// The highest rate of BaudRateList above the connect baud that the port and
// the user allow, or 0 when the rate stays.
long select_max_baudrate(double oscillator_mhz, long connect_baud, long user_max_baud);

// Switches the part and the port to select_max_baudrate()'s rate ("B").
// 1 (with *baud_in_use the new rate when it changed), -2 or -18.
int switch_baudrate(double oscillator_mhz, long connect_baud, long user_max_baud, long* baud_in_use);

// The error of a rate for the oscillator, in percent.
double baudrate_error(double oscillator_mhz, long baud);

} // namespace qz
