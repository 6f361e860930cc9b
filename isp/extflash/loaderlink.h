// Getting to a running flash loader: the query, the part's UART boot
// download of the loader image, and the checks qz_connect makes.
#pragma once

#include <cstdint>

namespace qz::ext {

constexpr unsigned char kQuery = '?';
constexpr std::size_t kImageBlock = 512;

// Sends one query and reads the reply line; its code, or -1 when none came.
int loader_query();

// Start method 0, right after the port was opened and configured: queries
// under the given time-outs; a running loader is taken as it is, a boot ROM
// that waits for an image gets the loader, and after `pauseMs` the loader
// must announce itself. The port holds the short time-outs afterwards.
int loader_sync(const char* loaderPath, std::uint32_t ramStart, std::uint32_t ramEnd, int pauseMs,
                std::int32_t readTimeoutMs, std::int32_t writeTimeoutMs);

// One query under the time-outs in force; 1 when the loader answers.
int loader_is_running();

// Sends the loader's RAM image: a header with the block count, then
// ceil((highest + 1 - ramStart) / 512) blocks from ramStart. Fails without
// a path, without data in the RAM range, for a range larger than the
// loader span limit, or when a write fails.
int download_loader_image(const char* loaderPath, std::uint32_t ramStart, std::uint32_t ramEnd);

} // namespace qz::ext
