// Where a programming run's bytes go. Each engine hands the program-source
// loader a sink over its own images; the sink also knows the part, so it
// alone says which bytes have no place in it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz {

struct Placement {
    enum Kind {
        kStored,    // taken (or, for data this run has no use for, let be)
        kElsewhere, // in another flash bank of the part, left for that bank's run
        kOutside,   // not in the part: the data would be lost
    };
    Kind kind = kStored;
    std::uint64_t outside = 0; // kOutside: the first address without a place
};

class ProgramSink {
public:
    // `count` (at least 1) bytes from `address` on; the last address may lie
    // past 4 GiB, which no part holds.
    virtual Placement place(std::uint64_t address, const std::uint8_t* bytes, std::size_t count) = 0;

protected:
    ~ProgramSink() = default;
};

} // namespace qz
