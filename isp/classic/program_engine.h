// The classic programming run behind qz_program and qz_program2: every
// source into a flash image (checked before the part is touched), checksum
// adjuster bytes, then the records that hold data, the end-of-file record,
// the lifted settings and the boot vector step.
#pragma once

#include "qz_interface.h"

#include <cstdint>

namespace qz {

struct ClassicProgramRequest {
    const char* hex_file = nullptr;
    int checksum_adjust = 0;
    int use_fill_byte = 0;
    int fill_byte = 0;
    int guard = 0; // spare the boot loader's area
    const char* jit_module = nullptr;
    const char* jit_arguments = nullptr;
    int jit_timeout_s = 0;
    const ProductionTask* tasks = nullptr;
    int task_count = 0;
    int final_flag = 0; // 1: no boot vector step
    ProgressCallback cb = nullptr;
    int user = 0;
};

// The image size of a run on the selected part: its flash, or with the guard
// on a guarded part only the flash below the boot loader.
std::uint32_t program_image_size(const ClassicProgramRequest& request);

// A run over the whole flash image.
IspResult* program_engine(const ClassicProgramRequest& request);

// A run over `size` bytes from `base`, inside the part's memory
// part_first..part_last (the flash, or its EEPROM).
IspResult* program_image(const ClassicProgramRequest& request, std::uint32_t base, std::uint32_t size,
                         std::uint64_t part_first, std::uint64_t part_last);

} // namespace qz
