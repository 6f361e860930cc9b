// What the classic driver adds to the serial layer: its two extra time-out
// presets, the port's highest rate as the baud walk sees it, draining the
// receive line, and the one call that gives the layer the classic flavour.
#pragma once

namespace qz {

// Reads end after 1 s, writes after the short time-out.
int use_short_write_1s_read_timeouts();
// No time-outs: a read waits until its count came or the cancel signal.
int use_no_timeouts();

// The port's highest rate. A serial device here names no fixed maximum, so
// it is the rate such a port gets: 115200.
int classic_port_max_baud();

// Reads and drops what arrives for `ms` milliseconds.
void port_sink(int ms);

// The classic flavour of the serial layer and the driver's identity; done
// once when the library is loaded (and by tests that stand in for it).
void classic_library_loaded();

} // namespace qz
