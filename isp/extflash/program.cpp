#include "isp/extflash/program.h"

#include <cstring>
#include <new>

#include "isp/core/errorcodes.h"
#include "isp/core/ops_common.h"
#include "isp/core/result.h"
#include "isp/extflash/commands.h"
#include "isp/extflash/descriptor.h"
#include "isp/extflash/flashsinks.h"

namespace qz::ext {

namespace {

struct Image {
    std::uint8_t* bytes = nullptr;
    ~Image() { delete[] bytes; }
};

bool all_equal(const std::uint8_t* p, std::size_t n, std::uint8_t value)
{
    for (std::size_t i = 0; i < n; ++i) {
        if (p[i] != value)
            return false;
    }
    return true;
}

} // namespace

IspResult* program_flash(const FlashProgramRequest& req)
{
    if (!require_port())
        return isp_result();
    const LoaderDescriptor& d = loader_descriptor();
    // The connect refused descriptors whose flash or chunk breaks the walk.
    if (!descriptor_values_usable(d))
        return set_result(kErrInvalidValue);
    const std::size_t length = static_cast<std::size_t>(static_cast<std::uint64_t>(d.flashEnd) - d.flashStart + 1);
    Image image;
    image.bytes = new (std::nothrow) std::uint8_t[length];
    if (image.bytes == nullptr)
        return set_result_f(kErrAllocate, "size : %lu bytes", static_cast<unsigned long>(length));
    std::memset(image.bytes, req.useFillByte ? req.fillByte : d.erasedByte, length);

    FlashImageSink sink(image.bytes, d.flashStart, d.flashEnd);
    if (IspResult* failed = load_program_sources(req.sources, sink))
        return failed;
    if (all_equal(image.bytes, length, d.erasedByte))
        return set_success();

    const std::size_t chunk = d.chunkSize;
    for (std::size_t offset = length - chunk;; offset -= chunk) {
        const std::uint8_t* p = image.bytes + offset;
        if (!all_equal(p, chunk, d.erasedByte)) {
            const std::uint32_t address = d.flashStart + static_cast<std::uint32_t>(offset);
            if (loader_program_block(address, p, chunk, chunk) != 1)
                return set_result(kErrOperationFailed, "(programming - failed to send data to the device)");
            if (!report_progress(req.sources.cb, QZ_EVENT_BLOCK_PROGRAMMED, static_cast<int>(address), 0,
                                 req.sources.user))
                return isp_result();
        }
        if (offset == 0)
            break;
    }
    return set_success();
}

} // namespace qz::ext
