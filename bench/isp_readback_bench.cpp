// Reads 32 KiB of the simulated LPC11C24 back into a HEX file through
// QuasmeriteARMCortex, with the simulator carrying bytes no faster than the
// wire would, and compares the time with the wire time of the bytes the
// part sent (the busier direction of a read-back).
//
//   isp_readback_bench [baud ...]      (default: 115200)
//
// QZ_BENCH_NO_PACE=1 runs the simulator unpaced.
#include "qz_interface.h"
#include "tests/isp/core/opsfixture.h"
#include "tests/sim/lpc/lpc_sim.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

bool run(unsigned baud, const std::string& outPath)
{
    sim::LpcSim::Options options;
    options.checkBaud = true;
    options.paceWire = std::getenv("QZ_BENCH_NO_PACE") == nullptr;
    sim::LpcSim part(sim::lpc::lpc11c24(), options);
    std::vector<std::uint8_t> image(32 * 1024);
    std::uint32_t x = 4711;
    for (auto& b : image) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    image[0x2FC] = image[0x2FD] = image[0x2FE] = image[0x2FF] = 0xFF; // no CRP
    part.setFlash(image);
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
    const std::uint64_t in0 = part.bytesReceived();
    const std::uint64_t out0 = part.bytesSent();
    const Clock::time_point t0 = Clock::now();
    r = qz_read_data(0, 0x7FFF, outPath.c_str(), nullptr, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    const int status = r->status;
    const std::uint64_t toPart = part.bytesReceived() - in0;
    const std::uint64_t fromPart = part.bytesSent() - out0;
    qz_disconnect();
    part.stop();
    if (status != 1) {
        std::fprintf(stderr, "read-back failed\n");
        return false;
    }
    const double wire = static_cast<double>(fromPart) * 10.0 / baud;
    std::printf("read-back 32 KiB %7u baud  %8.3f s  to part %6llu B  from part %7llu B  "
                "wire (received) %8.3f s  ratio %.3f\n",
                baud, seconds, static_cast<unsigned long long>(toPart), static_cast<unsigned long long>(fromPart),
                wire, seconds / wire);
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
        rates = {115200};
    char path[] = "/tmp/qzreadbenchXXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0)
        return 1;
    ::close(fd);
    bool ok = true;
    for (unsigned baud : rates)
        ok = ok && run(baud, path);
    std::remove(path);
    return ok ? 0 : 1;
}
