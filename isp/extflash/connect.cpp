#include "isp/extflash/connect.h"

#include <cstring>

#include "isp/core/debuglog.h"
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"
#include "isp/core/session.h"
#include "isp/extflash/cortexdriver.h"
#include "isp/extflash/descriptor.h"
#include "isp/extflash/loaderlink.h"
#include "isp/extflash/owedreply.h"

namespace qz::ext {

namespace {

const char* const kBadDescriptor = " Invalid bootloader descriptor. Double-check bootloader hex file being used.";
const char* const kAutobaudFailed = " Failed to autobaud. See https://quasmerite.example/help/autobaud";

// The descriptor's refusal, with the line and reason of a loader file that
// is no sound Intel HEX.
IspResult* bad_descriptor(const HexFault& fault)
{
    switch (fault.kind) {
    case HexFault::kNone:
        return set_result(kErrInvalidValue, kBadDescriptor);
    case HexFault::kNoData:
    case HexFault::kRead:
        return set_result_f(kErrInvalidValue, "%s (%s)", kBadDescriptor, hex_fault_words(fault.kind));
    default:
        return set_result_f(kErrInvalidValue, "%s (line %u: %s)", kBadDescriptor, fault.line,
                            hex_fault_words(fault.kind));
    }
}

bool fits(const char* field, std::size_t size)
{
    return strnlen(field, size) < size;
}

// Opens and configures the port at the caller's rate; null on success.
IspResult* open_own_port(const ConnectOptions& o)
{
    log_connect_header(o, nullptr, false);
    if (!open_port(o.port_name))
        return set_result(kErrCommunicate, "(in use)");
    if (o.baud_rate <= 0 || !configure_port(static_cast<unsigned>(o.baud_rate), 1)) {
        close_port();
        return set_result(kErrCommunicate, "(configuration)");
    }
    return nullptr;
}

IspResult* start_own_download(const ConnectOptions& o, const LoaderDescriptor& d)
{
    // The download holds the whole RAM range: a range no loader needs is a
    // broken descriptor, not a part that fails to answer.
    if (static_cast<std::uint64_t>(d.ramEnd) + 1 - d.ramStart > kMaxLoaderSpan)
        return set_result(kErrInvalidValue, kBadDescriptor);
    if (IspResult* failed = open_own_port(o))
        return failed;
    const SessionRecord& s = session();
    if (!loader_sync(o.flash_loader_path, d.ramStart, d.ramEnd, kLoaderStartPauseMs, s.autobaudReadTimeoutMs,
                     s.autobaudWriteTimeoutMs, static_cast<unsigned>(o.baud_rate))) {
        close_port();
        return set_result(kErrOperationFailed, kAutobaudFailed);
    }
    return nullptr;
}

IspResult* cortex_failure(CortexUartDriver& cortex, const char* detail)
{
    cortex.disconnect();
    cortex.unload();
    return set_result(kErrOperationFailed, detail);
}

IspResult* start_through_cortex(const ConnectOptions& o, const LoaderDescriptor& d)
{
    // A port still open from an earlier connect would be forgotten, not
    // closed, when the Cortex driver's is taken over, and would keep the
    // Cortex driver from opening the line.
    if (port_is_open())
        close_port();
    CortexUartDriver cortex;
    if (!cortex.load())
        return set_result(kErrInvalidValue, " Failed to load driver for Cortex UART");

    ConnectOptions copy;
    std::memcpy(&copy, &o, sizeof copy);
    copy.baud_rate = d.ispBaud;
    log_connect_header(copy, nullptr, false);

    if (cortex.connect(&copy, QZ_CONNECT_OPTIONS_SIZE)->status == QZ_STATUS_SUCCESS) {
        if (cortex.program2(o.flash_loader_path, 0, 0, 0, 0, 0, nullptr, 0, 0, nullptr, 0)->status !=
            QZ_STATUS_SUCCESS)
            return cortex_failure(cortex, " Programming bootloader into RAM");
        // Thumb, through the image's vector table; the lines stay as they are.
        if (cortex.reset(1, d.ramStart, 3)->status != QZ_STATUS_SUCCESS)
            return cortex_failure(cortex, " Starting bootloader in RAM (1)");
        sleep_ms(kLoaderStartPauseMs);
    } else {
        // A loader started by an earlier connect may still run.
        sleep_ms(kCortexFailedPauseMs);
    }

    if (o.hardware_config != 0) {
        debug_log(kLogDebug, "Bootloader should be running from RAM now - switching COM port control");
        debug_log(kLogDebug, "over to external flash driver");
        const int handle = cortex.getPortHandle();
        take_over_port(handle, o.baud_rate > 0 ? static_cast<unsigned>(o.baud_rate) : 0u);
        // The port is ours now: the Cortex driver must not close it later.
        cortex.setPortHandle(-1, 0);
        debug_log(kLogDebug, "Unloading Cortex UART driver");
        cortex.unload();
    } else {
        cortex.disconnect();
        cortex.unload();
        if (IspResult* failed = open_own_port(o))
            return failed;
    }

    debug_log(kLogDebug, "Now checking if bootloader is running from RAM");
    // What the line holds now (the loader's own announcement when it
    // started) is no answer to the query.
    purge_port(0);
    if (!loader_is_running()) {
        close_port();
        return set_result(kErrOperationFailed, " Bootloader in RAM is not executing (2)");
    }
    return nullptr;
}

} // namespace

IspResult* connect_loader(const ConnectOptions* options, int size)
{
    debug_log(kLogDebug, "qz_connect started");
    forget_owed_reply();
    if (size != QZ_CONNECT_OPTIONS_SIZE || options == nullptr)
        return set_result(kErrNotSupported, "Only COM connections supported.");
    const ConnectOptions& o = *options;
    SessionRecord& s = session();
    s.hardwareConfig = o.hardware_config;
    s.t1Ms = o.t1_ms;
    s.t2Ms = o.t2_ms;
    s.oscillatorMHz = o.oscillator_mhz;

    if (!fits(o.port_name, sizeof o.port_name))
        return set_result(kErrInvalidValue, "(port name too long)");
    LoaderDescriptor& d = loader_descriptor();
    d = LoaderDescriptor{};
    // Read and checked whole before anything goes to the part.
    HexFault fault;
    if (!fits(o.flash_loader_path, sizeof o.flash_loader_path) ||
        !parse_loader_descriptor(o.flash_loader_path, &d, &fault)) {
        d = LoaderDescriptor{};
        return bad_descriptor(fault);
    }

    IspResult* failed = nullptr;
    switch (d.startMethod) {
    case kStartOwnDownload:
        failed = start_own_download(o, d);
        break;
    case kStartThroughCortex:
        failed = start_through_cortex(o, d);
        break;
    default:
        // Starting nothing and opening no port is no connection.
        debug_logf("Unknown start method %d\n", static_cast<int>(d.startMethod));
        failed = set_result(kErrInvalidValue, kBadDescriptor);
        break;
    }
    if (failed != nullptr)
        return failed;
    set_result_be(0, static_cast<std::uint32_t>(o.baud_rate), 4);
    debug_log(kLogDebug, "qz_connect successful");
    return set_success();
}

IspResult* disconnect_loader()
{
    if (!port_is_open())
        return set_result(kErrNoConnection);
    debug_log(kLogDebug, "qz_disconnect - closing comport");
    close_port();
    return set_success();
}

} // namespace qz::ext
