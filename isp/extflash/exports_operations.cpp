// The exports this library answers in its own way: connect, disconnect,
// device selection, erase and program of the external flash.
#include "isp/core/result.h"
#include "isp/extflash/connect.h"
#include "isp/extflash/erase.h"
#include "isp/extflash/program.h"

#include "qz_interface.h"

QZ_API const IspResult* qz_connect(const ConnectOptions* options, int size)
{
    return qz::ext::connect_loader(options, size);
}

QZ_API const IspResult* qz_disconnect(void)
{
    return qz::ext::disconnect_loader();
}

QZ_API const IspResult* qz_select_device(int device_id, unsigned bank)
{
    // The flash is what the loader's descriptor says.
    (void)device_id;
    (void)bank;
    return qz::set_success();
}

QZ_API const IspResult* qz_erase(int mode, unsigned block_mask, int guard, ProgressCallback cb, int user,
                                 const char* hex_file)
{
    (void)guard; // no boot loader lives in the external flash
    return qz::ext::erase_flash(mode, block_mask, cb, user, hex_file);
}

namespace {

// What qz_program and qz_program2 share; the checksum adjustment, the guard
// and the final flag have no meaning for an external flash.
qz::ext::FlashProgramRequest request(const char* hex_file, int use_fill_byte, int fill_byte, ProgressCallback cb,
                                     int user)
{
    qz::ext::FlashProgramRequest r;
    r.sources.hex_file = hex_file;
    r.sources.cb = cb;
    r.sources.user = user;
    r.useFillByte = use_fill_byte != 0;
    r.fillByte = static_cast<unsigned char>(fill_byte);
    return r;
}

} // namespace

QZ_API const IspResult* qz_program(const char* hex_file, int, int use_fill_byte, int fill_byte, int,
                                   const char* jit_module, const char* jit_arguments, int jit_timeout_s, int, int,
                                   ProgressCallback cb, int user)
{
    qz::ext::FlashProgramRequest r = request(hex_file, use_fill_byte, fill_byte, cb, user);
    r.sources.jit_module = jit_module;
    r.sources.jit_arguments = jit_arguments;
    r.sources.jit_timeout_s = jit_timeout_s;
    return qz::ext::program_flash(r);
}

QZ_API const IspResult* qz_program2(const char* hex_file, int, int use_fill_byte, int fill_byte, int,
                                    int task_count, const ProductionTask* tasks, int, int, ProgressCallback cb,
                                    int user)
{
    qz::ext::FlashProgramRequest r = request(hex_file, use_fill_byte, fill_byte, cb, user);
    r.sources.task_count = task_count;
    r.sources.tasks = tasks;
    return qz::ext::program_flash(r);
}
