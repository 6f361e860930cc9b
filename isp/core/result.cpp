#include "isp/core/result.h"

#include "isp/core/errorcodes.h"
#include "isp/core/session.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace qz {

namespace {

// Appends `src` to the NUL-terminated text, cutting what does not fit.
void append_text(char* text, std::size_t size, const char* src)
{
    std::size_t used = strnlen(text, size - 1);
    std::size_t room = size - 1 - used;
    std::size_t n = strnlen(src, room);
    std::memcpy(text + used, src, n);
    text[used + n] = '\0';
}

void copy_text(char* text, std::size_t size, const char* src)
{
    text[0] = '\0';
    append_text(text, size, src ? src : "");
}

}  // namespace

IspResult* isp_result()
{
    return &session().result;
}

IspResult* set_result(int code, const char* detail)
{
    IspResult* r = isp_result();
    r->status = 0;
    if (const ErrorCodeEntry* e = find_error_code(code)) {
        r->status = e->code;
        copy_text(r->text, sizeof r->text, e->text);
    }
    if (r->status != 0 && detail) {
        append_text(r->text, sizeof r->text, " ");
        append_text(r->text, sizeof r->text, detail);
    }
    return r;
}

IspResult* set_result_f(int code, const char* detailFormat, ...)
{
    va_list ap;
    va_start(ap, detailFormat);
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(nullptr, 0, detailFormat, copy);
    va_end(copy);
    std::string detail;
    if (n > 0) {
        detail.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(&detail[0], detail.size(), detailFormat, ap);
        detail.resize(static_cast<std::size_t>(n));
    }
    va_end(ap);
    return set_result(code, detail.c_str());
}

IspResult* set_success()
{
    IspResult* r = isp_result();
    r->status = QZ_STATUS_SUCCESS;
    return r;
}

IspResult* set_status_text(int status, const char* text)
{
    IspResult* r = isp_result();
    r->status = status;
    copy_text(r->text, sizeof r->text, text);
    return r;
}

void set_result_be(int offset, uint32_t value, int bytes)
{
    IspResult* r = isp_result();
    if (offset < 0 || bytes < 0 || bytes > 4 || offset + bytes > QZ_RESULT_DATA_SIZE)
        return;
    for (int i = 0; i < bytes; ++i)
        r->data[offset + i] = static_cast<unsigned char>(value >> (8 * (bytes - 1 - i)));
}

const char* engine_reason(int engineCode)
{
    switch (engineCode) {
    case kEnginePasswordNeeded:
        return " - please unlock the device by supplying a password";
    case kEngineI2cError:
        return " - I2C Communication error - Possible causes includes open connections, shorted bus "
               "wires, missing pullup resistors, or incorrect I2C slave address";
    case kEngineSecurityViolation:
        return " - security violation in device";
    default:
        return nullptr;
    }
}

IspResult* report_engine_failure(int engineCode, const char* words)
{
    switch (engineCode) {
    case kEngineTransmitReceive:
        return set_result(kErrCommunicate, "(transmit/receive)");
    case kEngineOperationFailed:
    case kEnginePasswordNeeded:
    case kEngineI2cError:
    case kEngineSecurityViolation: {
        std::string detail = "(";
        detail += words ? words : "";
        if (const char* reason = engine_reason(engineCode))
            detail += reason;
        detail += ")";
        return set_result(kErrOperationFailed, detail.c_str());
    }
    default:
        return set_result(engineCode);
    }
}

IspResult* report_step_failure(int engineCode, const char* words, const char* failedDetail)
{
    if (engineCode == kEngineOperationFailed)
        return set_result(kErrOperationFailed, failedDetail);
    return report_engine_failure(engineCode, words);
}

}  // namespace qz
