// The error codes of the ISP libraries with their texts, the same in every
// library, and the internal codes of the protocol engine.
#pragma once

#include <cstdint>

namespace qz {

struct ErrorCodeEntry {
    int32_t code;
    const char* text;
};

// In table order, ended by {0, ""}.
extern const ErrorCodeEntry ErrorCodeTable[];

enum IspErrorCode : int32_t {
    kErrCommunicate = -2,
    kErrConnectBaud = -3,
    kErrInvalidValue = -5,
    kErrOperationFailed = -18,
    kErrUnrecognizedDevice = -6,
    kErrGeneral = -1,
    kErrNotSupported = -16,
    kErrNoConnection = -7,
    kErrOpenHexFile = -15,
    kErrHexChecksum = -11,
    kErrProgramHex = -10,
    kErrAllocate = -19,
    kErrFillMemory = -14,
    kErrChecksumAdjuster = -12,
    kErrCancelled = -20,
    kErrVerify = -17,
    kErrCreateFile = -9,
    kErrJustInTime = -23,
};

// Results of the protocol engine that the exports map before reporting.
enum EngineCode : int32_t {
    kEngineTransmitReceive = -2,
    kEngineOperationFailed = -18,
    kEngineSecurityViolation = -21,
    kEngineI2cError = -22,
    kEnginePasswordNeeded = -24,
};

// The table's entry for a code, or null when the code is not in the table
// (code 0 finds the terminator).
const ErrorCodeEntry* find_error_code(int code);

}  // namespace qz
