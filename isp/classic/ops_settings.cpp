// Boot vector, status byte, configuration, I2C address, softICE and the
// boot loader's version of the classic parts.
#include "isp/classic/settings_ops.h"

#include "isp/classic/capabilities.h"
#include "isp/classic/classic_state.h"
#include "isp/classic/command_templates.h"
#include "isp/classic/dialect_commands.h"
#include "isp/classic/op_retry.h"
#include "isp/classic/settings_commands.h"
#include "isp/classic/transmission.h"
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"

#include <string>

namespace qz {

namespace {

// The settings steps name one failure text: -2 stays a line failure, every
// other code is the step failing.
IspResult* step_failed(int r, const char* detail)
{
    if (r == kErrCommunicate)
        return set_result(kErrCommunicate, "(transmit/receive)");
    if (r == kErrNotSupported)
        return set_result(kErrNotSupported, detail);
    return set_result(kErrOperationFailed, detail);
}

bool is_d2(const ClassicDeviceRecord& d) { return record_dialect(d) == kDialect2; }

int read_boot_vector(const ClassicDeviceRecord& d, unsigned& vector)
{
    return is_d2(d) ? d2_read_boot_vector(d, vector) : d1_read_boot_vector(d, vector);
}

int read_status_byte(const ClassicDeviceRecord& d, std::uint8_t& value)
{
    if (!is_d2(d))
        return d1_read_status_byte(d, value);
    std::uint8_t addl = 0;
    const int r = d2_read_addl_security(d, addl);
    value = static_cast<std::uint8_t>(addl & 1);
    return r;
}

} // namespace

IspResult* classic_read_boot_vector_status_byte()
{
    if (!selected_classic_device() || !require_port())
        return set_result(kErrNoConnection);
    const ClassicDeviceRecord& d = *selected_classic_device();
    unsigned vector = 0;
    int r = tried_until_done([&] { return read_boot_vector(d, vector); });
    if (r != 1)
        return step_failed(r, "(reading boot vector)");
    std::uint8_t status = 0;
    r = tried_until_done([&] { return read_status_byte(d, status); });
    if (r != 1)
        return step_failed(r, "(reading boot vector)");
    set_result_be(0, vector & 0xFFFF, 2);
    isp_result()->data[2] = status;
    return set_success();
}

IspResult* classic_erase_boot_vector_status_byte()
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::EraseBootVectorStatusByte))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    if (is_d2(d))
        return set_success();
    const int r = tried_until_done([&] { return d1_erase_bv_sb(d); });
    if (r != 1)
        return step_failed(r, "(erasing boot vector and status byte)");
    return set_success();
}

IspResult* classic_program_boot_vector(int vector)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ProgramBootVector))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    const unsigned v = static_cast<unsigned>(vector);
    const int r = tried_until_done([&] { return is_d2(d) ? d2_program_boot_vector(d, v) : d1_program_boot_vector(d, v); });
    if (r != 1)
        return step_failed(r, "(programming boot vector)");
    return set_success();
}

IspResult* classic_program_status_byte(int value)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ProgramStatusByte))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    const int r = tried_until_done([&] {
        return is_d2(d) ? d2_program_status_bit(d, value)
                        : d1_program_status_byte(d, static_cast<std::uint8_t>(value & 0xFF));
    });
    if (r != 1)
        return step_failed(r, "(programming status byte)");
    return set_success();
}

IspResult* classic_read_configuration()
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ReadConfiguration))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    unsigned value = 0;
    const int r = tried_until_done([&] { return read_configuration(d, value); });
    if (r != 1)
        return step_failed(r, "(reading configuration)");
    set_result_be(0, value, 4);
    return set_success();
}

IspResult* classic_program_configuration(int value)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ProgramConfiguration))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    if (!is_d2(d) && !d1_configuration_record_part(d))
        return set_result(kErrNotSupported, "(programming configuration)");
    unsigned now = 0;
    int r = tried_until_done([&] { return read_configuration(d, now); });
    if (r != 1)
        return step_failed(r, "(programming configuration)");
    if (now == static_cast<unsigned>(value))
        return set_success();
    r = tried_until_done([&] { return program_configuration(d, static_cast<unsigned>(value)); });
    if (r != 1)
        return step_failed(r, "(programming configuration)");
    return set_success();
}

IspResult* classic_clear_configuration_protection()
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ClearConfigurationProtection))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    if (!is_d2(d))
        return set_result(kErrNotSupported, "(clearing configuration protection)");
    const int r = tried_until_done([&] { return send_command(d2_clear_configuration_protection_command(d)); });
    if (r != 1)
        return step_failed(r, "(clear configuration protection)");
    return set_success();
}

IspResult* classic_program_i2c_address(int address)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ProgramI2cAddress))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    const std::string command = d1_program_i2c_address_command(d, static_cast<std::uint8_t>(address & 0xFF));
    const int r = tried_until_done([&] { return send_command(command); });
    if (r != 1)
        return step_failed(r, "(programming I2C address)");
    return set_success();
}

IspResult* classic_enable_softice()
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::EnableSoftIce))
        return r;
    const std::string command = softice_command();
    const int r = tried_until_done([&] { return send_command(command); });
    if (r != 1)
        return report_engine_failure(r, "enabling softice");
    return set_success();
}

IspResult* classic_bootloader_version()
{
    set_status_text(isp_result()->status, "<unknown>");
    if (IspResult* r = refuse_unless_ready(ClassicOp::BootloaderVersion))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    std::string text;
    const int r = tried_until_done([&] { return read_bootloader_version(d.bootloader_version_method, text); });
    if (r >= 0)
        return set_status_text(1, text.empty() ? "<unknown>" : text.c_str());
    switch (r) {
    case kEnginePasswordNeeded:
        return set_result(kErrOperationFailed,
                          "(reading bootloader version - please unlock the device by supplying a password)");
    case kEngineSecurityViolation:
        return set_result(kErrOperationFailed, "(reading bootloader version - security violation in device)");
    case kErrOperationFailed:
        return set_result(kErrOperationFailed, "(reading bootloader version)");
    case kErrCommunicate:
        return set_result(kErrCommunicate, "(transmit/receive)");
    default:
        return set_result(r);
    }
}

} // namespace qz
