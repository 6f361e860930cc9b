// A command whose reply did not come whole may still be at work in the
// loader (a chip erase can outlast any time-out) and answer late. Until the
// loader is known to be done with it nothing else is sent, so that its late
// reply is never taken for the answer to a retry or to the next command.
#pragma once

#include <cstdint>

namespace qz::ext {

// The exchange of `block` (the command's 16 bytes) ended without its whole
// reply; `wanted` is the reply that means success. A null block: what the
// loader still owes is not one known reply (a broken program exchange).
void owe_reply(const std::uint8_t* block, int wanted);

// A fresh connect starts in step.
void forget_owed_reply();

enum class CatchUp {
    kInStep,   // nothing owed, or the loader is done with what it owed
    kAnswered, // the loader owed `block` itself, and its late reply was success
    kBusy,     // the loader did not come back: send nothing
};

// Before a command is sent: when a reply is owed, queries the loader and
// reads, under the long time-out, until it names itself. It answers a query
// only when done with what came before, so every line ahead of its name is
// late.
CatchUp catch_up(const std::uint8_t* block);

} // namespace qz::ext
