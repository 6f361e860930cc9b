// Code read protection (CRP): finding the part's level and writing the word.
#pragma once

#include "qz_interface.h"

namespace qz {

// Data byte 0 := 0 (not set), 1, or 2 (level 2 or 3).
IspResult* op_read_security_bits();
IspResult* op_program_security_bits(const unsigned* crp_word);

} // namespace qz
