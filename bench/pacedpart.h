// What the ISP benchmarks share: a simulator carrying bytes no faster than
// the wire would (QZ_BENCH_NO_PACE=1 lifts that), the
// connection to it at one rate, the rates from the command line and the
// pseudo-random flash contents.
#pragma once

#include "qz_interface.h"
#include "tests/isp/core/opsfixture.h"
#include "tests/sim/lpc/lpc_sim.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace bench {

inline sim::LpcSim::Options pacedOptions()
{
    sim::LpcSim::Options options;
    options.checkBaud = true;
    options.paceWire = std::getenv("QZ_BENCH_NO_PACE") == nullptr;
    return options;
}

// Starts the part and connects to it at `baud`; false, said on stderr, when
// either fails.
inline bool startAndConnect(sim::LpcSim& part, unsigned baud)
{
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
    return true;
}

inline std::vector<unsigned> baudRates(int argc, char** argv, std::vector<unsigned> fallback)
{
    std::vector<unsigned> rates;
    for (int i = 1; i < argc; ++i)
        rates.push_back(static_cast<unsigned>(std::strtoul(argv[i], nullptr, 10)));
    return rates.empty() ? fallback : rates;
}

inline std::vector<std::uint8_t> pseudoRandomImage(std::size_t size, std::uint32_t seed)
{
    std::vector<std::uint8_t> image(size);
    for (auto& b : image) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return image;
}

} // namespace bench
