#include "isp/cortex/ops_session.h"

#include <cstdio>
#include <cstring>

#include "isp/core/debuglog.h"
#include "isp/cortex/deviceselect.h"
#include "isp/cortex/devicetable.h"
#include "isp/core/errorcodes.h"
#include "isp/cortex/isp_commands.h"
#include "isp/cortex/isp_connect.h"
#include "isp/cortex/isp_reply.h"
#include "isp/core/ops_common.h"
#include "isp/cortex/ramroutines.h"
#include "isp/core/result.h"
#include "isp/cortex/selecteddevice.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"

namespace qz {

namespace {

const char kAutobaudStep1Detail[] = " Failed to autobaud - step 1. See help/autobaud.html";

bool has_mapped_vectors()
{
    const CortexDeviceRecord& d = selected_device();
    return d.map_when != 0 && d.vector_map != VectorMapKind::None;
}

// Puts a text result of the engine into the IspResult with status 1.
IspResult* text_success(const char* text)
{
    IspResult* r = isp_result();
    std::snprintf(r->text, sizeof r->text, "%s", text);
    return set_success();
}

// A boot ROM query whose answer is the result's text ("<unknown>" while
// none came).
template <std::size_t Capacity>
IspResult* text_query(int (*query)(char*, std::size_t), const char* words)
{
    std::snprintf(isp_result()->text, sizeof isp_result()->text, "%s", "<unknown>");
    if (!require_port())
        return isp_result();
    char text[Capacity] = {};
    const int r = query(text, sizeof text);
    if (r != 1)
        return report_engine_failure(r, words);
    return text_success(text);
}

} // namespace

IspResult* op_connect(const ConnectOptions* options, int size)
{
    debug_log(kLogDebug, "qz_connect started");
    if (options == nullptr || size != QZ_CONNECT_OPTIONS_SIZE)
        return set_result(kErrNotSupported, "Only COM connections supported.");
    // A port name that fills its whole field has no end: cutting it would
    // open some other device.
    if (strnlen(options->port_name, sizeof options->port_name) == sizeof options->port_name)
        return set_result(kErrInvalidValue, "(port name too long)");
    ConnectOptions o;
    std::memcpy(&o, options, sizeof o);
    o.flash_loader_path[sizeof o.flash_loader_path - 1] = '\0';
    // The oscillator goes to the part in whole kHz, and to a boot loader
    // update as 32 bits: NaN, infinities, negative rates and rates past that
    // range have no such value.
    const bool oscillator_fits = o.oscillator_mhz >= 0.0 && o.oscillator_mhz * 1000.0 < 4294967296.0;
    if (o.high_speed != 0 && !(oscillator_fits && o.oscillator_mhz > 0.0))
        return set_result(kErrInvalidValue,
                          "Oscillator frequency must be valid to use high speed communications mode");
    if (!oscillator_fits)
        return set_result(kErrInvalidValue, "Oscillator frequency must be valid");

    SessionRecord& s = session();
    s.halfDuplex = o.half_duplex;
    s.hardwareConfig = o.hardware_config;
    s.t1Ms = o.t1_ms;
    s.t2Ms = o.t2_ms;
    s.oscillatorMHz = o.oscillator_mhz;
    const CortexDeviceRecord* named = find_cortex_device(o.device_id);
    log_connect_header(o, named != nullptr ? named->name : nullptr);

    IspResult* selected = select_device(o.device_id, static_cast<unsigned>(o.flash_bank));
    if (selected->status != QZ_STATUS_SUCCESS)
        return selected;

    if (!open_port(o.port_name))
        return set_result(kErrCommunicate, "(in use)");
    if (!configure_port(static_cast<unsigned>(o.baud_rate), 1)) {
        close_port();
        return set_result(kErrCommunicate, "(configuration)");
    }

    const bool high_speed = o.high_speed != 0;
    const AutobaudSettings autobaud{s.autobaudReadTimeoutMs, s.autobaudWriteTimeoutMs, s.autobaudAttempts};
    long baud = o.baud_rate;
    const int step1 = autobaud_sync(o.oscillator_mhz, high_speed, o.baud_rate, o.max_baud_rate,
                                    autobaud, &baud);
    if (step1 == 0) {
        close_port();
        return set_result(kErrOperationFailed, kAutobaudStep1Detail);
    }
    if (step1 == 1) {
        const int step2 = synchronize(o.oscillator_mhz);
        if (step2 == -2) {
            close_port();
            return set_result(kErrCommunicate, "(transmit/receive)");
        }
        if (step2 == -3) {
            close_port();
            return set_result(kErrConnectBaud, "(failed to autobaud - step 2)");
        }
        // A part that did not take the oscillator frequency is not usable.
        if (step2 != 1) {
            close_port();
            return set_result(kErrOperationFailed, "(failed to autobaud - oscillator frequency)");
        }
    }
    if (step1 != 2 && high_speed && selected_device().high_speed_allowed) {
        const int r = switch_baudrate(o.oscillator_mhz, o.baud_rate, o.max_baud_rate, &baud);
        if (r < 0)
            return set_result(r);
    }
    put_result_address(0, static_cast<std::uint32_t>(baud), 4);
    if (has_mapped_vectors()) {
        const int r = run_vector_map(1);
        if (r != 1)
            return set_result(r, "(mapping vectors)");
    }
    debug_log(kLogDebug, "qz_connect successful");
    return set_success();
}

IspResult* op_disconnect()
{
    if (!require_port())
        return isp_result();
    if (has_mapped_vectors())
        run_vector_map(0);
    debug_log(kLogDebug, "qz_disconnect - closing comport");
    close_port();
    return set_success();
}

IspResult* op_reset(int skip_line_reset, unsigned address, unsigned flags)
{
    if (!selected_device().go_allowed)
        return set_result(kErrNotSupported);
    if (!require_port())
        return isp_result();
    const int r = (flags & 2u) != 0 ? run_vector_table_start(address)
                                    : go_for_reset(address, (flags & 1u) != 0);
    if (r != 1)
        return report_engine_failure(r, "go command");
    if (flags > 0xFFFFu)
        sleep_ms(static_cast<int>(flags >> 16));
    if (skip_line_reset == 1)
        skip_close_line_sequence();
    return set_success();
}

IspResult* op_read_signature()
{
    if (!require_port())
        return isp_result();
    char id[kReplyLineSize] = {};
    int r = -18;
    for (int i = 0; i < kDeviceTries && r != 1; ++i)
        r = read_part_id(id, sizeof id);
    if (r == kEngineProtected)
        return set_result(kErrOperationFailed, "(reading sigature - security violation)");
    if (r != 1)
        return report_engine_failure(r, "reading sigature");
    return text_success(id);
}

IspResult* op_bootloader_version()
{
    return text_query<2 * kReplyLineSize + 2>(read_boot_code_version, "bootloader version");
}

IspResult* op_serial_number()
{
    return text_query<4 * kReplyLineSize + 4>(read_serial_number, "serial number");
}

IspResult* op_activate_flash_bank(int bank)
{
    if (!require_port())
        return isp_result();
    if (bank < 0 || bank >= bank_count())
        return set_result(kErrInvalidValue, "invalid flash bank number");
    const int r = activate_bank(bank);
    if (r != 1)
        return report_engine_failure(r, "activating flash bank");
    return set_success();
}

} // namespace qz
