// The classic device operations that this version of the driver does not
// carry yet (programming, erase, read-back and the device settings). Each
// refuses plainly: -7 without a selected part or an open port, else -16
// naming the operation. None touches the part or claims success.
#include "isp/classic/classic_state.h"
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"

#include "qz_interface.h"

namespace {

const IspResult* pending(const char* words)
{
    if (!qz::selected_classic_device() || !qz::port_is_open())
        return qz::set_result(qz::kErrNoConnection);
    return qz::set_result(qz::kErrNotSupported, words);
}

} // namespace

QZ_API const IspResult* qz_read_signature(void) { return pending("(read signature)"); }
QZ_API const IspResult* qz_erase(int, unsigned, int, ProgressCallback, int, const char*) { return pending("(erase)"); }
QZ_API const IspResult* qz_program(const char*, int, int, int, int, const char*, const char*, int, int, int,
                                   ProgressCallback, int)
{
    return pending("(program)");
}
QZ_API const IspResult* qz_program2(const char*, int, int, int, int, int, const ProductionTask*, int, int,
                                    ProgressCallback, int)
{
    return pending("(program)");
}
QZ_API const IspResult* qz_set_password(const char*, int) { return pending("(set password)"); }
QZ_API const IspResult* qz_verify_password(const char*, int) { return pending("(verify password)"); }
QZ_API const IspResult* qz_reset_password(void) { return pending("(reset password)"); }
QZ_API const IspResult* qz_reset(int, unsigned, unsigned) { return pending("(reset)"); }
