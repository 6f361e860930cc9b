// The simulated converter's microcontroller, an LPC11C24, below its
// firmware. Attached to a ConverterSim, it makes the converter do what the
// real one does on "FU":
//
//   1. once "OK\r" has gone out, the converter hands its pty to the
//      LPC11C24 boot ROM (an LpcSim on the same pty), which then answers
//      NXP's ISP protocol there;
//   2. when the ISP library starts the programmed firmware ("G" into flash,
//      as qz_reset does), the converter runs that firmware: it serves the
//      line again as after a power-up (the saved configuration becomes the
//      working one), and "FV" answers the version the new image carries.
//
// Firmware version inside an image: the marker "VTRLFW:" followed by the
// version text, printable ASCII up to the first other byte, at most 15
// characters (so "...VTRLFW:V2.05\0..." answers "FV" with "V2.05\r"). The
// first marker in the flash counts. An image without the marker, or with an
// empty version after it, leaves the version as it was.
//
// The flash keeps its contents from one upgrade to the next (it starts
// erased). A "G" to RAM code that is no library routine starts no firmware:
// the line stays with the part, which no longer answers.
//
// Attach after constructing the converter and before "FU" arrives; detach
// (destroy) before destroying the converter. Thread-safe.
#pragma once

#include "tests/sim/converter/converter_sim.h"
#include "tests/sim/lpc/lpc_sim.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

class ConverterBootRom {
public:
    static constexpr const char* kVersionMarker = "VTRLFW:";
    static constexpr std::size_t kMaxVersionLength = 15;

    explicit ConverterBootRom(ConverterSim& converter, LpcSimOptions options = {});
    ~ConverterBootRom();
    ConverterBootRom(const ConverterBootRom&) = delete;
    ConverterBootRom& operator=(const ConverterBootRom&) = delete;

    // The boot ROM (for its records, faults and flash).
    LpcSim& rom();
    std::vector<std::uint8_t> flash() const;

    // How often the boot ROM was entered through "FU", and how often new
    // firmware started afterwards.
    int bootRomEntries() const;
    int firmwareStarts() const;
    bool waitForFirmwareStarts(int count, int timeoutMs = LpcSim::kDefaultWaitMs) const;

    // The version an image carries ("" when it has no marker), and an image
    // with the marker and `version` written at `offset` (the image grows
    // with 0xFF when too short).
    static std::string imageVersion(const std::vector<std::uint8_t>& image);
    static std::vector<std::uint8_t> withVersion(std::vector<std::uint8_t> image, std::size_t offset,
                                                 const std::string& version);

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace sim
