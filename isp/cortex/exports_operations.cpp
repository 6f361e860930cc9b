// The exports that act on the part: connect and disconnect, erase, program,
// verify, read-back, code read protection, reset, boot ROM queries, flash
// banks and EEPROM. Each hands its arguments to the device operation.
#include "isp/cortex/ops_eeprom.h"
#include "isp/cortex/ops_erase.h"
#include "isp/cortex/ops_program.h"
#include "isp/cortex/ops_readback.h"
#include "isp/cortex/ops_security.h"
#include "isp/cortex/ops_session.h"
#include "isp/cortex/ops_verify.h"

#include "qz_interface.h"

namespace {

// What both program exports pass the same way.
qz::ProgramRequest program_request(const char* hex_file, int checksum_adjust, int use_fill_byte, int fill_byte,
                                   int final_flag, ProgressCallback cb, int user)
{
    qz::ProgramRequest r;
    r.hex_file = hex_file;
    r.checksum_adjust = checksum_adjust != 0;
    r.use_fill_byte = use_fill_byte != 0;
    r.fill_byte = static_cast<unsigned char>(fill_byte);
    r.final_flag = final_flag;
    r.cb = cb;
    r.user = user;
    return r;
}

} // namespace

QZ_API const IspResult* qz_connect(const ConnectOptions* options, int size)
{
    return qz::op_connect(options, size);
}

QZ_API const IspResult* qz_disconnect(void)
{
    return qz::op_disconnect();
}

QZ_API const IspResult* qz_read_signature(void)
{
    return qz::op_read_signature();
}

// The Cortex parts have no boot loader area to guard: the guard flag goes unread.
QZ_API const IspResult* qz_erase(int mode, unsigned block_mask, int /*guard*/, ProgressCallback cb, int user,
                                 const char* hex_file)
{
    return qz::op_erase(mode, block_mask, cb, user, hex_file);
}

QZ_API const IspResult* qz_update_bootloader(const char* hex_file, ProgressCallback cb, int user)
{
    return qz::op_update_bootloader(hex_file, cb, user);
}

QZ_API const IspResult* qz_program(const char* hex_file, int checksum_adjust, int use_fill_byte, int fill_byte,
                                   int /*guard*/, const char* jit_module, const char* jit_arguments, int jit_timeout_s,
                                   int final_flag, int, ProgressCallback cb, int user)
{
    qz::ProgramRequest r = program_request(hex_file, checksum_adjust, use_fill_byte, fill_byte, final_flag, cb, user);
    r.jit_module = jit_module;
    r.jit_arguments = jit_arguments;
    r.jit_timeout_s = jit_timeout_s;
    return qz::program_engine(r);
}

QZ_API const IspResult* qz_program2(const char* hex_file, int checksum_adjust, int use_fill_byte, int fill_byte,
                                    int /*guard*/, int task_count, const ProductionTask* tasks, int final_flag, int,
                                    ProgressCallback cb, int user)
{
    qz::ProgramRequest r = program_request(hex_file, checksum_adjust, use_fill_byte, fill_byte, final_flag, cb, user);
    r.task_count = task_count;
    r.tasks = tasks;
    return qz::program_engine(r);
}

QZ_API const IspResult* qz_verify(const char* hex_file, int skip_checksum_bytes, ProgressCallback cb, int user)
{
    return qz::op_verify(hex_file, skip_checksum_bytes, cb, user);
}

QZ_API const IspResult* qz_read_security_bits(void)
{
    return qz::op_read_security_bits();
}

QZ_API const IspResult* qz_program_security_bits(const unsigned* crp_word)
{
    return qz::op_program_security_bits(crp_word);
}

QZ_API const IspResult* qz_blank_check(unsigned start, unsigned end)
{
    return qz::op_blank_check(start, end);
}

QZ_API const IspResult* qz_read_data(unsigned start, unsigned end, const char* out_file, ProgressCallback cb,
                                     int user)
{
    return qz::op_read_data(start, end, out_file, cb, user);
}

QZ_API const IspResult* qz_read_data_to_buffer(unsigned start, unsigned end, unsigned char* buffer,
                                               ProgressCallback cb, int user)
{
    return qz::op_read_data_to_buffer(start, end, buffer, cb, user);
}

QZ_API const IspResult* qz_reset(int skip_line_reset, unsigned address, unsigned flags)
{
    return qz::op_reset(skip_line_reset, address, flags);
}

QZ_API const IspResult* qz_bootloader_version(void)
{
    return qz::op_bootloader_version();
}

QZ_API const IspResult* qz_serial_number(void)
{
    return qz::op_serial_number();
}

QZ_API const IspResult* qz_activate_flash_bank(int bank)
{
    return qz::op_activate_flash_bank(bank);
}

QZ_API const IspResult* qz_program_eeprom_from_buffer(const unsigned char* data, unsigned eeprom_address,
                                                      unsigned length)
{
    return qz::op_program_eeprom_from_buffer(data, eeprom_address, length);
}

QZ_API const IspResult* qz_read_eeprom_to_buffer(unsigned char* data, unsigned eeprom_address, unsigned length)
{
    return qz::op_read_eeprom_to_buffer(data, eeprom_address, length);
}
