// The few ways the classic driver's serial layer differs from the Cortex
// one. Each library sets its flavour once when it is loaded; the layer's
// code is the same for both.
#pragma once

namespace qz {

struct SerialFlavour {
    // enter_isp_lines asserts PSEN before RST.
    bool psenBeforeRst;
    // release_reset_isp ends with a 350 ms pause.
    bool pauseAfterIspRelease;
    // configure_port discards both queues before moving the lines (and not
    // at its end), logging "DTR and RTS deasserted".
    bool discardBeforeLines;
    // Reads take pushed-back bytes first.
    bool pushBack;
    // close_port leaves the lines alone once qz_reset asked for it.
    bool honourSkipFlag;
    // The classic log lines: "comport=%d" on open, "failed to open com %s",
    // "comport=%d,bytestowrite=%d" on each write, "WriteFile error - ...",
    // "Readfile error - ...".
    bool classicLogLines;
};

constexpr SerialFlavour kCortexSerialFlavour = {false, true, false, true, true, false};
constexpr SerialFlavour kClassicSerialFlavour = {true, false, true, false, false, true};

const SerialFlavour& serial_flavour();
void set_serial_flavour(const SerialFlavour& flavour);

} // namespace qz
