// The converter's firmware upgrade: after the converter has entered its boot
// loader and the port is closed, the worker's event-loop thread drives the
// whole upgrade through QuasmeriteARMCortex, and run() reports progress.
#include "link/firmwareupgrade.h"
#include "link/serialportthread.h"

#include <cstdio>
#include <cstring>
#include <string>

std::atomic<std::int64_t> fwProgress{0};
std::atomic<std::uint64_t> programMax{0};

namespace {

std::atomic<const UpgradeApi*> installedApi{nullptr};

// 0x7E00: the last 512-byte chunk of the LPC11C24's 32 KiB of flash.
constexpr std::uint32_t kLastVerifyChunk = 32256;

const char* const kNoTarget = "Firmware upgrade error(no port name or file path)\n";
const char* const kPortNameTooLong = "Port name error(longer than 49 characters)\n";
const char* const kFilePathTooLong = "File path error(longer than 102399 characters)\n";

int statusOf(const IspResult* result)
{
    return result ? result->status : QZ_STATUS_UNKNOWN_CODE;
}

// The record the converter's LPC11C24 is reached with: 12 MHz crystal, the
// boot loader's 9600 baud and no faster, no line control, bank 0.
ConnectOptions upgradeConnectOptions(const char* portName)
{
    ConnectOptions o;
    std::memset(&o, 0, sizeof o);
    o.oscillator_mhz = kUpgradeOscillatorMHz;
    // The name fits: setUpgradeTarget refuses longer ones.
    std::memcpy(o.port_name, portName, strnlen(portName, sizeof o.port_name - 1));
    o.baud_rate = kUpgradeBaud;
    o.device_id = kUpgradeDeviceId;
    o.high_speed = 0;
    o.clocks = 0;
    o.half_duplex = 0;
    o.hardware_config = 0;
    o.t1_ms = 0;
    o.t2_ms = 0;
    o.i2c_address = 0;
    o.max_baud_rate = kUpgradeBaud;
    o.use_icp = 0;
    o.icp_interface = 0;
    o.flash_bank = 0;
    return o;
}

} // namespace

const UpgradeApi& cortexUpgradeApi()
{
    static const UpgradeApi exports = {
        qz_set_default_timeouts, qz_select_debug_mode, qz_connect, qz_erase,
        qz_program,              qz_verify,            qz_reset,   qz_disconnect,
    };
    return exports;
}

void installUpgradeApi(const UpgradeApi* api)
{
    installedApi.store(api);
}

int eraseProgressCallback(int, int, int, int)
{
    return 1;
}

int programProgressCallback(int, int value, int, int)
{
    // Blocks come from the highest address down to 0.
    const std::uint64_t address = static_cast<std::uint32_t>(value);
    const std::uint64_t highest = programMax.load();
    if (address > highest) {
        programMax.store(address);
        fwProgress.store(1);
    } else if (highest == 0) {
        // The first block reported lies at 0: the image fits one block,
        // which is now written.
        fwProgress.store(50);
    } else {
        fwProgress.store(static_cast<std::int64_t>((highest - address) * 50 / highest));
    }
    return 1;
}

int verifyProgressCallback(int, int value, int, int)
{
    // Unsigned 32-bit on purpose: chunks above the LPC11C24's last one (a
    // larger part) give values above 98.
    const std::uint32_t chunk = static_cast<std::uint32_t>(value);
    fwProgress.store(static_cast<std::int64_t>(chunk * 48u / kLastVerifyChunk + 50u));
    return 1;
}

bool SerialPortThread::setUpgradeTarget(const char* portName, const char* filePath)
{
    fwProgress.store(0);
    const char* problem = nullptr;
    if (!portName || !filePath)
        problem = kNoTarget;
    else if (strnlen(portName, sizeof upgradePortName) >= sizeof upgradePortName)
        problem = kPortNameTooLong;
    else if (strnlen(filePath, sizeof upgradeFilePath) >= sizeof upgradeFilePath)
        problem = kFilePathTooLong;
    std::lock_guard<std::mutex> lock(upgradeTextMutex);
    if (problem) {
        // A cut name would open another port, a cut path another file:
        // keep neither.
        upgradePortName[0] = '\0';
        upgradeFilePath[0] = '\0';
        upgradeTargetProblem.store(problem);
        return false;
    }
    std::memcpy(upgradePortName, portName, std::strlen(portName) + 1);
    std::memcpy(upgradeFilePath, filePath, std::strlen(filePath) + 1);
    upgradeTargetProblem.store(nullptr);
    return true;
}

QString SerialPortThread::lastMessage() const
{
    std::lock_guard<std::mutex> lock(upgradeTextMutex);
    if (messageBuffer[0] == '\0')
        return QString();
    return QString::fromLocal8Bit(messageBuffer, static_cast<int>(strnlen(messageBuffer, sizeof messageBuffer)));
}

bool SerialPortThread::upgradeRunning() const
{
    return upgradeBusy.load() != 0;
}

void SerialPortThread::setMessage(const char* format, int status)
{
    std::lock_guard<std::mutex> lock(upgradeTextMutex);
    std::snprintf(messageBuffer, sizeof messageBuffer, format, status);
}

void SerialPortThread::reportUpgradeProgress()
{
    std::lock_guard<std::mutex> lock(upgradeEmitMutex);
    if (upgradeBusy.load() != 0)
        emit FWProgress(static_cast<int>(static_cast<std::uint32_t>(fwProgress.load())));
}

void SerialPortThread::endUpgrade(int code)
{
    std::lock_guard<std::mutex> lock(upgradeEmitMutex);
    upgradeBusy.store(0);
    emit FWProgress(code);
}

void SerialPortThread::Thread_FirmwareUpgrade()
{
    const UpgradeApi* installed = installedApi.load();
    const UpgradeApi& qz = installed ? *installed : cortexUpgradeApi();

    // The upgrade works on its own copy of the target.
    const char* problem = nullptr;
    std::string portName;
    std::string filePath;
    {
        std::lock_guard<std::mutex> lock(upgradeTextMutex);
        problem = upgradeTargetProblem.load();
        if (problem) {
            std::snprintf(messageBuffer, sizeof messageBuffer, "%s", problem);
        } else {
            portName = upgradePortName;
            filePath = upgradeFilePath;
        }
    }
    if (problem) {
        endUpgrade(kUpgradeFailed);
        return;
    }
    const char* const hexFile = filePath.c_str();

    upgradeBusy.store(1);
    qz.setDefaultTimeouts();
    qz.selectDebugMode(1, kUpgradeLogPath);
    fwProgress.store(0);

    const ConnectOptions options = upgradeConnectOptions(portName.c_str());
    int status = statusOf(qz.connect(&options, QZ_CONNECT_OPTIONS_SIZE));
    if (status != QZ_STATUS_SUCCESS) {
        // Nothing is open after a failed connect: no disconnect.
        setMessage("connect error(error code:%d)\n", status);
        endUpgrade(kUpgradeFailed);
        return;
    }

    const char* failure = nullptr;
    // Mode -2: the sectors the file's data touches.
    status = statusOf(qz.erase(-2, 0, 1, eraseProgressCallback, 0, hexFile));
    if (status != QZ_STATUS_SUCCESS) {
        failure = "erase error(error code:%d)\n";
    } else {
        status = statusOf(qz.program(hexFile, 0, 0, 0, 1, nullptr, nullptr, 0, 0, 0,
                                     programProgressCallback, 0));
        if (status != QZ_STATUS_SUCCESS)
            failure = "File error or program error(error code:%d)\n";
    }
    if (!failure) {
        status = statusOf(qz.verify(hexFile, 1, verifyProgressCallback, 0));
        if (status != QZ_STATUS_SUCCESS)
            failure = "Verify error(error code:%d)\n";
    }
    if (!failure) {
        // Start the new firmware at 0 in Thumb mode; closing the port later
        // must not reset the part, so the firmware goes on running.
        status = statusOf(qz.reset(1, 0, 1));
        if (status != QZ_STATUS_SUCCESS)
            failure = "Reset error(error code:%d)\n";
    }

    if (failure)
        setMessage(failure, status);
    qz.disconnect();
    endUpgrade(failure ? kUpgradeFailed : kUpgradeSucceeded);
}
