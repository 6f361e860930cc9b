// The EEPROM of parts that have one, reached through IAP routines in RAM.
#pragma once

#include "qz_interface.h"

namespace qz {

IspResult* op_program_eeprom_from_buffer(const unsigned char* data, unsigned eeprom_address, unsigned length);
IspResult* op_read_eeprom_to_buffer(unsigned char* data, unsigned eeprom_address, unsigned length);

} // namespace qz
