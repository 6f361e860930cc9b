#include "isp/core/debuglog.h"

#include "isp/core/session.h"
#include "isp/core/version.h"
#include "platform/logfile.h"
#include "platform/sysinfo.h"
#include "platform/tempfile.h"

#include <array>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace qz {

namespace {

constexpr int kOpenTries = 5;

// A fixed permutation of the byte values: every byte has its own entry and a
// reader can invert it.
constexpr std::array<unsigned char, 256> make_substitution_table()
{
    std::array<unsigned char, 256> t{};
    for (unsigned b = 0; b < 256; ++b)
        t[b] = static_cast<unsigned char>((b * 167u + 0x3Du) & 0xFFu);
    return t;
}

constexpr std::array<unsigned char, 256> kSubstitution = make_substitution_table();

const char* prefix_for(int kind)
{
    switch (kind) {
    case kLogTx:
        return "tx> ";
    case kLogRx:
        return "rx> ";
    default:
        return "debug> ";
    }
}

// Lines may come from more than one thread (a cancel from another thread);
// keep each line whole.
std::mutex g_logMutex;

// Callers written for Windows name the log with a drive ("C:\qztest.qzd").
// Such a path keeps only its file name, in the temporary folder
// ($TMPDIR or /tmp): "C:\qztest.qzd" is /tmp/qztest.qzd. Other paths stand
// as given. Empty when there is nowhere to write.
std::string host_log_path(const char* path)
{
    const bool drive = std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
    if (!drive)
        return path;
    const char* name = path + 2;
    for (const char* p = name; *p; ++p) {
        if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    const std::string dir = platform::tempDirectory();
    if (*name == '\0' || dir.empty())
        return std::string();
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

void write_line(const std::string& line)
{
    const SessionRecord& s = session();
    if (!s.debugLog)
        return;
    char path[kLogPathSize];
    std::memcpy(path, s.logPath, sizeof path);
    path[sizeof path - 1] = '\0';
    const std::string file = host_log_path(path);
    if (file.empty())
        return;

    std::lock_guard<std::mutex> lock(g_logMutex);
    std::FILE* f = nullptr;
    for (int i = 0; i < kOpenTries && !f; ++i)
        f = platform::openLogForAppend(file);
    if (!f)
        return;
    std::fseek(f, 0, SEEK_END);
    std::string out(line.size(), '\0');
    for (std::size_t i = 0; i < line.size(); ++i)
        out[i] = static_cast<char>(kSubstitution[static_cast<unsigned char>(line[i])]);
    std::fwrite(out.data(), 1, out.size(), f);
    std::fclose(f);
}

std::string vformat(const char* format, va_list ap)
{
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0)
        return std::string();
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, ap);
    text.resize(static_cast<std::size_t>(n));
    return text;
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    std::string text = vformat(fmt, ap);
    va_end(ap);
    return text;
}

bool printable(unsigned char c)
{
    return c >= 0x20 && c <= 0x7E;
}

}  // namespace

unsigned char log_substitute(unsigned char byte)
{
    return kSubstitution[byte];
}

void debug_log(int kind, const char* text)
{
    if (!session().debugLog)
        return;
    std::string line = prefix_for(kind);
    line += text ? text : "";
    line += '\n';
    write_line(line);
}

void debug_logf(const char* format, ...)
{
    if (!session().debugLog)
        return;
    va_list ap;
    va_start(ap, format);
    std::string line = prefix_for(kLogDebug) + vformat(format, ap);
    va_end(ap);
    write_line(line);
}

void log_bytes(int kind, const void* data, std::size_t count)
{
    if (!session().debugLog)
        return;
    std::string line = prefix_for(kind);
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; p && i < count; ++i) {
        if (printable(p[i])) {
            line += static_cast<char>(p[i]);
        } else {
            char esc[4];
            std::snprintf(esc, sizeof esc, "\\%2.2x", p[i]);
            line += esc;
        }
    }
    line += '\n';
    write_line(line);
}

void log_connect_header(const ConnectOptions& o, const char* deviceName, bool withDeviceLine)
{
    if (!session().debugLog)
        return;
    const DriverIdentity& id = driver_identity();
    // The caller's port name need not be terminated within its field.
    int portLen = static_cast<int>(strnlen(o.port_name, sizeof o.port_name));
    platform::SystemVersion sys = platform::system_version();

    debug_log(kLogDebug, format("%s Driver, Version %s", id.name, id.version).c_str());
    debug_log(kLogDebug, format("System version = %s (%s) build %s, %s", sys.name.c_str(),
                                sys.release.c_str(), sys.build.c_str(), sys.machine.c_str())
                             .c_str());
    debug_log(kLogDebug, "General configuration:");
    debug_log(kLogDebug, format("Oscillator Frequency = %f MHz", o.oscillator_mhz).c_str());
    debug_log(kLogDebug,
              format("Port = %.*s, baudrate = %ld", portLen, o.port_name, static_cast<long>(o.baud_rate))
                  .c_str());
    if (withDeviceLine) {
        if (deviceName)
            debug_log(kLogDebug, format("Device = %s", deviceName).c_str());
        else
            debug_log(kLogDebug, format("Device = %d (<unknown device>)", o.device_id).c_str());
    }
    if (o.use_icp)
        debug_log(kLogDebug, format("ICP interface = %d", o.icp_interface).c_str());
    else
        debug_log(kLogDebug, "Not using ICP");
    debug_log(kLogDebug, "Communications configuration:");
    debug_log(kLogDebug, format("Highspeed = %d, clocks = %d, maximum baudrate = %ld", o.high_speed,
                                o.clocks, static_cast<long>(o.max_baud_rate))
                             .c_str());
    debug_log(kLogDebug, format("Half-duplex = %d, t1 = %d, t2 = %d, hardware config = %d",
                                o.half_duplex, o.t1_ms, o.t2_ms, o.hardware_config)
                             .c_str());
}

}  // namespace qz
