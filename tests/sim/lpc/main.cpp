// lpc-sim: a simulated LPC boot ROM on a pty, for trying the ISP library or
// a terminal by hand. Prints the pty's path on the first line of its output
// and serves it until interrupted.
//
//   lpc-sim [--part NAME|NUMBER] [--flash FILE] [--dump FILE] [--pace] [--check-baud] [--list]
#include "tests/sim/lpc/lpc_sim.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

void usage()
{
    std::fprintf(stderr,
                 "usage: lpc-sim [--part NAME|NUMBER] [--flash FILE] [--dump FILE] [--pace] [--check-baud] "
                 "[--list]\n"
                 "  --part        the part to be (default LPC11C24/301)\n"
                 "  --flash FILE  raw image loaded at the start of flash bank 0\n"
                 "  --dump FILE   flash bank 0 written there at exit\n"
                 "  --pace        send and handle bytes at the wire rate\n"
                 "  --check-baud  ignore bytes sent at a rate other than the ROM's\n"
                 "  --list        print the known parts and exit\n");
}

const char* causeName(sim::ResetEvent::Cause c)
{
    switch (c) {
    case sim::ResetEvent::Cause::Go: return "go";
    case sim::ResetEvent::Cause::VectorTable: return "vector table";
    case sim::ResetEvent::Cause::Reset: return "reset";
    }
    return "?";
}

} // namespace

int main(int argc, char** argv)
{
    std::string partName = "LPC11C24/301";
    std::string flashIn, flashOut;
    sim::LpcSim::Options options;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        if (a == "--part") {
            if (!value(partName)) {
                usage();
                return 2;
            }
        } else if (a == "--flash") {
            if (!value(flashIn)) {
                usage();
                return 2;
            }
        } else if (a == "--dump") {
            if (!value(flashOut)) {
                usage();
                return 2;
            }
        } else if (a == "--pace") {
            options.paceWire = true;
        } else if (a == "--check-baud") {
            options.checkBaud = true;
        } else if (a == "--list") {
            for (const sim::lpc::PartInfo& p : sim::lpc::knownParts())
                std::printf("%d %s\n", p.deviceNumber, p.name.c_str());
            return 0;
        } else {
            usage();
            return 2;
        }
    }
    const sim::lpc::PartInfo* part = sim::lpc::findPart(partName);
    if (!part) {
        std::fprintf(stderr, "lpc-sim: unknown part \"%s\" (see --list)\n", partName.c_str());
        return 2;
    }

    // Blocked before any thread starts, so that only sigwait sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sim::LpcSim lpc(*part, options);
    if (!flashIn.empty()) {
        std::ifstream in(flashIn, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "lpc-sim: cannot read %s\n", flashIn.c_str());
            return 1;
        }
        lpc.setFlash(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
    }
    lpc.setOnReset([](const sim::ResetEvent& ev) {
        std::fprintf(stderr, "lpc-sim: part left the boot ROM (%s) at 0x%08X, entry 0x%08X, sp 0x%08X\n",
                     causeName(ev.cause), ev.address, ev.entry, ev.sp);
    });
    if (!lpc.start()) {
        std::fprintf(stderr, "lpc-sim: no pty\n");
        return 1;
    }
    std::printf("%s\n", lpc.slavePath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "lpc-sim: %s (device %d) on %s\n", part->name.c_str(), part->deviceNumber,
                 lpc.slavePath().c_str());

    int sig = 0;
    sigwait(&stopSignals, &sig);
    lpc.stop();
    std::fprintf(stderr, "lpc-sim: %llu bytes received, %llu sent\n",
                 static_cast<unsigned long long>(lpc.bytesReceived()),
                 static_cast<unsigned long long>(lpc.bytesSent()));
    if (!flashOut.empty()) {
        std::vector<std::uint8_t> f = lpc.flash();
        std::ofstream out(flashOut, std::ios::binary);
        out.write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
        if (!out) {
            std::fprintf(stderr, "lpc-sim: cannot write %s\n", flashOut.c_str());
            return 1;
        }
    }
    return 0;
}
