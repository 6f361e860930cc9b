// The serial-port layer of the ISP libraries: one port per process, raw 8N1,
// whose DTR and RTS lines drive the part's reset (RST) and ISP-entry (PSEN)
// pins. Its state lives in the driver state (SessionRecord). Functions
// return 1 for success and 0 for failure unless said otherwise; every step
// writes a line to the diagnostic log.
//
// The port handle is the serial device's file descriptor (-1 when none).
//
// Time-outs are totals in milliseconds: a read or write ends when its count
// is reached or its total has passed. A total of 0 means "no waiting": only
// what the line holds at once (a silent line never blocks). kWaitWithoutLimit
// waits until the count is reached; a read then still ends on cancel_receive.
// Only a caller that can cancel the wait may ask for it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace qz {

constexpr std::int32_t kWaitWithoutLimit = -1;

constexpr std::int32_t kMinShortTimeoutMs = 4000;
constexpr std::int32_t kMinLongTimeoutMs = 15000;
constexpr unsigned kPortMaxBaud = 230400;

// Control lines and their levels: level 0 is asserted (the line is set),
// 1 released.
enum ControlLine : int { kLineRst = 0 /* DTR */, kLinePsen = 1 /* RTS */ };
constexpr int kLevelAsserted = 0;
constexpr int kLevelReleased = 1;

// Port life.
// A name that starts with '/' is the device path; any other name is looked
// up under /dev/ ("ttyUSB0"). An open port is closed first.
int open_port(const char* name);
int configure_port(unsigned baud, int entering);
void close_port();
void take_over_port(int handle, unsigned baud);
int get_port_handle();
int port_is_open();
void skip_close_line_sequence();
// which: 1 the transmit queue, 0 the receive queue and the push-back buffer.
int purge_port(int which);

// Time-outs.
void set_short_timeout(std::int64_t ms);
void set_long_timeout(std::int64_t ms);
void set_default_timeouts();
int set_comm_timeouts(std::int32_t read_ms, std::int32_t write_ms);
void get_comm_timeouts(std::int32_t* read_ms, std::int32_t* write_ms);
int use_short_timeouts();
int use_long_timeouts();

// Transfer.
int port_write(const void* data, std::size_t count);
// Exactly `count` bytes (pushed-back ones first) within the read total.
int port_read(void* buffer, std::size_t count, int quiet);
// A read made of many small reads (a reply line, an echo) ends within the
// read total in force when it began, not a fresh total per byte.
class ReadDeadline {
public:
    ReadDeadline();
    // Milliseconds left: kWaitWithoutLimit without a limit, 0 once passed.
    std::int32_t remaining_ms() const;

private:
    bool unlimited_;
    std::chrono::steady_clock::time_point end_;
};
// Exactly `count` bytes (pushed-back ones first) before the deadline.
int port_read_within(void* buffer, std::size_t count, int quiet, const ReadDeadline& deadline);
// Up to `count` bytes: whatever came within the read total, 0 included. A
// cancelled receive fails, yet *received still tells what reached the buffer.
int port_receive(void* buffer, std::size_t count, unsigned* received);
// Ends a waiting port_read or port_receive; safe from any thread.
int cancel_receive();
// Bytes come out last-in first-out; 0 when the 32 places are taken.
int push_back_byte(unsigned char byte);
int send_break();
// Changes only the rate: the control lines stay as they are.
int set_baudrate(unsigned baud);
unsigned port_max_baud();
// The one pause primitive; 0 or less does not pause.
void sleep_ms(int ms);

// Control lines.
int set_control_line(int line, int level);
int assert_rst();
int release_rst();
int assert_psen();
int release_psen();
int enter_isp_lines();
int release_reset_isp();
int release_reset_run();
int hwconfig4_sequence();

} // namespace qz
