#include "isp/classic/classic_connect.h"

#include "isp/classic/autobaud.h"
#include "isp/classic/baud_switch.h"
#include "isp/classic/classic_state.h"
#include "isp/classic/connect_commands.h"
#include "isp/core/debuglog.h"
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace qz {

std::mutex& classic_result_lock()
{
    static std::mutex lock;
    return lock;
}

namespace {

IspResult* report(int code, const char* detail = nullptr)
{
    std::lock_guard<std::mutex> hold(classic_result_lock());
    return set_result(code, detail);
}

IspResult* close_and_report(int code, const char* detail = nullptr)
{
    close_port();
    return report(code, detail);
}

// The texts of steps 9 and 10 for the codes that end the connect.
struct StepTexts {
    const char* password;
    const char* i2c;
    const char* security;
    const char* failed;
};

// Maps the result of the last connect step; nullptr when it goes on.
IspResult* end_on_failure(int result, const StepTexts& t)
{
    switch (result) {
    case kEnginePasswordNeeded: return close_and_report(kErrOperationFailed, t.password);
    case kEngineI2cError: return close_and_report(kErrOperationFailed, t.i2c);
    case kEngineSecurityViolation: return close_and_report(kErrOperationFailed, t.security);
    case kErrOperationFailed: return close_and_report(kErrOperationFailed, t.failed);
    case kErrCommunicate: return close_and_report(kErrCommunicate, "(transmit/receive)");
    default: return nullptr;
    }
}

const StepTexts kI2cTexts = {
    "(please unlock the device by supplying a password)",
    "(sending I2C address - I2C Communication error - Possible causes includes open connections, shorted bus "
    "wires, missing pullup resistors, or incorrect I2C slave address)",
    "(Security violation in device)",
    "(Try changing the I2C address)",
};

const StepTexts kOscillatorTexts = {
    "(please unlock the device by supplying a password)",
    "(sending oscillator frequency - I2C Communication error - Possible causes includes open connections, "
    "shorted bus wires, missing pullup resistors, or incorrect I2C slave address)",
    "(Security violation in device)",
    "(Try adjusting the oscillator frequency)",
};

int highspeed_switch(const ClassicDeviceRecord& d, const ConnectOptions& o, const char* port, int* new_baud,
                     bool* answered)
{
    if (record_dialect(d) == kDialect2)
        return d2_highspeed_baud(o.oscillator_mhz, port, o.baud_rate, o.clocks, new_baud, 1, o.max_baud_rate,
                                 answered);
    return d1_highspeed_baud(o.oscillator_mhz, port, o.baud_rate, o.clocks, new_baud, 1, o.max_baud_rate,
                             answered);
}

// Step 8: the ICP interface's version and the select command; returns the
// select's result, or the report that ends the connect.
IspResult* connect_icp(const ClassicDeviceRecord& d, int& last)
{
    ClassicState& st = classic_state();
    int major = 1, minor = 0;
    if (read_icp_version(major, minor) != 1)
        return close_and_report(kErrCommunicate, "(transmit/receive)");
    st.icpMajor = major;
    st.icpMinor = minor;
    char detail[160];
    if (major < 1 && major != 255) {
        std::snprintf(detail, sizeof detail,
                      "(Your ICP interface firmware is not compatible [protocol %d.%d]. Please upgrade your ICP "
                      "interface)",
                      major, minor);
        return close_and_report(kErrOperationFailed, detail);
    }
    if (major > 2 && major != 255) {
        std::snprintf(detail, sizeof detail,
                      "(Your ICP interface firmware is not compatible [protocol %d.%d]. Please upgrade your copy "
                      "of Quasmerite)",
                      major, minor);
        return close_and_report(kErrOperationFailed, detail);
    }
    if (major == 255)
        debug_log(kLogDebug, "Using ICP interface with unknown protocol version");
    else
        debug_logf("Using ICP interface with protocol version %d.%d\n", major, minor);
    last = icp_select(d, major, st.icpInterface);
    return nullptr;
}

} // namespace

IspResult* classic_select_device(int number)
{
    const int index = classic_device_index(number);
    if (index < 0)
        return set_result(kErrInvalidValue, "");
    classic_state().deviceIndex = index;
    return set_success();
}

IspResult* classic_connect(const ConnectOptions* options, int size)
{
    if (size != QZ_CONNECT_OPTIONS_SIZE)
        return report(kErrNotSupported, "Only COM connections supported.");
    if (!options)
        return report(kErrInvalidValue, "(connect options)");
    const ConnectOptions& o = *options;
    if (o.high_speed) {
        if (o.clocks != 6 && o.clocks != 12 && o.clocks != 0)
            return report(kErrInvalidValue, "Clocks must be 6, 12 or 0");
        // NaN, infinities and rates at or below 0 give no baud-rate reload.
        if (!(std::isfinite(o.oscillator_mhz) && o.oscillator_mhz > 0.0))
            return report(kErrInvalidValue, "Oscillator frequency must be valid to use high speed communications mode");
    }

    SessionRecord& s = session();
    ClassicState& st = classic_state();
    s.halfDuplex = o.half_duplex;
    s.hardwareConfig = o.hardware_config;
    s.t1Ms = o.t1_ms;
    s.t2Ms = o.t2_ms;
    s.oscillatorMHz = o.oscillator_mhz;
    st.useIcp = o.use_icp;
    st.icpInterface = o.icp_interface;

    const int wanted = classic_device_index(o.device_id);
    log_connect_header(o, wanted >= 0 ? classic_device_at(wanted)->name : nullptr);

    {
        std::lock_guard<std::mutex> hold(classic_result_lock());
        const IspResult* selected = classic_select_device(o.device_id);
        if (selected->status != 1) {
            close_port();
            return isp_result();
        }
    }
    const ClassicDeviceRecord& d = *selected_classic_device();
    const bool d1 = record_dialect(d) == kDialect1;
    // A part that takes the oscillator in whole MHz cannot take NaN or an
    // infinity; a negative frequency is not sent at all.
    const bool sends_oscillator = d.send_oscillator && d1 && !(o.oscillator_mhz < 0.0);
    if (sends_oscillator && !std::isfinite(o.oscillator_mhz))
        return report(kErrInvalidValue, "Oscillator frequency must be valid");

    // A name that fills its whole field has no end within it.
    const std::size_t nameLength = strnlen(o.port_name, sizeof o.port_name);
    if (nameLength == sizeof o.port_name)
        return report(kErrInvalidValue, "(port name too long)");
    const std::string port(o.port_name, nameLength);

    if (!open_port(port.c_str()))
        return report(kErrCommunicate, "(in use)");
    if (o.baud_rate <= 0 || !configure_port(static_cast<unsigned>(o.baud_rate), 1))
        return close_and_report(kErrCommunicate, "(configuration)");

    int baud = o.baud_rate;
    const int synced = classic_autobaud();
    if (o.high_speed && d.high_speed_allowed) {
        if (synced == kErrCommunicate)
            return close_and_report(kErrCommunicate, kAutobaudHelp);
        if (synced == kErrCancelled)
            return close_and_report(kErrCancelled);
        int newBaud = baud;
        bool answered = false;
        const int switched = highspeed_switch(d, o, port.c_str(), &newBaud, &answered);
        if (switched < 0)
            return report(switched, kAutobaudHelp); // the port stays open
        // A part that neither synchronised nor answered at any rate is not
        // connected, however quietly the switch found nothing to do.
        if (synced != 1 && !answered)
            return close_and_report(synced == kErrConnectBaud ? kErrConnectBaud : kErrCommunicate, kAutobaudHelp);
        baud = newBaud;
    } else if (synced == kErrCancelled) {
        return close_and_report(kErrCancelled);
    } else if (synced != 1) {
        return close_and_report(synced == kErrConnectBaud ? kErrConnectBaud : kErrCommunicate, kAutobaudHelp);
    }

    int last = 1;
    if (st.useIcp) {
        if (IspResult* ended = connect_icp(d, last))
            return ended;
    }
    if (d.use_i2c_address && d1)
        last = send_i2c_address(d, o.i2c_address);
    if (IspResult* ended = end_on_failure(last, kI2cTexts))
        return ended;
    if (sends_oscillator)
        last = send_oscillator(d, o.oscillator_mhz);
    if (IspResult* ended = end_on_failure(last, kOscillatorTexts))
        return ended;

    std::lock_guard<std::mutex> hold(classic_result_lock());
    set_result_be(0, static_cast<std::uint32_t>(baud), 4);
    return set_success();
}

IspResult* classic_disconnect()
{
    if (!port_is_open())
        return set_result(kErrNoConnection);
    close_port();
    return set_success();
}

IspResult* classic_cancel_autobaud_export()
{
    const int r = classic_cancel_autobaud();
    std::lock_guard<std::mutex> hold(classic_result_lock());
    if (r == kErrNoConnection)
        return set_result(kErrNoConnection);
    if (r != 1)
        return set_result(kErrGeneral, "(cancelling autobaud)");
    return set_success();
}

} // namespace qz
