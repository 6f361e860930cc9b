#include "isp/classic/baud_switch.h"

#include "isp/classic/baud_rate.h"
#include "isp/classic/classic_port.h"
#include "isp/classic/classic_state.h"
#include "isp/classic/command_templates.h"
#include "isp/classic/transmission.h"
#include "isp/core/debuglog.h"
#include "isp/core/errorcodes.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"

#include <cmath>
#include <string>

namespace qz {

namespace {

// Writes "?" and reads one character; a failed read counts as "X".
int ask(char& answer)
{
    const char q = '?';
    if (!port_write(&q, 1))
        return kErrCommunicate;
    if (!port_read(&answer, 1, 0))
        answer = 'X';
    return 1;
}

int highspeed(int dialect, double osc_mhz, const char* port, int current_baud, int clocks, int* new_baud,
              int send_reload, int user_max_baud, bool* answered)
{
    bool heard = false;
    if (answered)
        *answered = false;
    const ClassicDeviceRecord* d = selected_classic_device();
    if (!d)
        return kErrNoConnection;
    const bool d1 = dialect == kDialect1;

    if (d1)
        debug_log(kLogDebug, "getting max baudrate supported...");
    int m = classic_port_max_baud();
    debug_logf("max baudrate supported = %lu\n", static_cast<unsigned long>(m));
    if (user_max_baud < m) {
        m = user_max_baud;
        debug_logf("max baudrate limited by user to = %lu\n", static_cast<unsigned long>(m));
    }
    if (m == -1 || m <= current_baud)
        return 1;
    const int top = baud_rate_index(m);
    if (top < 0) {
        debug_log(kLogDebug, "max baudrate not found in list of supported baudrates");
        return 1;
    }
    for (int i = top; i >= 0; --i) {
        const int g = ClassicBaudRateList[static_cast<std::size_t>(i)];
        // Nothing at or below the rate in use is a switch.
        if (g <= current_baud)
            return 1;
        unsigned reload = 0;
        if (d1)
            debug_logf("calculating baudrate error for osc=%lf clocks=%d baudrate=%lu...\n", osc_mhz, clocks,
                       static_cast<unsigned long>(g));
        const float err = baud_reload_error(d->family, osc_mhz, clocks, g, &reload);
        if (d1)
            debug_logf("baud=%ld error=%f reload=%u max error=%f\n", static_cast<long>(g), err, reload,
                       static_cast<double>(kMaxBaudErrorPercent));
        if (std::fabs(err) > kMaxBaudErrorPercent || (d1 && reload >= kMaxDialect1Reload))
            continue;

        // The part may run at g already (a connect after an earlier switch).
        if (!configure_port(static_cast<unsigned>(g), 0))
            return kErrCommunicate;
        char answer = 0;
        if (!d1)
            use_short_write_1s_read_timeouts();
        const int asked = ask(answer);
        if (!d1)
            use_short_timeouts();
        if (asked != 1)
            return asked;
        if (answer == '?') {
            if (answered)
                *answered = true;
            *new_baud = g;
            return 1;
        }
        if (!send_reload)
            return 1;

        if (!configure_port(static_cast<unsigned>(current_baud), 0))
            return kErrCommunicate;
        const std::string record = baud_reload_command(*d, static_cast<std::uint16_t>(reload));
        std::string reply;
        if (half_duplex()) {
            exchange(record, 0, reply);
        } else if (port_write(record.data(), record.size()) && !d1) {
            read_more(record.size() + 1, reply);
        }
        sleep_ms(500);
        if (session().hardwareConfig == 0) {
            close_port();
            if (!open_port(port))
                return kErrCommunicate;
        }
        if (half_duplex())
            sleep_ms(1000);
        purge_port(0);
        if (!configure_port(static_cast<unsigned>(g), 0))
            return kErrCommunicate;
        const char q = '?';
        if (!port_write(&q, 1) || !port_read(&answer, 1, 0))
            return kErrCommunicate;
        if (answer != '?')
            return kErrOperationFailed;
        heard = true;
        if (answered)
            *answered = heard;
        *new_baud = g;
        return 1;
    }
    return 1;
}

} // namespace

int d1_highspeed_baud(double osc_mhz, const char* port, int current_baud, int clocks, int* new_baud,
                      int send_reload, int user_max_baud, bool* answered)
{
    return highspeed(kDialect1, osc_mhz, port, current_baud, clocks, new_baud, send_reload, user_max_baud,
                     answered);
}

int d2_highspeed_baud(double osc_mhz, const char* port, int current_baud, int clocks, int* new_baud,
                      int send_reload, int user_max_baud, bool* answered)
{
    return highspeed(kDialect2, osc_mhz, port, current_baud, clocks, new_baud, send_reload, user_max_baud,
                     answered);
}

} // namespace qz
