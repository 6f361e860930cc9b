// qz_program and qz_program2 of the external flash: every data source is
// placed into an image of the whole flash, which is then written chunk by
// chunk from the top down, blank chunks skipped.
#pragma once

#include "qz_interface.h"

namespace qz::ext {

struct FlashProgramRequest {
    const char* hexFile = nullptr;
    bool useFillByte = false;
    unsigned char fillByte = 0xFF;
    const char* jitModule = nullptr;
    const char* jitArguments = nullptr;
    int jitTimeoutS = 0;
    int taskCount = 0;
    const ProductionTask* tasks = nullptr;
    ProgressCallback cb = nullptr;
    int user = 0;
};

IspResult* program_flash(const FlashProgramRequest& request);

} // namespace qz::ext
