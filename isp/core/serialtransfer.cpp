// Writes, exact-count reads, receives, the push-back buffer and cancel.
#include "isp/core/serialport.h"

#include "isp/core/debuglog.h"
#include "isp/core/serialflavour.h"
#include "isp/core/serialstate.h"
#include "platform/serialline.h"

namespace qz {

namespace {

int limit(std::int32_t totalMs)
{
    return totalMs == kWaitWithoutLimit ? platform::kNoTimeLimit : totalMs;
}

// Moves pushed-back bytes, the most recent first, into the buffer until it
// holds `count` bytes or none are left; returns how many it took.
std::size_t take_pushed_back(unsigned char* buffer, std::size_t count)
{
    SessionRecord& s = session();
    std::size_t taken = 0;
    if (!serial_flavour().pushBack)
        return 0;
    while (taken < count && s.pushBackPos > 0)
        buffer[taken++] = s.pushBack[--s.pushBackPos];
    return taken;
}

} // namespace

int port_write(const void* data, std::size_t count)
{
    const bool classic = serial_flavour().classicLogLines;
    if (classic)
        debug_logf("comport=%d,bytestowrite=%d\n", port_fd(), static_cast<int>(count));
    platform::LineTransfer t =
        platform::serialWrite(port_fd(), data, count, limit(session().writeTotalTimeoutMs));
    if (t.status == platform::LineIo::Done) {
        log_bytes(kLogTx, data, count);
        return 1;
    }
    if (t.status == platform::LineIo::Failed)
        log_system_error("WriteFile error", t.error);
    debug_log(kLogDebug, "WriteFile - not enough or too many bytes written");
    debug_logf("wanted to write %d bytes, written %d bytes\n", static_cast<int>(count),
               static_cast<int>(t.count));
    log_bytes(kLogTx, data, t.count);
    return 0;
}

ReadDeadline::ReadDeadline()
    : unlimited_(session().readTotalTimeoutMs == kWaitWithoutLimit),
      end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(unlimited_ ? 0 : session().readTotalTimeoutMs))
{
}

std::int32_t ReadDeadline::remaining_ms() const
{
    if (unlimited_)
        return kWaitWithoutLimit;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now()).count();
    return left > 0 ? static_cast<std::int32_t>(left) : 0;
}

namespace {

int read_exact(void* buffer, std::size_t count, int quiet, std::int32_t total_ms)
{
    auto* out = static_cast<unsigned char*>(buffer);
    const int cancel = cancel_fd();
    platform::cancelSignalClear(cancel);
    const std::size_t pushed = take_pushed_back(out, count);
    if (pushed == count)
        return 1;

    platform::LineTransfer t =
        platform::serialRead(port_fd(), cancel, out + pushed, count - pushed, limit(total_ms));
    if (t.status == platform::LineIo::Cancelled) {
        platform::cancelSignalClear(cancel);
        debug_log(kLogDebug, "Receive cancelled");
        return 0;
    }
    if (t.status == platform::LineIo::Failed)
        log_system_error(serial_flavour().classicLogLines ? "Readfile error" : "Readfile error (3)", t.error);
    const std::size_t got = pushed + t.count;
    if (got == count) {
        if (!quiet)
            log_bytes(kLogRx, out, got);
        return 1;
    }
    debug_log(kLogDebug, "ReadFile - not enough or too many bytes read");
    debug_logf("wanted %d bytes, read %d bytes\n", static_cast<int>(count), static_cast<int>(got));
    if (!quiet)
        log_bytes(kLogRx, out, got);
    return 0;
}

} // namespace

int port_read(void* buffer, std::size_t count, int quiet)
{
    return read_exact(buffer, count, quiet, session().readTotalTimeoutMs);
}

int port_read_within(void* buffer, std::size_t count, int quiet, const ReadDeadline& deadline)
{
    return read_exact(buffer, count, quiet, deadline.remaining_ms());
}

int port_receive(void* buffer, std::size_t count, unsigned* received)
{
    auto* out = static_cast<unsigned char*>(buffer);
    unsigned ignored = 0;
    if (!received)
        received = &ignored;
    const int cancel = cancel_fd();
    platform::cancelSignalClear(cancel);
    const std::size_t pushed = take_pushed_back(out, count);
    *received = static_cast<unsigned>(pushed);
    if (pushed == count) {
        log_bytes(kLogRx, out, pushed);
        return 1;
    }

    platform::LineTransfer t = platform::serialRead(port_fd(), cancel, out + pushed, count - pushed,
                                                    limit(session().readTotalTimeoutMs));
    *received = static_cast<unsigned>(pushed + t.count);
    switch (t.status) {
    case platform::LineIo::Cancelled:
        platform::cancelSignalClear(cancel);
        debug_log(kLogDebug, "Receive cancelled");
        if (*received)
            log_bytes(kLogRx, out, *received);
        return 0;
    case platform::LineIo::Failed:
        log_system_error(serial_flavour().classicLogLines ? "Readfile error" : "Readfile error (1)", t.error);
        if (*received)
            log_bytes(kLogRx, out, *received);
        return 0;
    default:
        log_bytes(kLogRx, out, *received);
        return 1;
    }
}

int cancel_receive()
{
    std::lock_guard<std::mutex> hold(cancel_signal_lock());
    platform::cancelSignalRaise(cancel_fd());
    return 1;
}

int push_back_byte(unsigned char byte)
{
    SessionRecord& s = session();
    if (s.pushBackPos < 0 || s.pushBackPos >= static_cast<int>(kPushBackSize))
        return 0;
    s.pushBack[s.pushBackPos++] = byte;
    return 1;
}

} // namespace qz
