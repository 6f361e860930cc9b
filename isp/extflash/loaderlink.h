// Getting to a running flash loader: the query, the part's UART boot
// download of the loader image, and the checks qz_connect makes.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace qz::ext {

constexpr unsigned char kQuery = '?';
constexpr std::size_t kImageBlock = 512;

// Sends one query and reads the reply line; its code, or -1 when none came.
int loader_query();

// Milliseconds `bytes` take on the wire at `baud` (8N1: 10 bits a byte).
std::int64_t wire_time_ms(std::uint64_t bytes, unsigned baud);

// Start method 0, right after the port was opened and configured at `baud`:
// queries under the given time-outs; a running loader is taken as it is, a
// boot ROM that waits for an image gets the loader, and after `pauseMs` the
// loader must announce itself. The port holds the short time-outs afterwards.
int loader_sync(const char* loaderPath, std::uint32_t ramStart, std::uint32_t ramEnd, int pauseMs,
                std::int32_t readTimeoutMs, std::int32_t writeTimeoutMs, unsigned baud);

// One query under the time-outs in force; 1 when the loader answers.
int loader_is_running();

// Sends the loader's RAM image: a header with the block count, then
// ceil((highest + 1 - ramStart) / 512) blocks from ramStart. Each block may
// take, beyond the write time-out in force, until it and all before it can
// have crossed the wire at `baud`. Fails without a path, without data in
// the RAM range, for a range larger than the loader span limit, or when a
// write fails. *across (when given) is when all that was sent can have
// crossed the wire.
int download_loader_image(const char* loaderPath, std::uint32_t ramStart, std::uint32_t ramEnd, unsigned baud,
                          std::chrono::steady_clock::time_point* across = nullptr);

} // namespace qz::ext
