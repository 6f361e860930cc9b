#include "isp/extflash/loaderlink.h"

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

struct Buffer {
    std::uint8_t* bytes = nullptr;
    ~Buffer() { delete[] bytes; }
};

} // namespace

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
                std::int32_t readTimeoutMs, std::int32_t writeTimeoutMs)
{
    set_comm_timeouts(readTimeoutMs, writeTimeoutMs);
    int ok = 0;
    const int code = loader_query();
    if (code == kReplyIdentity) {
        debug_log(kLogDebug, "Bootloader already running");
        ok = 1;
    } else if (code == kReplyOk) {
        if (download_loader_image(loaderPath, ramStart, ramEnd)) {
            sleep_ms(pauseMs);
            ok = read_reply_code() == kReplyIdentity;
        }
    }
    use_short_timeouts();
    return ok;
}

int download_loader_image(const char* loaderPath, std::uint32_t ramStart, std::uint32_t ramEnd)
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
    const std::uint32_t highest = load_hex_file_range(f, buffer.bytes, ramStart, last, &stored);
    std::fclose(f);
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
    if (!port_write(header, sizeof header))
        return 0;
    for (std::uint64_t b = 0; b < blocks; ++b) {
        if (!port_write(buffer.bytes + b * kImageBlock, kImageBlock))
            return 0;
    }
    return 1;
}

} // namespace qz::ext
