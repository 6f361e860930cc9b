// The loader's 16-byte command blocks and their exchanges. Each returns 1,
// or -18 when the block cannot be sent or the loader does not accept it.
// Replies are awaited under the long time-outs; the short ones hold after.
// After an exchange that broke off, the next one first waits until the
// loader is done with it (owedreply.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qz::ext {

constexpr std::size_t kCommandBlockSize = 16;

int loader_erase_all();
int loader_erase_block(std::uint32_t address);
// `count` bytes from `address` in pieces of `pieceSize`; each piece is
// answered "PROGOK", the whole "OK". count must be a non-zero multiple of
// pieceSize and at most 65535 pieces.
int loader_program_block(std::uint32_t address, const std::uint8_t* data, std::size_t count, std::size_t pieceSize);

} // namespace qz::ext
