// Reads 32 KiB of the simulated LPC11C24 back into a HEX file through
// QuasmeriteARMCortex, with the simulator carrying bytes no faster than the
// wire would, and compares the time with the wire time of the bytes the
// part sent (the busier direction of a read-back).
//
//   isp_readback_bench [baud ...]      (default: 115200)
//
// QZ_BENCH_NO_PACE=1 runs the simulator unpaced.
#include "bench/pacedpart.h"

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
    sim::LpcSim part(sim::lpc::lpc11c24(), bench::pacedOptions());
    std::vector<std::uint8_t> image = bench::pseudoRandomImage(32 * 1024, 4711);
    image[0x2FC] = image[0x2FD] = image[0x2FE] = image[0x2FF] = 0xFF; // no CRP
    part.setFlash(image);
    if (!bench::startAndConnect(part, baud))
        return false;
    const IspResult* r = nullptr;
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
    const std::vector<unsigned> rates = bench::baudRates(argc, argv, {115200});
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
