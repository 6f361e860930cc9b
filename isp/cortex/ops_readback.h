// Reading the part's memory back, into an Intel HEX file or a buffer.
#pragma once

#include "qz_interface.h"

namespace qz {

IspResult* op_read_data(unsigned start, unsigned end, const char* out_file, ProgressCallback cb, int user);
IspResult* op_read_data_to_buffer(unsigned start, unsigned end, unsigned char* buffer, ProgressCallback cb,
                                  int user);

} // namespace qz
