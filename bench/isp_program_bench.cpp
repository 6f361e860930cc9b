// Programs and verifies a 32 KiB image into the simulated LPC11C24 through
// QuasmeriteARMCortex, with the simulator carrying bytes no faster than the
// wire would, and compares the time with the wire time of the bytes moved.
//
//   isp_program_bench [baud ...]      (default: 115200 9600)
//
// The wire time is that of the busier direction (the boot ROM echoes while
// it receives, so both directions run at once); the time of both directions
// one after the other is printed too. QZ_BENCH_NO_PACE=1 runs the simulator
// unpaced, which shows what the library itself costs.
#include "qz_interface.h"
#include "tests/isp/core/opsfixture.h"
#include "tests/sim/lpc/lpc_sim.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Span {
    double seconds = 0;
    std::uint64_t toPart = 0;
    std::uint64_t fromPart = 0;
};

void print(const char* what, unsigned baud, const Span& s)
{
    const double bitsPerByte = 10.0;
    const double wireEach = static_cast<double>(std::max(s.toPart, s.fromPart)) * bitsPerByte / baud;
    const double wireSum = static_cast<double>(s.toPart + s.fromPart) * bitsPerByte / baud;
    std::printf("%-16s %7u baud  %8.3f s  to part %7llu B  from part %7llu B  "
                "wire (busier direction) %8.3f s  ratio %.3f  | wire (both, serial) %8.3f s  ratio %.3f\n",
                what, baud, s.seconds, static_cast<unsigned long long>(s.toPart),
                static_cast<unsigned long long>(s.fromPart), wireEach, s.seconds / wireEach, wireSum,
                s.seconds / wireSum);
}

bool run(unsigned baud, const std::string& hexPath, const std::vector<std::uint8_t>& image)
{
    sim::LpcSim::Options options;
    options.checkBaud = true;
    options.paceWire = std::getenv("QZ_BENCH_NO_PACE") == nullptr;
    sim::LpcSim part(sim::lpc::lpc11c24(), options);
    if (!part.start()) {
        std::fprintf(stderr, "simulator did not start\n");
        return false;
    }
    ConnectOptions o = opstest::vantrelOptions(part.slavePath());
    o.baud_rate = static_cast<int>(baud);
    o.max_baud_rate = static_cast<int>(baud);

    qz_set_default_timeouts();
    const IspResult* r = qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE);
    if (r->status != 1) {
        std::fprintf(stderr, "connect: %s\n", r->text);
        return false;
    }
    r = qz_erase(-3, 0, 0, nullptr, 0, nullptr);
    if (r->status != 1) {
        std::fprintf(stderr, "erase: %s\n", r->text);
        qz_disconnect();
        return false;
    }

    auto measure = [&](auto&& op) {
        Span s;
        const std::uint64_t in0 = part.bytesReceived();
        const std::uint64_t out0 = part.bytesSent();
        const Clock::time_point t0 = Clock::now();
        const int status = op();
        s.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        s.toPart = part.bytesReceived() - in0;
        s.fromPart = part.bytesSent() - out0;
        return std::make_pair(status, s);
    };
    const auto programmed =
        measure([&] { return qz_program(hexPath.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0)->status; });
    if (programmed.first != 1) {
        std::fprintf(stderr, "program: %s\n", qz_version()->text);
        qz_disconnect();
        return false;
    }
    const auto verified = measure([&] { return qz_verify(hexPath.c_str(), 1, nullptr, 0)->status; });
    qz_disconnect();
    part.stop();
    if (verified.first != 1) {
        std::fprintf(stderr, "verify failed\n");
        return false;
    }
    std::vector<std::uint8_t> flash = part.flash();
    flash.resize(image.size());
    // The vector checksum word differs from the file; everything else must not.
    for (std::size_t i = 0; i < image.size(); ++i) {
        if ((i < 0x1C || i >= 0x20) && flash[i] != image[i]) {
            std::fprintf(stderr, "flash differs at 0x%zX\n", i);
            return false;
        }
    }
    Span both;
    both.seconds = programmed.second.seconds + verified.second.seconds;
    both.toPart = programmed.second.toPart + verified.second.toPart;
    both.fromPart = programmed.second.fromPart + verified.second.fromPart;
    print("program", baud, programmed.second);
    print("verify", baud, verified.second);
    print("program+verify", baud, both);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<unsigned> rates;
    for (int i = 1; i < argc; ++i)
        rates.push_back(static_cast<unsigned>(std::strtoul(argv[i], nullptr, 10)));
    if (rates.empty())
        rates = {115200, 9600};

    std::vector<std::uint8_t> image(32 * 1024);
    std::uint32_t x = 12345;
    for (auto& b : image) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    char path[] = "/tmp/qzbenchXXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0)
        return 1;
    // Every record written, blank ones too: the whole image goes over the wire.
    const std::string text = opstest::hexText(image, 0, false);
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    bool ok = written;
    for (unsigned baud : rates)
        ok = ok && run(baud, path, image);
    std::remove(path);
    return ok ? 0 : 1;
}
