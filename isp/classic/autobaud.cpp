#include "isp/classic/autobaud.h"

#include "isp/classic/classic_port.h"
#include "isp/classic/classic_state.h"
#include "isp/core/debuglog.h"
#include "isp/core/errorcodes.h"
#include "isp/core/serialport.h"
#include "isp/core/serialstate.h"
#include "isp/core/session.h"
#include "platform/serialline.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace qz {

namespace {

// Set by a cancel from another thread, read by the waiting connect.
std::atomic<bool> g_cancelled{false};
std::atomic<void (*)()> g_beforeSyncRead{nullptr};

enum class Wait { Got, Failed, Cancelled };

// One character without a time-out. A cancel raised before the read starts
// is not lost: the signal is cleared first and the flag looked at after, so
// a cancel that comes later still finds the read waiting on its signal.
Wait read_sync_char(unsigned char& c)
{
    const int cancel = cancel_fd();
    platform::cancelSignalClear(cancel);
    if (void (*hook)() = g_beforeSyncRead.load())
        hook();
    if (g_cancelled.load())
        return Wait::Cancelled;
    const platform::LineTransfer t = platform::serialRead(port_fd(), cancel, &c, 1, platform::kNoTimeLimit);
    if (t.status == platform::LineIo::Cancelled) {
        platform::cancelSignalClear(cancel);
        debug_log(kLogDebug, "Receive cancelled");
        return Wait::Cancelled;
    }
    if (t.status != platform::LineIo::Done) {
        if (t.status == platform::LineIo::Failed)
            log_system_error("Readfile error", t.error);
        return Wait::Failed;
    }
    log_bytes(kLogRx, &c, 1);
    return Wait::Got;
}

int threaded_autobaud(const ClassicDeviceRecord& d)
{
    g_cancelled = false;
    std::atomic<bool> stop{false};
    const unsigned char sync = d.sync_char;
    const int fd = port_fd();
    // The sender writes straight to the line with its own limit: the
    // layer's time-outs are the reader's, and "none" would let a write that
    // never drains hold the thread for ever.
    std::thread sender([fd, sync, &stop] {
        unsigned char burst[10];
        std::memset(burst, sync, sizeof burst);
        while (!stop.load())
            platform::serialWrite(fd, burst, sizeof burst, kSenderWriteLimitMs);
    });

    use_no_timeouts();
    bool seen = false;
    for (int i = 0; i < 3 && !seen; ++i) {
        unsigned char c = 0;
        const Wait w = read_sync_char(c);
        if (w != Wait::Got)
            break;
        seen = c == sync;
        if (g_cancelled.load())
            break;
    }
    use_short_timeouts();
    stop = true;
    sender.join();

    if (!seen) {
        purge_port(0);
        sleep_ms(300);
        purge_port(1);
        return g_cancelled.load() ? kErrCancelled : kErrCommunicate;
    }
    purge_port(0);
    port_sink(100);
    purge_port(1);
    return 1;
}

int simple_autobaud(const ClassicDeviceRecord& d)
{
    const unsigned char sync = d.sync_char;
    unsigned char c = 0;
    for (int i = 0; i < 2; ++i) {
        if (!port_write(&sync, 1))
            return kErrCommunicate;
        if (!port_read(&c, 1, 0))
            return kErrConnectBaud;
    }
    return c == sync ? 1 : kErrConnectBaud;
}

bool line_cannot_reset(int hw)
{
    return hw == 0 || hw == 3;
}

} // namespace

void set_before_sync_read_hook(void (*hook)())
{
    g_beforeSyncRead = hook;
}

bool uses_threaded_autobaud(const ClassicDeviceRecord& d)
{
    return d.threaded_autobaud && line_cannot_reset(session().hardwareConfig);
}

int d1_autobaud()
{
    const ClassicDeviceRecord* d = selected_classic_device();
    if (!d)
        return kErrNoConnection;
    return uses_threaded_autobaud(*d) ? threaded_autobaud(*d) : simple_autobaud(*d);
}

int d2_autobaud()
{
    const ClassicDeviceRecord* d = selected_classic_device();
    if (!d)
        return kErrNoConnection;
    return uses_threaded_autobaud(*d) ? 1 : simple_autobaud(*d);
}

int d1_cancel_autobaud()
{
    const ClassicDeviceRecord* d = selected_classic_device();
    if (!d)
        return kErrNoConnection;
    if (!d->threaded_autobaud && line_cannot_reset(session().hardwareConfig))
        return 1;
    // The flag first: a reader that clears the signal then looks at it.
    g_cancelled = true;
    cancel_receive();
    return 1;
}

int d2_cancel_autobaud()
{
    const ClassicDeviceRecord* d = selected_classic_device();
    if (!d)
        return kErrNoConnection;
    if (!d->threaded_autobaud && line_cannot_reset(session().hardwareConfig))
        return 1;
    cancel_receive();
    purge_port(0);
    purge_port(1);
    sleep_ms(200);
    return 1;
}

int classic_autobaud()
{
    const ClassicDeviceRecord* d = selected_classic_device();
    if (!d)
        return kErrNoConnection;
    return record_dialect(*d) == kDialect2 ? d2_autobaud() : d1_autobaud();
}

int classic_cancel_autobaud()
{
    const ClassicDeviceRecord* d = selected_classic_device();
    if (!d)
        return kErrNoConnection;
    return record_dialect(*d) == kDialect2 ? d2_cancel_autobaud() : d1_cancel_autobaud();
}

} // namespace qz
