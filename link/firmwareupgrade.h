// The firmware upgrade's road into QuasmeriteARMCortex: the eight exports it
// calls, the progress callbacks it hands to erase, program and verify, and
// the process-wide progress values they leave for the worker's run loop.
// SerialPortThread::Thread_FirmwareUpgrade (firmwareupgrade.cpp) drives it.
#pragma once

#include "qz_interface.h"

#include <atomic>
#include <cstdint>

// The library's exports as the upgrade calls them. The program links the
// library at load time and binds these by name; a test may put its own
// table in place to see every call and to make any step fail.
struct UpgradeApi {
    void (*setDefaultTimeouts)();
    const IspResult* (*selectDebugMode)(int enable, const char* logPath);
    const IspResult* (*connect)(const ConnectOptions* options, int size);
    const IspResult* (*erase)(int mode, unsigned blockMask, int guard, ProgressCallback cb,
                              int user, const char* hexFile);
    const IspResult* (*program)(const char* hexFile, int checksumAdjust, int useFillByte,
                                int fillByte, int guard, const char* jitModule,
                                const char* jitArguments, int jitTimeoutS, int finalFlag,
                                int ignored, ProgressCallback cb, int user);
    const IspResult* (*verify)(const char* hexFile, int skipChecksumBytes, ProgressCallback cb,
                               int user);
    const IspResult* (*reset)(int skipLineReset, unsigned address, unsigned flags);
    const IspResult* (*disconnect)();
};

// The table of QuasmeriteARMCortex's own exports.
const UpgradeApi& cortexUpgradeApi();
// The table the next upgrade uses; nullptr puts the library's own back.
// The table must outlive every upgrade that may use it.
void installUpgradeApi(const UpgradeApi* api);

// Progress in percent; run() emits its low 32 bits while an upgrade runs.
extern std::atomic<std::int64_t> fwProgress;
// The highest block address programming has reported since the worker was
// constructed; programming progress is measured against it.
extern std::atomic<std::uint64_t> programMax;

// The progress callbacks given to the library; each returns 1 (go on).
int eraseProgressCallback(int event, int value, int extra, int user);
int programProgressCallback(int event, int value, int extra, int user);
int verifyProgressCallback(int event, int value, int extra, int user);

// What the upgrade passes to the library.
constexpr const char* kUpgradeLogPath = "C:\\qztest.qzd";
constexpr int kUpgradeBaud = 9600;
constexpr int kUpgradeDeviceId = 4022; // "LPC11C24/301"
constexpr double kUpgradeOscillatorMHz = 12.0;
// Progress codes of FWProgress besides 0 to 98.
constexpr int kUpgradeSucceeded = 100;
constexpr int kUpgradeFailed = 1000;
