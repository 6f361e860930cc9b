#include "isp/extflash/loaderlink.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>

#include "isp/core/debuglog.h"
#include "isp/core/serialport.h"
#include "isp/extflash/descriptor.h"
#include "isp/core/regularfile.h"
#include "isp/extflash/loaderhex.h"
#include "isp/extflash/reply.h"

namespace qz::ext {

namespace {

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kAnnouncementSize = sizeof "KELDMARVOS\r\n" - 1;

struct Buffer {
    std::uint8_t* bytes = nullptr;
    ~Buffer() { delete[] bytes; }
};

std::int32_t clamp_ms(std::int64_t ms)
{
    return static_cast<std::int32_t>(std::min<std::int64_t>(std::max<std::int64_t>(ms, 0), 0x7fffffff));
}

using Clock = std::chrono::steady_clock;

std::int64_t ms_until(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(t - Clock::now()).count();
}

// Writes `count` bytes of a transfer whose bytes so far, these included,
// are across the wire by `due` at the latest. A write ends once the line
// has room, and the line makes room only as fast as it sends what lies
// queued ahead: the write may take until `due` plus the write time-out in
// force, and never less than its own wire time plus that time-out.
int write_paced(const std::uint8_t* data, std::size_t count, unsigned baud, Clock::time_point due)
{
    std::int32_t readMs = 0;
    std::int32_t writeMs = 0;
    get_comm_timeouts(&readMs, &writeMs);
    if (writeMs == kWaitWithoutLimit)
        return port_write(data, count);
    const std::int64_t allowed = std::max(ms_until(due), wire_time_ms(count, baud)) + writeMs;
    set_comm_timeouts(readMs, clamp_ms(allowed));
    const int ok = port_write(data, count);
    set_comm_timeouts(readMs, writeMs);
    return ok;
}

} // namespace

std::int64_t wire_time_ms(std::uint64_t bytes, unsigned baud)
{
    if (baud == 0)
        return 0;
    return static_cast<std::int64_t>((bytes * 10 * 1000 + baud - 1) / baud);
}

int loader_query()
{
    const unsigned char q = kQuery;
    if (!port_write(&q, 1))
        return -1;
    return read_reply_code();
}

int loader_is_running()
{
    if (loader_query() != kReplyIdentity)
        return 0;
    use_short_timeouts();
    return 1;
}

int loader_sync(const char* loaderPath, std::uint32_t ramStart, std::uint32_t ramEnd, int pauseMs,
                std::int32_t readTimeoutMs, std::int32_t writeTimeoutMs, unsigned baud)
{
    set_comm_timeouts(readTimeoutMs, writeTimeoutMs);
    int ok = 0;
    const int code = loader_query();
    if (code == kReplyIdentity) {
        debug_log(kLogDebug, "Bootloader already running");
        ok = 1;
    } else if (code == kReplyOk) {
        Clock::time_point due;
        if (download_loader_image(loaderPath, ramStart, ramEnd, baud, &due)) {
            sleep_ms(pauseMs);
            // A write ends once the line has taken the bytes, not once they
            // are across: the loader starts, and announces itself, only when
            // the last block has reached the part, and its announcement
            // takes its own wire time.
            const std::int64_t inFlight =
                std::max<std::int64_t>(ms_until(due), 0) + wire_time_ms(kAnnouncementSize, baud);
            set_comm_timeouts(clamp_ms(readTimeoutMs + inFlight), writeTimeoutMs);
            ok = read_reply_code() == kReplyIdentity;
        }
    }
    use_short_timeouts();
    return ok;
}

int download_loader_image(const char* loaderPath, std::uint32_t ramStart, std::uint32_t ramEnd, unsigned baud,
                          std::chrono::steady_clock::time_point* across)
{
    if (loaderPath == nullptr || loaderPath[0] == '\0' || ramEnd < ramStart)
        return 0;
    const std::uint64_t span = static_cast<std::uint64_t>(ramEnd) + 1 - ramStart;
    const std::uint64_t size = (span + kImageBlock - 1) / kImageBlock * kImageBlock;
    if (size > kMaxLoaderSpan)
        return 0;
    Buffer buffer;
    buffer.bytes = new (std::nothrow) std::uint8_t[size]();
    if (buffer.bytes == nullptr)
        return 0;
    std::FILE* f = open_regular_file(loaderPath);
    if (f == nullptr)
        return 0;
    const std::uint64_t last64 = static_cast<std::uint64_t>(ramStart) + size - 1;
    const std::uint32_t last = last64 > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(last64);
    bool stored = false;
    HexFault fault;
    const std::uint32_t highest = load_hex_file_range(f, buffer.bytes, ramStart, last, &stored, &fault);
    std::fclose(f);
    if (fault.kind != HexFault::kNone) {
        debug_logf("Loader file refused: line %u: %s\n", fault.line, hex_fault_words(fault.kind));
        return 0;
    }
    if (!stored) {
        debug_log(kLogDebug, "Loader file holds no data for RAM");
        return 0;
    }
    const std::uint64_t blocks = (static_cast<std::uint64_t>(highest) + 1 - ramStart + kImageBlock - 1) / kImageBlock;
    if (blocks > 0xFFFF)
        return 0;

    std::uint8_t header[kHeaderSize] = {0xDA, 0x3F, static_cast<std::uint8_t>(blocks),
                                        static_cast<std::uint8_t>(blocks >> 8)};
    std::memset(header + 12, 0xFF, 4);
    debug_logf("Downloading loader image: %lu blocks\n", static_cast<unsigned long>(blocks));
    const Clock::time_point began = Clock::now();
    const auto wireUntil = [&](std::uint64_t bytes) {
        return began + std::chrono::milliseconds(wire_time_ms(bytes, baud));
    };
    if (!write_paced(header, sizeof header, baud, wireUntil(sizeof header)))
        return 0;
    for (std::uint64_t b = 0; b < blocks; ++b) {
        const std::uint8_t* block = buffer.bytes + b * kImageBlock;
        if (!write_paced(block, kImageBlock, baud, wireUntil(sizeof header + (b + 1) * kImageBlock)))
            return 0;
    }
    if (across != nullptr)
        *across = wireUntil(sizeof header + blocks * kImageBlock);
    return 1;
}

} // namespace qz::ext
