// Security bits, the clocks bit, the EEPROM security bits and the
// additional security bits of the classic parts.
#include "isp/classic/settings_ops.h"

#include "isp/classic/capabilities.h"
#include "isp/classic/classic_state.h"
#include "isp/classic/op_retry.h"
#include "isp/classic/settings_commands.h"
#include "isp/core/debuglog.h"
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"

namespace qz {

namespace {

void put_flags(const std::uint8_t* flags, int count)
{
    IspResult* r = isp_result();
    for (int i = 0; i < count && i < QZ_RESULT_DATA_SIZE; ++i)
        r->data[i] = flags[i];
}

bool port_and_part()
{
    if (selected_classic_device() && require_port())
        return true;
    set_result(kErrNoConnection);
    return false;
}

// EEPROM work of dialect 2 runs with EEPROM access on; it is switched off
// again before any result is reported.
template <typename Work>
IspResult* with_eeprom_access(const ClassicDeviceRecord& d, const char* words, Work work)
{
    const bool d2 = record_dialect(d) == kDialect2;
    if (d2) {
        const int on = d2_eeprom_access(true);
        if (on != 1)
            return report_engine_failure(on, words);
    }
    const int r = work();
    const int off = d2 ? d2_eeprom_access(false) : 1;
    if (r != 1)
        return report_engine_failure(r, words);
    if (off != 1)
        return report_engine_failure(off, words);
    return nullptr;
}

} // namespace

IspResult* classic_read_security_bits()
{
    if (!port_and_part())
        return isp_result();
    const ClassicDeviceRecord& d = *selected_classic_device();
    std::uint8_t flags[kMaxSecurityFlags] = {};
    const int r = tried_until_done([&] { return read_security_flags(d, flags); });
    if (r != 1)
        return report_engine_failure(r, "reading security bits");
    put_flags(flags, d.security_flag_count < kMaxSecurityFlags ? d.security_flag_count : kMaxSecurityFlags);
    return set_success();
}

IspResult* classic_program_security_bits(const unsigned* flags)
{
    if (!port_and_part())
        return isp_result();
    if (!flags)
        return set_result(kErrInvalidValue, "(no security flags)");
    const int r = program_security_flags(*selected_classic_device(), flags);
    if (r != 1)
        return report_engine_failure(r, "programming security bit");
    return set_success();
}

IspResult* classic_read_clocks_bit()
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ReadClocksBit))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    if (record_dialect(d) != kDialect1)
        return set_result(kErrNotSupported, "(read clocks bit)");
    int bit = 0;
    const int r = tried_until_done([&] { return d1_read_clocks_bit(d, bit); });
    if (r != 1)
        return report_engine_failure(r, "reading security bits");
    isp_result()->data[0] = static_cast<unsigned char>(bit);
    return set_success();
}

IspResult* classic_program_clocks_bit()
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ProgramClocksBit))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    if (record_dialect(d) != kDialect1)
        return set_success();
    int bit = 0;
    int r = tried_until_done([&] { return d1_read_clocks_bit(d, bit); });
    if (r != 1)
        return report_engine_failure(r, "reading security bits");
    if (bit) {
        debug_log(kLogDebug, "Clocks bit is already set in device, skipping programming of clocks bit");
        return set_success();
    }
    r = tried_until_done([&] { return d1_program_clocks_bit(d); });
    if (r != 1)
        return report_engine_failure(r, "programming clocks bit");
    return set_success();
}

IspResult* classic_read_eeprom_security_bits()
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ReadEepromSecurity))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    std::uint8_t flags[kMaxEepromSecurityFlags] = {};
    if (IspResult* failed = with_eeprom_access(d, "reading eeprom security bits", [&] {
            return tried_until_done([&] { return d2_read_eeprom_security(d, flags); });
        }))
        return failed;
    put_flags(flags, d.eeprom_security_flag_count);
    return set_success();
}

IspResult* classic_program_eeprom_security_bits(const int* flags)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ProgramEepromSecurity))
        return r;
    if (!flags)
        return set_result(kErrInvalidValue, "(no security flags)");
    const ClassicDeviceRecord& d = *selected_classic_device();
    if (IspResult* failed = with_eeprom_access(d, "programming eeprom security bit", [&] {
            for (int i = 0; i < d.eeprom_security_flag_count; ++i) {
                if (!flags[i])
                    continue;
                const int r = tried_until_done([&] { return d2_program_eeprom_security_bit(d, i); });
                if (r != 1)
                    return r;
            }
            return 1;
        }))
        return failed;
    return set_success();
}

IspResult* classic_program_addl_security_bits(const int* flags)
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ProgramAddlSecurity))
        return r;
    if (!flags)
        return set_result(kErrInvalidValue, "(no security flags)");
    const ClassicDeviceRecord& d = *selected_classic_device();
    const int r = tried_until_done([&] { return d2_program_addl_security(d, flags); });
    if (r != 1)
        return report_engine_failure(r, "programming security bit");
    return set_success();
}

IspResult* classic_erase_addl_security_bits()
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::EraseAddlSecurity))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    const int r = tried_until_done([&] {
        std::uint8_t v = 0;
        int s = d2_read_addl_security(d, v);
        if (s != 1)
            return s;
        return d2_write_addl_security(d, static_cast<std::uint8_t>(v & 0x01));
    });
    if (r != 1)
        return report_engine_failure(r, "erasing security bits");
    return set_success();
}

IspResult* classic_read_addl_security_bits()
{
    if (IspResult* r = refuse_unless_ready(ClassicOp::ReadAddlSecurity))
        return r;
    const ClassicDeviceRecord& d = *selected_classic_device();
    std::uint8_t v = 0;
    const int r = tried_until_done([&] { return d2_read_addl_security(d, v); });
    if (r != 1)
        return report_step_failure(r, "reading security bits", "(reading security bits)");
    const std::uint8_t flags[3] = {static_cast<std::uint8_t>(v >> 5 & 1), static_cast<std::uint8_t>(v >> 6 & 1),
                                   static_cast<std::uint8_t>(v >> 7 & 1)};
    put_flags(flags, 3);
    return set_success();
}

} // namespace qz
