#include "isp/cortex/isp_connect.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "isp/core/debuglog.h"
#include "isp/cortex/devicetable.h"
#include "isp/cortex/isp_commands.h"
#include "isp/cortex/selecteddevice.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"
#include "isp/cortex/isp_line.h"
#include "isp/cortex/isp_reply.h"

namespace qz {

namespace {

const long BaudRateList[] = {9600, 19200, 38400, 57600, 115200, 230400};
constexpr int kBaudRates = sizeof BaudRateList / sizeof BaudRateList[0];
constexpr double kMaxBaudError = 3.0;

int finish_step1(int result)
{
    use_short_timeouts();
    return result;
}

// The part did not synchronise the usual way. With high speed asked, try
// the chosen high rate: a part already in command mode there answers
// "comms check". Else fall back to the connect rate.
int probe_command_mode(double oscillator_mhz, bool high_speed, long connect_baud,
                       long user_max_baud, long* baud_in_use)
{
    use_short_timeouts();
    if (!high_speed) {
        purge_port(0);
        return 0;
    }
    long rate = select_max_baudrate(oscillator_mhz, connect_baud, user_max_baud);
    if (rate == 0)
        rate = connect_baud;
    if (rate != connect_baud && !set_baudrate(rate))
        return 0;
    purge_port(0);
    char echo[kReplyLineSize];
    if (send_handshake_line(echo, sizeof echo, "comms check") && std::strncmp(echo, "comms check", 11) == 0) {
        char reply[kReplyLineSize];
        if (read_response_line(reply, sizeof reply)) {
            *baud_in_use = rate;
            return 2;
        }
    }
    if (rate != connect_baud && !set_baudrate(connect_baud))
        return 0;
    if (!send_handshake_line(echo, sizeof echo, ""))
        return 0;
    char reply[kReplyLineSize];
    if (!read_response_line(reply, sizeof reply))
        return 0;
    *baud_in_use = connect_baud;
    return 3;
}

} // namespace

double baudrate_error(double, long)
{
    // The part's fractional divider reaches every listed rate closely enough.
    return 0.0;
}

int autobaud_sync(double oscillator_mhz, bool high_speed, long connect_baud, long user_max_baud,
                  const AutobaudSettings& settings, long* baud_in_use)
{
    *baud_in_use = connect_baud;
    if (!set_comm_timeouts(settings.read_timeout_ms, settings.write_timeout_ms))
        return finish_step1(0);

    const std::uint8_t sync = selected_device().sync_char;
    std::uint8_t byte = 0;
    bool answered = false;
    for (int i = 0; i < settings.attempts; ++i) {
        if (!port_write(&sync, 1))
            return finish_step1(0);
        if (port_read(&byte, 1, 0)) {
            answered = true;
            break;
        }
    }
    if (!answered)
        return finish_step1(0);

    if (byte != sync && byte != 'S') {
        if (!port_read(&byte, 1, 0))
            return finish_step1(0);
    }
    if (byte == sync) {
        std::uint8_t next = 0;
        const bool got = port_read(&next, 1, 0) != 0;
        if (got && next == 'S')
            return finish_step1(1);
        if (!got && !high_speed) {
            use_short_timeouts();
            abort_command();
            return 2;
        }
        return probe_command_mode(oscillator_mhz, high_speed, connect_baud, user_max_baud,
                                  baud_in_use);
    }
    if (byte == 'S')
        return finish_step1(1);
    return probe_command_mode(oscillator_mhz, high_speed, connect_baud, user_max_baud, baud_in_use);
}

int synchronize(double oscillator_mhz)
{
    char rest[kReplyLineSize];
    if (!read_response_line(rest + 1, sizeof rest - 1))
        return -3;
    rest[0] = 'S';
    if (std::strcmp(rest, "Synchronized") != 0)
        return -3;

    char echo[kReplyLineSize];
    if (!send_handshake_line(echo, sizeof echo, "Synchronized"))
        return -2;
    if (std::strcmp(echo, "Synchronized") != 0)
        return -3;

    char reply[kReplyLineSize];
    if (!read_response_line(reply, sizeof reply))
        return -3;
    const bool accepted = std::strcmp(reply, "OK") == 0 || std::strlen(reply) < 2 ||
                          std::strcmp(reply + 1, "OK") == 0;
    if (!accepted)
        return -3;
    return send_oscillator_frequency(oscillator_mhz);
}

int send_oscillator_frequency(double oscillator_mhz)
{
    char line[32];
    const long khz = static_cast<long>(oscillator_mhz * 1000.0);
    const int n = std::snprintf(line, sizeof line, "%ld%s", khz, line_terminator());
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof line)
        return -18;
    const std::size_t length = static_cast<std::size_t>(n);

    char echo[32] = {};
    // The time-out bounds the whole echo, also when it comes byte by byte.
    const ReadDeadline deadline;
    if (session().halfDuplex == 0) {
        if (!port_write(line, length))
            return -2;
        if (!port_read_within(echo, length, 0, deadline))
            return -18;
    } else {
        for (std::size_t i = 0; i < length; ++i) {
            if (!port_write(line + i, 1))
                return -2;
            if (!port_read_within(echo + i, 1, 0, deadline))
                return -18;
        }
    }
    if (length >= 2 && echo[length - 2] == '\r' && echo[length - 1] != '\n') {
        debug_log(kLogDebug, "Line feed missing in previous response, pushing character back to rx buffer");
        if (!push_back_byte(static_cast<std::uint8_t>(echo[length - 1])))
            debug_log(kLogDebug, "Warning: failed to push byte back (push back buffer full)");
        echo[length - 1] = '\n';
    }
    if (std::memcmp(echo, line, length) != 0) {
        debug_log(kLogDebug, "Failed to get osc freq back");
        return -18;
    }
    char reply[kReplyLineSize];
    if (!read_response_line(reply, sizeof reply) || response_code(reply) != kReplyOk)
        return -18;
    return 1;
}

long select_max_baudrate(double oscillator_mhz, long connect_baud, long user_max_baud)
{
    debug_log(kLogDebug, "getting max baudrate supported...");
    long max = port_max_baud();
    debug_logf("max baudrate supported = %lu\n", static_cast<unsigned long>(max));
    if (user_max_baud < max) {
        max = user_max_baud;
        debug_logf("max baudrate limited by user to = %lu\n", static_cast<unsigned long>(max));
    }
    if (max == -1 || connect_baud >= max)
        return 0;
    int index = -1;
    for (int i = 0; i < kBaudRates; ++i) {
        if (BaudRateList[i] == max)
            index = i;
    }
    if (index < 0) {
        debug_log(kLogDebug, "max baudrate not found in list of supported baudrates");
        return 0;
    }
    for (int i = index; i >= 0; --i) {
        const long rate = BaudRateList[i];
        if (rate <= connect_baud)
            return 0;
        debug_logf("calculating baudrate error for osc=%lf baudrate=%lu...\n", oscillator_mhz,
                   static_cast<unsigned long>(rate));
        const double error = baudrate_error(oscillator_mhz, rate);
        const unsigned divisor =
            static_cast<unsigned>(std::lround(oscillator_mhz * 1e6 / (16.0 * static_cast<double>(rate))));
        debug_logf("baud=%ld error=%f divisor=%u max error=%f\n", rate, error, divisor, kMaxBaudError);
        if (std::fabs(error) <= kMaxBaudError)
            return rate;
    }
    return 0;
}

int switch_baudrate(double oscillator_mhz, long connect_baud, long user_max_baud, long* baud_in_use)
{
    const long rate = select_max_baudrate(oscillator_mhz, connect_baud, user_max_baud);
    if (rate == 0)
        return 1;
    purge_port(0);
    char reply[kReplyLineSize];
    const int sent = command_reply(reply, sizeof reply, "B %ld 1", rate);
    if (sent != 1)
        return sent;
    if (response_code(reply) != reply_return_code(0))
        return -18;
    if (!set_baudrate(rate))
        return -2;
    sleep_ms(500);
    *baud_in_use = rate;
    return 1;
}

} // namespace qz
