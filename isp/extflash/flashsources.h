// Loading the data to program into the external flash image: the HEX file,
// the JIT module's data, then the production tasks, each placed only
// within the flash.
#pragma once

#include "qz_interface.h"
#include "isp/extflash/program.h"

#include <cstdint>

namespace qz::ext {

struct FlashImageView {
    std::uint8_t* bytes;
    std::uint32_t first; // flash start
    std::uint32_t last;  // flash end, inclusive
};

// Null when every source was loaded; else the failure, already reported.
IspResult* load_flash_sources(const FlashProgramRequest& request, const FlashImageView& image);

} // namespace qz::ext
