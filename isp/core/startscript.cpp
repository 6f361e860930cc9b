#include "isp/core/startscript.h"

#include "isp/core/debuglog.h"
#include "isp/core/hexutil.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"

#include <cstddef>

namespace qz {

namespace {

constexpr std::size_t kCollectSize = 100;
constexpr int kBootRomStartMs = 8000;

class ScriptRun {
public:
    ScriptRun(int byteByByte) : byteByByte_(byteByByte != 0) {}

    bool echo = true;

    // Collects one byte; a full buffer is sent first so that a long run of
    // literal bytes never outgrows it.
    IspResult* collect(unsigned char byte)
    {
        if (count_ == kCollectSize) {
            if (IspResult* failed = flush())
                return failed;
        }
        bytes_[count_++] = byte;
        return nullptr;
    }

    // Sends what is collected; null on success, else the failure (port closed).
    IspResult* flush()
    {
        std::size_t n = count_;
        count_ = 0;
        if (n == 0)
            return nullptr;
        unsigned char echoed[kCollectSize];
        if (!byteByByte_) {
            if (!port_write(bytes_, n))
                return fail(-2, "(transmit/receive)");
            if (echo && !port_read(echoed, n, 0))
                return fail(-18, "(Start BootROM command - no echo)");
            return nullptr;
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (!port_write(bytes_ + i, 1))
                return fail(-2, "(transmit/receive)");
            if (echo && !port_read(echoed, 1, 0))
                return fail(-18, "(Start BootROM command - no echo)");
        }
        return nullptr;
    }

    static IspResult* fail(int code, const char* detail)
    {
        close_port();
        return set_result(code, detail);
    }

private:
    bool byteByByte_;
    unsigned char bytes_[kCollectSize];
    std::size_t count_ = 0;
};

bool is_hex(char c)
{
    return hex_digit_value(c) >= 0;
}

} // namespace

IspResult* run_start_script(const char* port, int baud, const char* script, int byte_by_byte,
                            int send_break_flag, const StartScriptOptions& options)
{
    if (port_is_open())
        close_port();
    if (!open_port(port))
        return set_result(-2, "(in use)");
    if (baud <= 0 || !configure_port(static_cast<unsigned>(baud), 0)) {
        close_port();
        return set_result(-2, "(configuration)");
    }

    if (send_break_flag) {
        send_break();
        close_port();
        sleep_ms(kBootRomStartMs);
        return set_success();
    }

    ScriptRun run(byte_by_byte);
    bool closingCheck = true;
    const char* p = script ? script : "";
    while (*p) {
        const char c = *p;
        if (c != '%' && c != '$' && c != '&') {
            if (IspResult* failed = run.collect(static_cast<unsigned char>(c)))
                return failed;
            ++p;
            continue;
        }
        if (p[1] == '\0' || p[2] == '\0')
            break;
        if (!is_hex(p[1]) || !is_hex(p[2])) {
            if (IspResult* failed = run.collect(static_cast<unsigned char>(c)))
                return failed;
            ++p;
            continue;
        }
        const unsigned value = parse_hex_byte(p[1], p[2]);
        p += 3;
        if (c == '%') {
            if (IspResult* failed = run.collect(static_cast<unsigned char>(value)))
                return failed;
            continue;
        }
        if (IspResult* failed = run.flush())
            return failed;
        if (c == '$') {
            debug_logf("Waiting for %dms\n", static_cast<int>(value * 100));
            sleep_ms(static_cast<int>(value * 100));
            continue;
        }
        switch (value) {
        case 0x00:
            if (!purge_port(0))
                return ScriptRun::fail(-2, "(Start BootROM Command - flushing receive)");
            break;
        case 0x01:
            run.echo = true;
            break;
        case 0x02:
            run.echo = false;
            break;
        case 0x03:
            send_break();
            break;
        case 0x04:
            if (options.knowsClosingCheckCode)
                closingCheck = false;
            break;
        default:
            break;
        }
    }
    if (IspResult* failed = run.flush())
        return failed;

    if (closingCheck) {
        unsigned char dot = 0;
        if (!port_read(&dot, 1, 0))
            return ScriptRun::fail(-18, "(Start BootROM command - no '.' echoed)");
        if (dot != '.')
            return ScriptRun::fail(-18, "(Start BootROM command - '.' incorrectly echoed)");
    }
    close_port();
    sleep_ms(kBootRomStartMs);
    return set_success();
}

} // namespace qz
