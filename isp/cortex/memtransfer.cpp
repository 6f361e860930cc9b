#include "isp/cortex/memtransfer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "isp/core/debuglog.h"
#include "isp/cortex/devicetable.h"
#include "isp/cortex/selecteddevice.h"
#include "isp/core/serialport.h"
#include "isp/cortex/isp_commands.h"
#include "isp/cortex/isp_line.h"
#include "isp/cortex/isp_reply.h"
#include "isp/cortex/isp_step.h"
#include "isp/cortex/ramroutines.h"
#include "isp/cortex/uucodec.h"

namespace qz {

namespace {

// Raw bytes go out in pieces of a UU line's data size.
constexpr std::size_t kBinaryPiece = 45;

std::uint32_t ram_buffer_address()
{
    const CortexDeviceRecord& d = selected_device();
    return d.ram_start + d.ram_buffer_offset;
}

unsigned long chunk_sum(const std::uint8_t* data, std::size_t count)
{
    unsigned long sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += data[i];
    return sum;
}

// Sends one chunk's UU lines and its checksum; 1 or -2.
int send_uu_chunk(const std::uint8_t* data, std::size_t count)
{
    char line[uu_line_length(kUuBytesPerLine) + 1];
    char echo[kReplyLineSize];
    for (std::size_t done = 0; done < count; done += kUuBytesPerLine) {
        const std::size_t n = std::min(kUuBytesPerLine, count - done);
        uu_encode_line(data + done, n, line);
        if (!send_line(echo, sizeof echo, line)) {
            abort_command();
            return -2;
        }
    }
    if (!send_command(echo, sizeof echo, "%lu", chunk_sum(data, count))) {
        abort_command();
        return -2;
    }
    return 1;
}

int write_chunk_uu(std::uint32_t target, const std::uint8_t* data, std::size_t count, int& resends)
{
    int r = simple_command("W %lu %lu", static_cast<unsigned long>(target), static_cast<unsigned long>(count));
    if (r != 1)
        return r;
    char reply[kReplyLineSize];
    for (;;) {
        r = send_uu_chunk(data, count);
        if (r != 1)
            return r;
        if (!read_response_line(reply, sizeof reply)) {
            abort_command();
            return -18;
        }
        const int code = response_code(reply);
        if (code == kReplyOk)
            return 1;
        if (code != kReplyResend) {
            abort_command();
            return -18;
        }
        if (++resends >= kResendLimit) {
            sleep_ms(1000);
            purge_port(0);
            mark_out_of_step();
            return -18;
        }
    }
}

// Gives a part that may wait for `count` bytes of binary data all of them,
// then drops whatever of them it took as a command line.
void release_binary_write(std::size_t count)
{
    const std::uint8_t filler[kBinaryPiece] = {};
    for (std::size_t done = 0; done < count; done += kBinaryPiece) {
        if (!port_write(filler, std::min(kBinaryPiece, count - done)))
            break;
    }
    abort_command();
}

int write_chunk_binary(std::uint32_t target, const std::uint8_t* data, std::size_t count)
{
    // Echo is off: the command goes out without waiting for one.
    if (!send_command(nullptr, 0, "W %lu %lu", static_cast<unsigned long>(target),
                      static_cast<unsigned long>(count))) {
        abort_command();
        binary_mode_off();
        return -2;
    }
    char reply[kReplyLineSize];
    const bool answered = read_response_line(reply, sizeof reply) != 0;
    if (!answered || response_code(reply) == kReplyNone) {
        // Missed or damaged, the reply may have been "0": the part then takes
        // the next `count` bytes as data, "A 1" included.
        release_binary_write(count);
        binary_mode_off();
        return -18;
    }
    const int r = return_code_result(reply);
    if (r != 1) {
        binary_mode_off();
        return r;
    }
    for (std::size_t done = 0; done < count; done += kBinaryPiece) {
        if (!port_write(data + done, std::min(kBinaryPiece, count - done))) {
            // The part still waits for the rest of the data; the echo stays
            // unknown until an "A 1" is answered.
            mark_out_of_step();
            return -2;
        }
    }
    return 1;
}

int copy_to_flash(std::uint32_t flash_address, std::size_t count)
{
    // The copy's own reply tells whether the prepare took.
    prepare_bank();
    return simple_command("C %lu %lu %lu%s", static_cast<unsigned long>(flash_address),
                          static_cast<unsigned long>(ram_buffer_address()), static_cast<unsigned long>(count),
                          bank_suffix().text);
}

bool in_boot_rom_ram(std::uint32_t address)
{
    const CortexDeviceRecord& d = selected_device();
    return address >= d.ram_start && address < d.ram_start + d.ram_buffer_offset;
}

// Reads one "R" chunk of UU lines and its checksum line into `work`.
// 1 when the chunk is good; 0 when it must be sent again; negative on failure.
int read_chunk_uu(std::uint32_t address, std::uint8_t* work, std::size_t count)
{
    bool good = true;
    char line[kReplyLineSize];
    for (std::size_t done = 0; done < count; done += kUuBytesPerLine) {
        if (!read_response_line(line, sizeof line)) {
            abort_command();
            return -18;
        }
        const std::size_t expected = std::min(kUuBytesPerLine, count - done);
        // A line that does not announce exactly its share of the chunk
        // counts as a checksum failure.
        if (uu_decode_line(line, std::strlen(line), work + done, expected) !=
            static_cast<int>(expected))
            good = false;
    }
    if (!read_response_line(line, sizeof line)) {
        abort_command();
        return -18;
    }
    char* end = nullptr;
    const unsigned long expected_sum = std::strtoul(line, &end, 10);
    if (end == line || *end != '\0')
        good = false;
    if (!good)
        return 0;

    bool tested = true;
    for (std::size_t i = 0; i < count; ++i) {
        if (in_boot_rom_ram(address + static_cast<std::uint32_t>(i))) {
            work[i] = 0;
            tested = false;
        }
    }
    if (!tested)
        return 1;
    // The boot ROM's checksum is taken over the bytes as sent.
    unsigned long sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += work[i];
    return sum == expected_sum ? 1 : 0;
}

} // namespace

int write_memory(std::uint32_t address, const std::uint8_t* data, std::size_t count, bool to_flash)
{
    if (count == 0)
        return 1;
    const std::size_t padded = (count + 3) & ~static_cast<std::size_t>(3);
    std::unique_ptr<std::uint8_t[]> copy(new (std::nothrow) std::uint8_t[padded]);
    if (!copy)
        return -19;
    std::memcpy(copy.get(), data, count);
    std::memset(copy.get() + count, 0xFF, padded - count);

    if (sector_count() == 0)
        to_flash = false;
    const bool binary = selected_device().binary_transfer != 0;
    const std::size_t chunk = to_flash ? kFlashStageChunk : kRamChunk;
    const std::uint32_t base = to_flash ? ram_buffer_address() : address;

    if (binary && binary_mode_on() != 1) {
        // The part may have turned its echo off all the same.
        binary_mode_off();
        return -18;
    }
    int resends = 0;
    for (std::size_t done = 0; done < padded; done += chunk) {
        const std::size_t n = std::min(chunk, padded - done);
        const std::uint32_t target = base + static_cast<std::uint32_t>(done);
        const int r = binary ? write_chunk_binary(target, copy.get() + done, n)
                             : write_chunk_uu(target, copy.get() + done, n, resends);
        if (r != 1)
            return r;
    }
    if (binary && binary_mode_off() != 1)
        return -18;
    if (to_flash)
        return copy_to_flash(address, padded);
    return 1;
}

int read_memory(std::uint32_t first, std::uint32_t last, std::uint8_t* destination)
{
    if (last < first)
        return -5;
    std::unique_ptr<std::uint8_t[]> work(new (std::nothrow) std::uint8_t[kRamChunk]);
    if (!work)
        return -19;
    std::memset(destination, 0, static_cast<std::size_t>(last - first) + 1);

    const CortexDeviceRecord& d = selected_device();
    const std::uint32_t start = first & ~3u;
    const std::uint64_t total = (static_cast<std::uint64_t>(last) - start + 1 + 3) & ~3ull;

    const bool remap = start < 0x200 && !d.map_when && d.vector_map != VectorMapKind::None;
    if (remap) {
        const int m = run_vector_map(1);
        if (m != 1) {
            debug_log(kLogDebug, "Failed to map bootrom vectors");
            return m;
        }
    }

    int result = 1;
    int mismatches = 0;
    std::uint64_t address = start;
    std::uint64_t remaining = total;
    while (remaining > 0 && result == 1) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kRamChunk, remaining));
        result = simple_command("R %lu %lu", static_cast<unsigned long>(address), static_cast<unsigned long>(n));
        if (result != 1) {
            if (d.binary_transfer)
                mark_raw_data_may_follow();
            break;
        }
        if (d.binary_transfer) {
            if (!port_read(work.get(), n, 0)) {
                abort_command();
                mark_raw_data_may_follow();
                result = -18;
                break;
            }
        } else {
            for (;;) {
                const int c = read_chunk_uu(static_cast<std::uint32_t>(address), work.get(), n);
                if (c < 0) {
                    result = c;
                    break;
                }
                char echo[kReplyLineSize];
                if (c == 1) {
                    if (!send_line(echo, sizeof echo, "OK")) {
                        abort_command();
                        result = -2;
                    }
                    break;
                }
                if (++mismatches >= kResendLimit) {
                    debug_log(kLogDebug,
                              "Giving up - had to request resend of chunk too many times...");
                    send_line(echo, sizeof echo, "OK");
                    mark_out_of_step();
                    result = -18;
                    break;
                }
                if (!send_line(echo, sizeof echo, "RESEND")) {
                    abort_command();
                    result = -2;
                    break;
                }
            }
            if (result != 1)
                break;
        }
        // Only first..last go to the caller; the alignment bytes are dropped.
        const std::uint64_t lo = std::max<std::uint64_t>(address, first);
        const std::uint64_t hi = std::min<std::uint64_t>(address + n - 1, last);
        if (lo <= hi)
            std::memcpy(destination + (lo - first), work.get() + (lo - address),
                        static_cast<std::size_t>(hi - lo + 1));
        address += n;
        remaining -= n;
    }
    if (remap)
        run_vector_map(0);
    return result;
}

} // namespace qz
