// A flashless LPC part whose boot ROM starts the loader that ISP wrote to
// its RAM: when the LPC simulator's "G" (or the library's vector table
// start) leaves the ROM for RAM, the loader persona takes the pty over,
// announces itself and handles whatever the line already carried.
#pragma once

#include "tests/sim/loader/loader_sim.h"
#include "tests/sim/lpc/lpc_sim.h"

#include <atomic>
#include <memory>

namespace sim {

class LoaderHandover {
public:
    // Both simulators must outlive this object; `lpc` must not run yet.
    LoaderHandover(LpcSim& lpc, const loader::LoaderConfig& config, LoaderSim::Options options = {});
    ~LoaderHandover();

    LoaderSim& loader() { return *loader_; }
    int handovers() const { return handovers_.load(); }
    // The RAM the loader started from, as the boot ROM left it.
    std::vector<std::uint8_t> ramAtStart() const;

private:
    LpcSim& lpc_;
    std::unique_ptr<LoaderSim> loader_;
    std::atomic<int> handovers_{0};
    mutable std::mutex mu_;
    std::vector<std::uint8_t> ram_;
};

} // namespace sim
