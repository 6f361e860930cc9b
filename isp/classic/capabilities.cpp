#include "isp/classic/capabilities.h"

#include "isp/classic/classic_state.h"
#include "isp/core/errorcodes.h"
#include "isp/core/result.h"
#include "isp/core/serialport.h"

namespace qz {

namespace {

using D = const ClassicDeviceRecord&;

// Writing a setting the part's loader cannot write is refused rather than
// reported as done; so is EEPROM work on a part without EEPROM.
const CapabilityCase kCases[] = {
    {ClassicOp::ReadClocksBit, "qz_read_clocks_bit", [](D d) { return d.clocks_bit_supported != 0; }, "(read clocks bit)"},
    {ClassicOp::ProgramClocksBit, "qz_program_clocks_bit", [](D d) { return d.clocks_bit_supported != 0; }, "(program clocks bit)"},
    {ClassicOp::Verify, "qz_verify", [](D d) { return d.verify_supported != 0; }, "(verify)"},
    {ClassicOp::ReadData, "qz_read_data", [](D d) { return d.verify_supported != 0; }, "(read data)"},
    {ClassicOp::ReadDataToBuffer, "qz_read_data_to_buffer", [](D d) { return d.verify_supported != 0; }, "(read data to buffer)"},
    {ClassicOp::ReadCrc, "qz_read_crc", [](D d) { return d.crc_supported != 0; }, "(read crc)"},
    {ClassicOp::ReadEepromCrc, "qz_read_eeprom_crc",
     [](D d) { return d.eeprom_security_supported != 0 && d.eeprom_crc_supported != 0; }, "(read eeprom crc)"},
    {ClassicOp::ReadMisr, "qz_read_misr", [](D d) { return d.misr_supported != 0; }, "(read misr)"},
    {ClassicOp::ProgramAddlSecurity, "qz_program_addl_security_bits", [](D d) { return d.addl_security_supported != 0; },
     "(program additional security)"},
    {ClassicOp::EraseAddlSecurity, "qz_erase_addl_security_bits", [](D d) { return d.addl_security_supported != 0; },
     "(erase additional security)"},
    {ClassicOp::ReadAddlSecurity, "qz_read_addl_security_bits", [](D d) { return d.addl_security_supported != 0; },
     "(read additional security)"},
    {ClassicOp::ReadEepromSecurity, "qz_read_eeprom_security_bits", [](D d) { return d.eeprom_security_supported != 0; },
     "(read eeprom security)"},
    {ClassicOp::ProgramEepromSecurity, "qz_program_eeprom_security_bits",
     [](D d) { return d.eeprom_security_supported != 0; }, "(program eeprom security bits)"},
    {ClassicOp::ProgramEeprom, "qz_program_eeprom",
     [](D d) { return d.eeprom_page_count != 0 && d.eeprom_page_size != 0; }, "(program eeprom)"},
    {ClassicOp::ErasePages, "qz_erase_pages", [](D d) { return d.page_erase_supported != 0; }, "(erase pages)"},
    {ClassicOp::EraseEepromPages, "qz_erase_eeprom_pages", [](D d) { return d.eeprom_security_supported != 0; },
     "(erase eeprom pages)"},
    {ClassicOp::EraseBootVectorStatusByte, "qz_erase_boot_vector_status_byte", [](D d) { return d.bv_sb_erasable != 0; },
     "(erase boot vector and status byte)"},
    {ClassicOp::ProgramBootVector, "qz_program_boot_vector", [](D d) { return d.boot_vector_programmable != 0; },
     "(program boot vector)"},
    {ClassicOp::ProgramStatusByte, "qz_program_status_byte", [](D d) { return d.status_byte_programmable != 0; },
     "(program status byte)"},
    {ClassicOp::ReadConfiguration, "qz_read_configuration", [](D d) { return d.configuration_supported != 0; },
     "(read configuration)"},
    {ClassicOp::ProgramConfiguration, "qz_program_configuration", [](D d) { return d.configuration_supported != 0; },
     "(programming configuration)"},
    {ClassicOp::ClearConfigurationProtection, "qz_clear_configuration_protection",
     [](D d) { return d.configuration_protection_supported != 0; }, "(clearing configuration protection)"},
    {ClassicOp::ProgramI2cAddress, "qz_program_i2c_address", [](D d) { return d.use_i2c_address != 0; },
     "(program i2c address)"},
    {ClassicOp::EnableSoftIce, "qz_enable_softice", [](D d) { return d.softice_supported != 0; }, "(enable softice)"},
    {ClassicOp::UpdateBootloader, "qz_update_bootloader", [](D d) { return d.bootloader_update_supported != 0; },
     "(update bootloader)"},
    {ClassicOp::BootloaderVersion, "qz_bootloader_version", [](D d) { return d.bootloader_version_method != 0; },
     "(bootloader version)"},
};

} // namespace

const CapabilityCase* capability_cases(int& count)
{
    count = static_cast<int>(sizeof kCases / sizeof kCases[0]);
    return kCases;
}

IspResult* refuse_unless_capable(ClassicOp op)
{
    const ClassicDeviceRecord* d = selected_classic_device();
    if (!d)
        return set_result(kErrNoConnection);
    for (const CapabilityCase& c : kCases)
        if (c.op == op)
            return c.allowed(*d) ? nullptr : set_result(kErrNotSupported, c.detail);
    return nullptr;
}

IspResult* refuse_unless_ready(ClassicOp op)
{
    if (IspResult* r = refuse_unless_capable(op))
        return r;
    if (!port_is_open())
        return set_result(kErrNoConnection);
    return nullptr;
}

} // namespace qz
