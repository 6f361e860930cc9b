// The RST (DTR) and PSEN (RTS) lines, their sequences, break and pauses.
#include "isp/core/serialport.h"

#include "isp/core/debuglog.h"
#include "isp/core/serialflavour.h"
#include "isp/core/serialstate.h"
#include "platform/linecontrol.h"
#include "platform/sleep.h"

namespace qz {

void sleep_ms(int ms)
{
    if (ms > 0)
        platform::sleepMs(static_cast<unsigned>(ms));
}

int set_control_line(int line, int level)
{
    const bool rst = line == kLineRst;
    const bool asserted = level == kLevelAsserted;
    if (rst)
        debug_log(kLogDebug, asserted ? "RST asserted (DTR TTL = 0)" : "RST unasserted (DTR TTL = 1)");
    else
        debug_log(kLogDebug, asserted ? "PSEN asserted (RTS TTL = 0)" : "PSEN unasserted (RTS TTL = 1)");
    int error = 0;
    // Asserted means the line is set; the converter turns that into TTL 0.
    if (!platform::lineControl().setModemLine(port_fd(), rst ? platform::ModemLine::Dtr
                                                             : platform::ModemLine::Rts,
                                              asserted, &error)) {
        log_system_error(rst ? "EscapeCommFunction failed (DTR)" : "EscapeCommFunction failed (RTS)",
                         error);
        return 0;
    }
    return 1;
}

namespace {

// Sets one line, remembers its level, then sets the other line again to the
// level remembered for it.
int move_line(int line, int level)
{
    SessionRecord& s = session();
    int ok = set_control_line(line, level);
    if (line == kLineRst) {
        s.rstLevel = level;
        ok &= set_control_line(kLinePsen, s.psenLevel);
    } else {
        s.psenLevel = level;
        ok &= set_control_line(kLineRst, s.rstLevel);
    }
    return ok;
}

} // namespace

int assert_rst() { return move_line(kLineRst, kLevelAsserted); }
int release_rst() { return move_line(kLineRst, kLevelReleased); }
int assert_psen() { return move_line(kLinePsen, kLevelAsserted); }
int release_psen() { return move_line(kLinePsen, kLevelReleased); }

int enter_isp_lines()
{
    int ok = 1;
    if (serial_flavour().psenBeforeRst) {
        ok &= assert_psen();
        ok &= assert_rst();
    } else {
        ok &= assert_rst();
        ok &= assert_psen();
    }
    sleep_ms(session().t1Ms);
    return ok;
}

int release_reset_isp()
{
    const SessionRecord& s = session();
    int ok = release_rst();
    sleep_ms(s.t2Ms);
    if (s.hardwareConfig == 1) {
        debug_log(kLogDebug, "deasserting PSEN");
        ok &= release_psen();
    }
    if (serial_flavour().pauseAfterIspRelease)
        sleep_ms(350);
    return ok;
}

int release_reset_run()
{
    int ok = release_psen();
    sleep_ms(session().t2Ms);
    ok &= release_rst();
    sleep_ms(300);
    return ok;
}

int hwconfig4_sequence()
{
    const SessionRecord& s = session();
    static const unsigned char kWake[3] = {0xFF, 0xFF, 0xFF};
    sleep_ms(60);
    if (!set_baudrate(57600) || !release_rst() || !release_psen())
        return 0;
    sleep_ms(s.t1Ms);
    if (!assert_rst())
        return 0;
    sleep_ms(s.t2Ms);
    if (!port_write(kWake, sizeof kWake))
        return 0;
    sleep_ms(60);
    if (!assert_psen())
        return 0;
    sleep_ms(60);
    return 1;
}

int send_break()
{
    const int fd = port_fd();
    int error = 0;
    auto& control = platform::lineControl();
    if (!control.setBreak(fd, true, &error)) {
        log_system_error("SetCommBreak failed", error);
        return 0;
    }
    sleep_ms(266);
    if (!control.setBreak(fd, false, &error)) {
        log_system_error("ClearCommBreak failed", error);
        return 0;
    }
    debug_log(kLogDebug, "Break condition transmitted");
    return 1;
}

} // namespace qz
