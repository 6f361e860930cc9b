// The programming engine: every data source (HEX file, JIT module,
// production tasks) is loaded into a flash image and a RAM image, the
// vector checksum and the sector checksum bytes are set, and the images are
// written to the part, flash blocks from the top down, then RAM.
#pragma once

#include "qz_interface.h"

namespace qz {

struct ProgramRequest {
    const char* hex_file = nullptr;
    bool checksum_adjust = false;
    bool use_fill_byte = false;
    unsigned char fill_byte = 0xFF;
    const char* jit_module = nullptr;
    const char* jit_arguments = nullptr;
    int jit_timeout_s = 0;
    int task_count = 0;
    const ProductionTask* tasks = nullptr;
    int final_flag = 0;
    ProgressCallback cb = nullptr;
    int user = 0;
};

IspResult* program_engine(const ProgramRequest& request);

IspResult* op_update_bootloader(const char* hex_file, ProgressCallback cb, int user);

} // namespace qz
