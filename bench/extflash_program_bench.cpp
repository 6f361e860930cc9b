// Programming 64 KiB of external flash through QuasmeriteExtFlash at
// 115200 baud, 256-byte chunks, against a loader part that handles and
// sends bytes no faster than the wire: the time taken against the wire
// time of the busier direction, for a full and a half-blank image.
#include "qz_interface.h"
#include "tests/sim/loader/loader_image.h"
#include "tests/sim/loader/loader_sim.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned kBaud = 115200;

struct Run {
    double seconds;
    double wireSeconds;
    std::uint64_t toPart;
    std::uint64_t fromPart;
};

bool program(sim::LoaderSim& part, const std::string& file, Run* run)
{
    const std::uint64_t in0 = part.bytesReceived();
    const std::uint64_t out0 = part.bytesSent();
    const auto t0 = std::chrono::steady_clock::now();
    const IspResult* r = qz_program(file.c_str(), 0, 0, 0, 0, nullptr, nullptr, 0, 0, 0, nullptr, 0);
    const auto t1 = std::chrono::steady_clock::now();
    if (r->status != 1) {
        std::fprintf(stderr, "program failed: %d %s\n", r->status, r->text);
        return false;
    }
    run->seconds = std::chrono::duration<double>(t1 - t0).count();
    run->toPart = part.bytesReceived() - in0;
    run->fromPart = part.bytesSent() - out0;
    const std::uint64_t busier = run->toPart > run->fromPart ? run->toPart : run->fromPart;
    run->wireSeconds = static_cast<double>(busier) * 10.0 / kBaud;
    return true;
}

void report(const char* name, const Run& r)
{
    std::printf("%-18s %7.3f s  wire %7.3f s (%llu bytes to the part, %llu back)  ratio %.3f\n", name, r.seconds,
                r.wireSeconds, static_cast<unsigned long long>(r.toPart), static_cast<unsigned long long>(r.fromPart),
                r.seconds / r.wireSeconds);
}

} // namespace

int main()
{
    char dir[] = "/tmp/extflashbenchXXXXXX";
    if (!mkdtemp(dir))
        return 1;
    const std::string folder = dir;

    sim::loader::DescriptorFields desc;
    desc.flashStart = 0x80000000;
    desc.flashEnd = 0x8000FFFF;
    desc.chunkSize = 256;
    const std::string loader = folder + "/loader.hex";
    sim::loader::writeFile(loader, sim::loader::loaderHex(desc));

    std::vector<std::uint8_t> full(0x10000);
    for (std::size_t i = 0; i < full.size(); ++i)
        full[i] = static_cast<std::uint8_t>((i * 31 + 7) & 0xFF);
    std::vector<std::uint8_t> half = full;
    for (std::size_t chunk = 0; chunk < half.size() / 256; chunk += 2)
        std::memset(half.data() + chunk * 256, 0xFF, 256);
    const std::string fullFile = folder + "/full.hex";
    const std::string halfFile = folder + "/half.hex";
    sim::loader::writeFile(fullFile, sim::loader::hexText(desc.flashStart, full));
    sim::loader::writeFile(halfFile, sim::loader::hexText(desc.flashStart, half));

    sim::loader::LoaderConfig config;
    config.flashStart = desc.flashStart;
    config.flashSize = 0x10000;
    config.eraseBlockSize = desc.eraseBlockSize;
    config.chunkSize = desc.chunkSize;
    sim::LoaderSim part(config, sim::LoaderSimOptions{true});
    if (!part.start(sim::loader::Persona::Loader))
        return 1;

    ConnectOptions o;
    std::memset(&o, 0, sizeof o);
    std::snprintf(o.port_name, sizeof o.port_name, "%s", part.slavePath().c_str());
    o.baud_rate = kBaud;
    std::snprintf(o.flash_loader_path, sizeof o.flash_loader_path, "%s", loader.c_str());
    qz_set_autobaud_configuration(2000, 2000, 20);
    const IspResult* c = qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE);
    if (c->status != 1) {
        std::fprintf(stderr, "connect failed: %d %s\n", c->status, c->text);
        return 1;
    }

    Run f{};
    Run h{};
    int rc = 0;
    if (qz_erase(-3, 0, 0, nullptr, 0, nullptr)->status != 1 || !program(part, fullFile, &f))
        rc = 1;
    if (rc == 0 && (qz_erase(-3, 0, 0, nullptr, 0, nullptr)->status != 1 || !program(part, halfFile, &h)))
        rc = 1;
    if (rc == 0) {
        if (part.flash() != half) {
            std::fprintf(stderr, "flash differs from the half-blank image\n");
            rc = 1;
        }
        std::printf("64 KiB external flash at %u baud, 256-byte chunks, wire-paced loader\n", kBaud);
        report("full image", f);
        report("half-blank image", h);
        std::printf("half-blank / full time: %.3f (goal: about 0.5); full ratio goal <= 1.15\n", h.seconds / f.seconds);
    }
    qz_disconnect();
    part.stop();
    std::remove(loader.c_str());
    std::remove(fullFile.c_str());
    std::remove(halfFile.c_str());
    rmdir(dir);
    return rc;
}
