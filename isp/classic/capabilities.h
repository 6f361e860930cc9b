// Which settings and read-back operations a classic part can do: one table
// of the operation, the record's flag that allows it and the detail of the
// -16 that refuses it.
#pragma once

#include "isp/classic/classic_device.h"

#include "qz_interface.h"

namespace qz {

enum class ClassicOp {
    ReadClocksBit,
    ProgramClocksBit,
    Verify,
    ReadData,
    ReadDataToBuffer,
    ReadCrc,
    ReadEepromCrc,
    ReadMisr,
    ProgramAddlSecurity,
    EraseAddlSecurity,
    ReadAddlSecurity,
    ReadEepromSecurity,
    ProgramEepromSecurity,
    ProgramEeprom,
    ErasePages,
    EraseEepromPages,
    EraseBootVectorStatusByte,
    ProgramBootVector,
    ProgramStatusByte,
    ReadConfiguration,
    ProgramConfiguration,
    ClearConfigurationProtection,
    ProgramI2cAddress,
    EnableSoftIce,
    UpdateBootloader,
    BootloaderVersion,
};

struct CapabilityCase {
    ClassicOp op;
    const char* name; // the export
    bool (*allowed)(const ClassicDeviceRecord& d);
    const char* detail;
};

// Every case, one per operation.
const CapabilityCase* capability_cases(int& count);

// nullptr when the selected part can do `op`; else the result: -7 with no
// part selected, -16 with the operation's detail when its flag is clear.
IspResult* refuse_unless_capable(ClassicOp op);

// The same and then the port: -7 when none is open.
IspResult* refuse_unless_ready(ClassicOp op);

} // namespace qz
