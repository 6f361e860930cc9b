// A command whose reply did not come whole may still be at work in the
// loader (a chip erase can outlast any time-out) and answer late. Until the
// loader is known to be done with it nothing else is sent, and a late line
// counts only for the command it belongs to: never for a retry of another
// one, nor for the next command.
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
    kRefused,  // the loader owed `block` itself, and its late reply was another
    kBusy,     // the loader did not come back within the try: send nothing
};

// Before a command is sent: when a reply is owed, queries the loader and
// reads, under the long time-out, until it names itself. The loader answers
// a query only when done with what came before, so the owed reply comes
// ahead of its name; should it still be missing when the name comes, it is
// waited for one short time-out at most, within the long one. Every try
// sends a query of its own, so a query or a name lost on the line costs that
// try only.
CatchUp catch_up(const std::uint8_t* block);

// A line that cannot answer a command: the loader's name, left by a query
// whose answer came after the catch-up that sent it was over.
bool stale_line(int code);

} // namespace qz::ext
