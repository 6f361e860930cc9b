// classic-sim: a simulated classic boot loader on a pty, for trying the
// classic ISP library or a terminal by hand. Prints the pty's path on the
// first line of its output and serves it until interrupted.
//
//   classic-sim [--dialect 1|2] [--sync CHAR] [--osc MHZ] [--clocks 6|12] [--held]
#include "tests/sim/classic/classic_sim.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    sim::ClassicPersona persona;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--dialect" && more) {
            persona.dialect = std::atoi(argv[++i]) == 2 ? 2 : 1;
            if (persona.dialect == 2) {
                persona.queryType = 0x03;
                persona.writeType = 0x02;
                persona.baudType = 0x07;
                persona.oscType = 0x00;
            }
        } else if (a == "--sync" && more) {
            persona.sync = argv[++i][0];
        } else if (a == "--osc" && more) {
            persona.oscillatorMHz = std::atof(argv[++i]);
        } else if (a == "--clocks" && more) {
            persona.clocks = std::atoi(argv[++i]);
        } else if (a == "--held") {
            persona.heldUntilReset = true;
        } else {
            std::fprintf(stderr, "usage: classic-sim [--dialect 1|2] [--sync CHAR] [--osc MHZ] "
                                 "[--clocks 6|12] [--held]\n");
            return 2;
        }
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigaddset(&stopSignals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sim::ClassicSim part(persona);
    if (!part.start()) {
        std::fprintf(stderr, "classic-sim: no pty\n");
        return 1;
    }
    std::printf("%s\n", part.slavePath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "classic-sim: dialect %d on %s%s\n", persona.dialect, part.slavePath().c_str(),
                 persona.heldUntilReset ? " (held: send SIGUSR1 to reset)" : "");
    for (;;) {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        if (sig != SIGUSR1)
            break;
        part.reset();
    }
    part.stop();
    return 0;
}
