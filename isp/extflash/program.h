// qz_program and qz_program2 of the external flash: every data source is
// placed into an image of the whole flash, which is then written chunk by
// chunk from the top down, blank chunks skipped.
#pragma once

#include "isp/core/programsource.h"
#include "qz_interface.h"

namespace qz::ext {

struct FlashProgramRequest {
    ProgramSources sources;
    bool useFillByte = false;
    unsigned char fillByte = 0xFF;
};

IspResult* program_flash(const FlashProgramRequest& request);

} // namespace qz::ext
