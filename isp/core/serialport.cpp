// Port life, configuration, baud rate, purge and the time-out presets.
#include "isp/core/serialport.h"

#include "isp/core/debuglog.h"
#include "isp/core/serialflavour.h"
#include "isp/core/serialstate.h"
#include "platform/serialline.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace qz {

void log_system_error(const char* what, int error)
{
    SessionRecord& s = session();
    std::snprintf(s.systemMessage, sizeof s.systemMessage, "%s",
                  platform::serialErrorText(error).c_str());
    debug_logf("%s - %s (%8.8lX)\n", what, s.systemMessage,
               static_cast<unsigned long>(static_cast<unsigned>(error)));
}

std::mutex& cancel_signal_lock()
{
    static std::mutex lock;
    return lock;
}

namespace {

// The events of the original design: only the cancel signal is needed here,
// reads and writes wait on the descriptor itself.
bool make_events()
{
    int error = 0;
    int fd = platform::cancelSignalCreate(&error);
    if (fd < 0) {
        log_system_error("CreateEvent failed", error);
        return false;
    }
    std::lock_guard<std::mutex> hold(cancel_signal_lock());
    set_cancel_fd(fd);
    return true;
}

void close_events()
{
    SessionRecord& s = session();
    {
        std::lock_guard<std::mutex> hold(cancel_signal_lock());
        platform::cancelSignalClose(cancel_fd());
        set_cancel_fd(kNoHandle);
    }
    s.readEvent = kNoHandle;
    s.writeEvent = kNoHandle;
}

void reset_port_state()
{
    SessionRecord& s = session();
    s.pushBackPos = 0;
    s.skipLineReset = 0;
    s.lateReplyOwed = 0;
    s.echoMayBeOff = 0;
}

} // namespace

int open_port(const char* name)
{
    if (port_is_open())
        close_port();
    if (!name) {
        debug_logf("failed to open %s\n", "(no port name)");
        return 0;
    }
    const std::string path = platform::serialDevicePath(name);
    int error = 0;
    int fd = platform::serialOpen(path, &error);
    if (fd < 0) {
        debug_logf(serial_flavour().classicLogLines ? "failed to open com %s\n" : "failed to open %s\n",
                   path.c_str());
        log_system_error("open failed", error);
        return 0;
    }
    // An event left over from an adoption would leak otherwise.
    close_events();
    if (!make_events()) {
        platform::serialClose(fd);
        return 0;
    }
    set_port_fd(fd);
    reset_port_state();
    if (serial_flavour().classicLogLines)
        debug_logf("comport=%d\n", fd);
    debug_logf("opened com %s\n", path.c_str());
    return 1;
}

int configure_port(unsigned baud, int entering)
{
    SessionRecord& s = session();
    const int hw = s.hardwareConfig;
    debug_logf("hwconfig=%d\n", hw);
    // DTR and RTS need no driver setting here: they are raised when the
    // device opens and moved only by the line sequences below.
    debug_log(kLogDebug, hw >= 1 && hw <= 3 ? "DTR/RTS disabled" : "DTR/RTS enabled");
    debug_logf("attempting to use baudrate %ld\n", static_cast<long>(baud));
    int error = 0;
    if (!platform::serialConfigureRaw(port_fd(), baud, &error)) {
        debug_log(kLogDebug, "SetCommState failed");
        log_system_error("SetCommState failed", error);
        return 0;
    }
    if (!use_short_timeouts())
        return 0;
    debug_log(kLogDebug, "comport configuration completed.");

    const bool discardFirst = serial_flavour().discardBeforeLines;
    if (discardFirst) {
        // What the part sends while the lines move stays for the reader.
        purge_port(0);
        purge_port(1);
        debug_log(kLogDebug, "DTR and RTS deasserted");
    }
    release_psen();
    release_rst();
    if (entering) {
        if (hw == 1 || hw == 2) {
            enter_isp_lines();
            release_reset_isp();
        } else if (hw == 4) {
            if (!hwconfig4_sequence() || !set_baudrate(baud))
                return 0;
        }
    } else if (hw == 2) {
        assert_psen();
    }
    if (hw == 3)
        enter_isp_lines();

    if (!discardFirst) {
        purge_port(0);
        purge_port(1);
    }
    return 1;
}

void close_port()
{
    SessionRecord& s = session();
    const bool skip = s.skipLineReset && serial_flavour().honourSkipFlag;
    if (!skip && (s.hardwareConfig == 1 || s.hardwareConfig == 2)) {
        enter_isp_lines();
        release_reset_run();
    }
    s.skipLineReset = 0;
    const int fd = port_fd();
    if (fd == kNoHandle) {
        close_events();
        debug_log(kLogDebug, "Comport already closed - ignoring close request");
        return;
    }
    close_events();
    set_port_fd(kNoHandle);
    platform::serialClose(fd);
    debug_log(kLogDebug, "Comport closed");
}

void take_over_port(int handle, unsigned baud)
{
    // The descriptor that was held before stays open: it may belong to the
    // library that hands this one over.
    close_events();
    if (handle < 0) {
        // Released (the port went to another library): it is forgotten, and
        // no cancel signal is kept for a port that is not there; the next
        // open or adoption makes one.
        set_port_fd(kNoHandle);
        reset_port_state();
        debug_log(kLogDebug, "taken over comport");
        return;
    }
    set_port_fd(handle);
    if (!make_events())
        return;
    // A descriptor opened blocking would let a read on a silent line wait
    // past every time-out.
    int error = 0;
    if (port_is_open() && !platform::serialAdopt(handle, &error))
        log_system_error("taking over comport failed", error);
    reset_port_state();
    debug_log(kLogDebug, "taken over comport");
    // The time-outs belonged to the handle where it came from; here they are
    // this library's, and a fresh state has none that wait at all.
    if (port_is_open())
        use_short_timeouts();
    if (baud == 0)
        return;
    debug_logf("attempting to use baudrate %ld\n", static_cast<long>(baud));
    if (!platform::serialSetSpeed(port_fd(), baud, &error)) {
        debug_log(kLogDebug, "SetCommState failed");
        log_system_error("SetCommState failed", error);
    }
}

int get_port_handle()
{
    return port_fd();
}

int port_is_open()
{
    return port_fd() != kNoHandle ? 1 : 0;
}

void skip_close_line_sequence()
{
    session().skipLineReset = 1;
}

int purge_port(int which)
{
    if (which != 0 && which != 1)
        return 0;
    if (which == 0)
        session().pushBackPos = 0;
    int error = 0;
    const auto queue = which == 1 ? platform::SerialQueue::Transmit : platform::SerialQueue::Receive;
    if (!platform::serialPurge(port_fd(), queue, &error)) {
        debug_log(kLogDebug, "PurgeComm error");
        log_system_error("PurgeComm error", error);
        return 0;
    }
    debug_log(kLogDebug, which == 1 ? "COM Port TX flushed" : "COM Port RX flushed");
    return 1;
}

int set_baudrate(unsigned baud)
{
    debug_logf("attempting to use baudrate %ld\n", static_cast<long>(baud));
    int error = 0;
    if (!platform::serialSetSpeed(port_fd(), baud, &error)) {
        debug_log(kLogDebug, "SetCommState failed");
        log_system_error("SetCommState failed", error);
        return 0;
    }
    purge_port(0);
    purge_port(1);
    return 1;
}

unsigned port_max_baud()
{
    return kPortMaxBaud;
}

namespace {

std::int32_t clamp_ms(std::int64_t ms, std::int32_t minimum)
{
    return static_cast<std::int32_t>(std::min<std::int64_t>(std::max<std::int64_t>(ms, minimum),
                                                             0x7fffffff));
}

// Negative totals other than the unlimited one are taken as "no waiting".
std::int32_t sane_total(std::int32_t ms)
{
    return ms < 0 && ms != kWaitWithoutLimit ? 0 : ms;
}

// Sets both totals to `ms`, logging which of the two it was.
int use_timeouts(std::int32_t ms, const char* failed_line, const char* set_line)
{
    if (!set_comm_timeouts(ms, ms)) {
        debug_log(kLogDebug, failed_line);
        return 0;
    }
    debug_log(kLogDebug, set_line);
    return 1;
}

} // namespace

void set_short_timeout(std::int64_t ms)
{
    SessionRecord& s = session();
    s.shortTimeoutMs = clamp_ms(ms, kMinShortTimeoutMs);
    debug_logf("Short timeouts set to %lu milliseconds\n", static_cast<unsigned long>(s.shortTimeoutMs));
    if (port_is_open())
        use_short_timeouts();
}

void set_long_timeout(std::int64_t ms)
{
    SessionRecord& s = session();
    s.longTimeoutMs = clamp_ms(ms, kMinLongTimeoutMs);
    debug_logf("Long timeouts set to %lu milliseconds\n", static_cast<unsigned long>(s.longTimeoutMs));
}

void set_default_timeouts()
{
    set_short_timeout(kDefaultShortTimeoutMs);
    set_long_timeout(kDefaultLongTimeoutMs);
}

int set_comm_timeouts(std::int32_t read_ms, std::int32_t write_ms)
{
    // Like the port settings they stand for, they need a port to take them.
    if (!port_is_open())
        return 0;
    SessionRecord& s = session();
    s.readTotalTimeoutMs = sane_total(read_ms);
    s.writeTotalTimeoutMs = sane_total(write_ms);
    return 1;
}

void get_comm_timeouts(std::int32_t* read_ms, std::int32_t* write_ms)
{
    const SessionRecord& s = session();
    if (read_ms)
        *read_ms = s.readTotalTimeoutMs;
    if (write_ms)
        *write_ms = s.writeTotalTimeoutMs;
}

int use_short_timeouts()
{
    return use_timeouts(session().shortTimeoutMs, "SetCommTimeouts failed (short)", "timeouts set to short");
}

int use_long_timeouts()
{
    return use_timeouts(session().longTimeoutMs, "SetCommTimeouts failed (long)", "timeouts set to long");
}

} // namespace qz
