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

QZ_API const IspResult* qz_program(const char* hex_file, int checksum_adjust, int use_fill_byte, int fill_byte,
                                   int guard, const char* jit_module, const char* jit_arguments,
                                   int jit_timeout_s, int final_flag, int ignored, ProgressCallback cb, int user)
{
    (void)checksum_adjust;
    (void)guard;
    (void)final_flag;
    (void)ignored;
    qz::ext::FlashProgramRequest r;
    r.hexFile = hex_file;
    r.useFillByte = use_fill_byte != 0;
    r.fillByte = static_cast<unsigned char>(fill_byte);
    r.jitModule = jit_module;
    r.jitArguments = jit_arguments;
    r.jitTimeoutS = jit_timeout_s;
    r.cb = cb;
    r.user = user;
    return qz::ext::program_flash(r);
}

QZ_API const IspResult* qz_program2(const char* hex_file, int checksum_adjust, int use_fill_byte, int fill_byte,
                                    int guard, int task_count, const ProductionTask* tasks, int final_flag,
                                    int ignored, ProgressCallback cb, int user)
{
    (void)checksum_adjust;
    (void)guard;
    (void)final_flag;
    (void)ignored;
    qz::ext::FlashProgramRequest r;
    r.hexFile = hex_file;
    r.useFillByte = use_fill_byte != 0;
    r.fillByte = static_cast<unsigned char>(fill_byte);
    r.taskCount = task_count;
    r.tasks = tasks;
    r.cb = cb;
    r.user = user;
    return qz::ext::program_flash(r);
}
