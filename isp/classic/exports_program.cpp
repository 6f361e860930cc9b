// Exports of the classic programming engine: program, erase, signature,
// reset and the device passwords.
#include "isp/classic/classic_erase.h"
#include "isp/classic/classic_state.h"
#include "isp/classic/command_templates.h"
#include "isp/classic/dialect_commands.h"
#include "isp/classic/program_engine.h"
#include "isp/classic/settings_writes.h"
#include "isp/classic/transmission.h"
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"

#include "qz_interface.h"

#include <cstring>
#include <string>

namespace {

using namespace qz;

ClassicProgramRequest request(const char* hex_file, int checksum_adjust, int use_fill_byte, int fill_byte, int guard,
                              int final_flag, ProgressCallback cb, int user)
{
    ClassicProgramRequest r;
    r.hex_file = hex_file;
    r.checksum_adjust = checksum_adjust;
    r.use_fill_byte = use_fill_byte;
    r.fill_byte = fill_byte;
    r.guard = guard;
    r.final_flag = final_flag;
    r.cb = cb;
    r.user = user;
    return r;
}

// The selected part with an open port, or nullptr after reporting -7.
const ClassicDeviceRecord* connected()
{
    const ClassicDeviceRecord* d = selected_classic_device();
    if (!d || !port_is_open()) {
        set_result(kErrNoConnection);
        return nullptr;
    }
    return d;
}

// -24, -21, -18 with the step's texts, -2 as "(transmit/receive)", any other
// code without detail.
const IspResult* password_failure(int r, const char* words)
{
    switch (r) {
    case kEnginePasswordNeeded:
    case kEngineSecurityViolation:
    case kEngineOperationFailed:
    case kEngineTransmitReceive:
        return report_engine_failure(r, words);
    default:
        return set_result(r);
    }
}

const IspResult* password_command(const char* password, int length, bool verify)
{
    const ClassicDeviceRecord* d = selected_classic_device();
    if (d && !d->passwords_supported)
        return set_result(kErrNotSupported, verify ? "(verify password)" : "(set password)");
    d = connected();
    if (!d)
        return isp_result();
    if (!password || length < 1 || length > 31)
        return set_result(kErrInvalidValue);
    if (record_dialect(*d) == kDialect2)
        return set_success();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(password);
    const std::string c = verify ? d1_verify_password_command(bytes, length) : d1_set_password_command(bytes, length);
    const int r = tried_until_done([&] { return send_command(c); });
    return r >= 0 ? set_success() : password_failure(r, "setting password");
}

// One step of qz_reset, up to 6 tries; the failure detail names the step.
IspResult* reset_step_failure(int r, const char* words)
{
    return report_engine_failure(r, words);
}

} // namespace

QZ_API const IspResult* qz_program(const char* hex_file, int checksum_adjust, int use_fill_byte, int fill_byte,
                                   int guard, const char* jit_module, const char* jit_arguments, int jit_timeout_s,
                                   int final_flag, int, ProgressCallback cb, int user)
{
    ClassicProgramRequest r = request(hex_file, checksum_adjust, use_fill_byte, fill_byte, guard, final_flag, cb, user);
    r.jit_module = jit_module;
    r.jit_arguments = jit_arguments;
    r.jit_timeout_s = jit_timeout_s;
    return program_engine(r);
}

QZ_API const IspResult* qz_program2(const char* hex_file, int checksum_adjust, int use_fill_byte, int fill_byte,
                                    int guard, int task_count, const ProductionTask* tasks, int final_flag, int,
                                    ProgressCallback cb, int user)
{
    ClassicProgramRequest r = request(hex_file, checksum_adjust, use_fill_byte, fill_byte, guard, final_flag, cb, user);
    r.task_count = task_count;
    r.tasks = tasks;
    return program_engine(r);
}

QZ_API const IspResult* qz_erase(int mode, unsigned block_mask, int guard, ProgressCallback cb, int user,
                                 const char* hex_file)
{
    return classic_erase(mode, block_mask, guard, cb, user, hex_file);
}

QZ_API const IspResult* qz_read_signature(void)
{
    const ClassicDeviceRecord* d = connected();
    if (!d)
        return isp_result();
    std::uint8_t bytes[4] = {};
    const int r = tried_until_done([&] { return read_signature(*d, bytes); });
    switch (r) {
    case 1: {
        IspResult* res = set_success();
        std::memset(res->data, 0, 4);
        std::memcpy(res->data, bytes, d->signature_bytes < 4 ? d->signature_bytes : 4);
        return res;
    }
    case kEngineTransmitReceive: return set_result(kErrCommunicate, "(transmit/receive)");
    case kEnginePasswordNeeded:
        return set_result(kErrOperationFailed, "(reading sigature - please unlock the device by supplying a password)");
    case kEngineI2cError:
        return report_engine_failure(r, "reading sigature");
    case kEngineSecurityViolation: return set_result(kErrOperationFailed, "(reading sigature - security violation)");
    case kEngineOperationFailed: return set_result(kErrOperationFailed, "(reading sigature)");
    default: return set_result(r);
    }
}

QZ_API const IspResult* qz_reset(int program_bv_sb, unsigned, unsigned)
{
    const ClassicState& s = classic_state();
    const bool icp3 = s.useIcp && s.icpInterface == 3;
    const ClassicDeviceRecord* d = selected_classic_device();
    if (d && !d->reset_allowed && !icp3)
        return set_result(kErrNotSupported, "(reset)");
    d = connected();
    if (!d)
        return isp_result();
    if (program_bv_sb == 1 && !boot_vector_in_place(*d)) {
        const bool d2 = record_dialect(*d) == kDialect2;
        int r = 1;
        if (!d2) {
            r = tried_until_done([&] { return d1_erase_bv_sb(*d); });
            if (r != 1)
                return reset_step_failure(r, "erasing BV and SB");
        }
        r = tried_until_done([&] {
            if (!d2)
                return d1_program_boot_vector(*d, d->reset_boot_vector);
            if (!d->boot_vector_programmable)
                return 1;
            return send_command(d2_program_boot_vector_command(*d, d->reset_boot_vector));
        });
        if (r != 1)
            return reset_step_failure(r, "programming BV");
        r = tried_until_done([&] { return d2 ? d2_write_status_bit(*d, 0) : d1_program_status_byte(*d, 0); });
        if (r != 1)
            return reset_step_failure(r, "programming SB");
    }
    const int method = icp3 ? 2 : d->reset_method;
    const int r = tried_until_done([&] { return send_reset(method); });
    if (r != 1)
        return reset_step_failure(r, "bootrom reset");
    return set_success();
}

QZ_API const IspResult* qz_set_password(const char* password, int length)
{
    return password_command(password, length, false);
}

QZ_API const IspResult* qz_verify_password(const char* password, int length)
{
    return password_command(password, length, true);
}

QZ_API const IspResult* qz_reset_password(void)
{
    const ClassicDeviceRecord* d = selected_classic_device();
    if (d && !d->passwords_supported)
        return set_result(kErrNotSupported, "(reset password)");
    d = connected();
    if (!d)
        return isp_result();
    if (record_dialect(*d) == kDialect2)
        return set_success();
    const std::string c = d1_reset_password_command();
    const int r = tried_until_done([&] { return send_command(c); });
    return r >= 0 ? set_success() : password_failure(r, "resetting password");
}
