#include "isp/cortex/ops_eeprom.h"

#include <cstdint>

#include "isp/core/debuglog.h"
#include "isp/cortex/devicetable.h"
#include "isp/core/errorcodes.h"
#include "isp/cortex/isp_commands.h"
#include "isp/cortex/memtransfer.h"
#include "isp/core/ops_common.h"
#include "isp/cortex/ramroutines.h"
#include "isp/core/result.h"
#include "isp/cortex/selecteddevice.h"

namespace qz {

namespace {

// The data sits behind the routine in the RAM buffer.
constexpr std::uint32_t kDataOffset = 256;
constexpr std::uint32_t kReadChunk = 512;

IspResult* check_eeprom(const void* data, unsigned length)
{
    if (!require_port())
        return isp_result();
    if (!selected_device().eeprom_allowed)
        return set_result(kErrNotSupported, "Not supported");
    if (data == nullptr && length > 0)
        return set_result(kErrInvalidValue, "(no buffer)");
    return nullptr;
}

IspResult* report_eeprom_failure(int r, const char* words, const char* command_detail)
{
    if (r == -18)
        return set_result(kErrOperationFailed, command_detail);
    if (r == kEnginePassword || r == kEngineProtected)
        return report_engine_failure(r, words);
    if (r == -2)
        return set_result(kErrCommunicate, "(transmit/receive)");
    return set_result(r);
}

std::uint32_t data_address()
{
    const CortexDeviceRecord& d = selected_device();
    return d.ram_start + d.ram_buffer_offset + kDataOffset;
}

void log_transfer(std::uint32_t eeprom, std::uint32_t ram, std::uint32_t length)
{
    debug_logf("EEPROM address = 0x%8.8lX, RAM address = 0x%8.8lX, Length = %d bytes\n",
               static_cast<unsigned long>(eeprom), static_cast<unsigned long>(ram), static_cast<int>(length));
}

} // namespace

IspResult* op_program_eeprom_from_buffer(const unsigned char* data, unsigned eeprom_address, unsigned length)
{
    if (IspResult* failed = check_eeprom(data, length))
        return failed;
    const std::uint32_t chunk = selected_device().ram_chunk_size != 0 ? selected_device().ram_chunk_size : 900;
    const std::uint32_t ram = data_address();
    for (std::uint32_t done = 0; done < length; done += chunk) {
        const std::uint32_t n = length - done < chunk ? length - done : chunk;
        int r = write_memory(ram, data + done, n, false);
        if (r == 1) {
            debug_log(kLogDebug, "Downloading IAP routine for EEPROM programming");
            log_transfer(eeprom_address + done, ram, n);
            r = run_eeprom_routine(true, eeprom_address + done, ram, n);
        }
        if (r != 1)
            return report_eeprom_failure(r, "programming EEPROM", "(programming EEPROM) - command");
    }
    return set_success();
}

IspResult* op_read_eeprom_to_buffer(unsigned char* data, unsigned eeprom_address, unsigned length)
{
    if (IspResult* failed = check_eeprom(data, length))
        return failed;
    const std::uint32_t ram = data_address();
    for (std::uint32_t done = 0; done < length; done += kReadChunk) {
        const std::uint32_t n = length - done < kReadChunk ? length - done : kReadChunk;
        debug_log(kLogDebug, "Downloading IAP routine for EEPROM reading");
        log_transfer(eeprom_address + done, ram, n);
        int r = run_eeprom_routine(false, eeprom_address + done, ram, n);
        if (r == 1)
            r = read_memory(ram, ram + n - 1, data + done);
        if (r != 1)
            return report_eeprom_failure(r, "reading EEPROM", "(reading EEPROM) - command");
    }
    return set_success();
}

} // namespace qz
