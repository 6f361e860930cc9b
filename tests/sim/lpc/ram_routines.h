// The small RAM routines the ISP library downloads and starts with "G":
// recognised byte for byte so that the simulated part can carry out what
// the code would do.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim::lpc {

enum class RoutineKind {
    Unknown,          // anything else: the part runs it as user code
    RegisterWrite,    // vector map: stores `value` to the register at `address`
    VectorTableStart, // loads SP and entry from the table at `address` and branches
    EepromWrite,      // IAP 61 through the ROM's entry 0x1FFF1FF1
    EepromRead,       // IAP 62
};

struct Routine {
    RoutineKind kind = RoutineKind::Unknown;
    bool needsThumb2 = false; // faults on a Cortex-M0
    std::uint32_t address = 0;
    std::uint32_t value = 0;
    // EEPROM routines.
    std::uint32_t eepromAddress = 0;
    std::uint32_t ramAddress = 0;
    std::uint32_t length = 0;
    std::uint32_t clockKHz = 0;
};

// `code` holds the bytes from the "G" address on (`size` of them).
Routine identifyRoutine(const std::uint8_t* code, std::size_t size);

} // namespace sim::lpc
