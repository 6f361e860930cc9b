// Programs the simulated classic parts through Quasmerite, the simulator
// carrying bytes no faster than the wire would, and compares the time with
// the wire time of the bytes moved:
//   - 64 KB of 16-byte records on the 89V51RD2 (dialect 1);
//   - 16 KB of 64-byte records on the 89LPC936 (dialect 2).
// Each runs full duplex and half duplex at the given rates.
//
//   classic_program_bench [baud ...]      (default: 115200)
//
// The boot loader echoes while it receives, so both directions run at once:
// the wire time is that of the busier direction. Half duplex waits for each
// character's echo before the next and is bound by those round trips.
#include "qz_interface.h"
#include "tests/sim/classic/classic_sim.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Part {
    const char* name;
    int number;
    sim::ClassicPersona persona;
    std::size_t imageSize;
    std::size_t recordBytes;
};

Part v51rd2()
{
    sim::ClassicPersona p;
    p.layout.flashSize = 0x10000;
    p.layout.blocks = sim::classic_family_blocks(6);
    p.layout.pageSize = 128;
    p.eraseAllAsType = true;
    p.settings.bootVector = 0xFC;
    return {"89V51RD2", 49, p, 64 * 1024, 16};
}

Part lpc936()
{
    sim::ClassicPersona p;
    p.dialect = 2;
    p.queryType = 0x03;
    p.writeType = 0x02;
    p.baudType = 0x07;
    p.oscType = 0x00;
    p.oscillatorMHz = 7.3728;
    p.eraseAllCode = 0x08;
    p.layout.flashSize = 0x4000;
    p.layout.erased = 0x00;
    p.layout.blocks = sim::classic_family_blocks(8, 8);
    p.layout.pageSize = 64;
    return {"89LPC936", 50, p, 16 * 1024, 64};
}

std::vector<std::uint8_t> pseudoRandom(std::size_t size, std::uint32_t seed)
{
    std::vector<std::uint8_t> v(size);
    for (auto& b : v) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return v;
}

std::string hexText(const std::vector<std::uint8_t>& image, std::size_t perRecord)
{
    std::string s;
    char b[16];
    for (std::size_t a = 0; a < image.size(); a += perRecord) {
        const std::size_t n = std::min(perRecord, image.size() - a);
        std::snprintf(b, sizeof b, ":%02X%04X00", static_cast<unsigned>(n), static_cast<unsigned>(a));
        s += b;
        unsigned sum = static_cast<unsigned>(n) + (a >> 8 & 0xFF) + (a & 0xFF);
        for (std::size_t i = 0; i < n; ++i) {
            std::snprintf(b, sizeof b, "%02X", image[a + i]);
            s += b;
            sum += image[a + i];
        }
        std::snprintf(b, sizeof b, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
        s += b;
    }
    return s + ":00000001FF\n";
}

bool run(const Part& part, unsigned baud, bool halfDuplex)
{
    const std::vector<std::uint8_t> image = pseudoRandom(part.imageSize, 4711);
    char path[] = "/tmp/qzclassicbenchXXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0)
        return false;
    const std::string text = hexText(image, part.recordBytes);
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);

    sim::ClassicSim sim(part.persona);
    sim.setPaceWire(true);
    sim.setPaceWire(false);
    bool ok = written && sim.start();
    ConnectOptions o{};
    o.oscillator_mhz = part.persona.oscillatorMHz;
    std::snprintf(o.port_name, sizeof o.port_name, "%s", sim.slavePath().c_str());
    o.baud_rate = static_cast<int>(baud);
    o.device_id = part.number;
    o.clocks = 12;
    o.half_duplex = halfDuplex ? 1 : 0;
    o.max_baud_rate = static_cast<int>(baud);
    if (ok) {
        const IspResult* r = qz_connect(&o, QZ_CONNECT_OPTIONS_SIZE);
        ok = r->status == 1;
        if (!ok)
            std::fprintf(stderr, "connect: %s\n", r->text);
    }
    // The autobaud sender floods the line faster than a pty holds a real
    // port's writer back; the connect runs unpaced, the programming paced.
    if (ok)
        sim.setPaceWire(std::getenv("QZ_BENCH_NO_PACE") == nullptr);
    if (ok) {
        const std::uint64_t in0 = sim.bytesReceived(), out0 = sim.bytesSent();
        const Clock::time_point t0 = Clock::now();
        const IspResult* r = qz_program(path, 0, 0, 0, 0, nullptr, nullptr, 0, 1, 0, nullptr, 0);
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        const std::uint64_t toPart = sim.bytesReceived() - in0, fromPart = sim.bytesSent() - out0;
        ok = r->status == 1;
        if (!ok)
            std::fprintf(stderr, "program: %s\n", r->text);
        qz_disconnect();
        const sim::ClassicFlash f = sim.flash();
        for (std::size_t i = 0; ok && i < image.size(); ++i) {
            if (f.at(static_cast<std::uint32_t>(i)) != image[i]) {
                std::fprintf(stderr, "flash differs at 0x%zX\n", i);
                ok = false;
            }
        }
        if (ok) {
            const double wire = static_cast<double>(std::max(toPart, fromPart)) * 10.0 / baud;
            std::printf("%-9s %-4s duplex %6u baud  %8.3f s  to part %7llu B  from part %7llu B  "
                        "wire (busier direction) %8.3f s  ratio %.3f%s\n",
                        part.name, halfDuplex ? "half" : "full", baud, seconds,
                        static_cast<unsigned long long>(toPart), static_cast<unsigned long long>(fromPart), wire,
                        seconds / wire, halfDuplex ? "  (no target)" : "  (goal <= 1.2)");
            std::fflush(stdout);
        }
    }
    sim.stop();
    std::remove(path);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<unsigned> rates;
    for (int i = 1; i < argc; ++i)
        rates.push_back(static_cast<unsigned>(std::strtoul(argv[i], nullptr, 10)));
    if (rates.empty())
        rates.push_back(115200);
    bool ok = true;
    for (unsigned baud : rates)
        for (const Part& p : {v51rd2(), lpc936()})
            for (bool half : {false, true})
                ok = run(p, baud, half) && ok;
    return ok ? 0 : 1;
}
