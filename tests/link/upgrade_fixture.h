// The firmware-upgrade driver's tests share a fake library: it records
// each export's call with its arguments, answers with the status the test
// gives, and can run a step of the test inside an export. The fixture puts
// it behind a fresh worker and notes each final code with the busy flag.
#pragma once

#include "link/firmwareupgrade.h"
#include "link/serialportthread.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace upgradetest {

struct FakeLibrary {
    std::vector<std::string> calls;
    std::map<std::string, int> status; // by export name; 1 when not given
    std::vector<unsigned char> connectRecord;
    std::int64_t progressAtConnect = -1;
    std::size_t programmedPathLength = 0;
    // Runs inside the export of that name, before it returns.
    std::map<std::string, std::function<void(ProgressCallback)>> during;
};

inline FakeLibrary* fake = nullptr;
inline IspResult fakeResult;

inline std::string callbackName(ProgressCallback cb)
{
    if (cb == eraseProgressCallback)
        return "erase";
    if (cb == programProgressCallback)
        return "program";
    if (cb == verifyProgressCallback)
        return "verify";
    return cb ? "other" : "null";
}

inline std::string text(const char* s)
{
    if (!s)
        return "null";
    return std::strlen(s) > 60 ? "<" + std::to_string(std::strlen(s)) + " chars>" : std::string(s);
}

inline const IspResult* answer(const std::string& name, const std::string& call, ProgressCallback cb = nullptr)
{
    fake->calls.push_back(call);
    auto d = fake->during.find(name);
    if (d != fake->during.end())
        d->second(cb);
    auto s = fake->status.find(name);
    fakeResult.status = s == fake->status.end() ? 1 : s->second;
    return &fakeResult;
}

inline void fakeSetDefaultTimeouts()
{
    fake->calls.push_back("qz_set_default_timeouts()");
}

inline const IspResult* fakeSelectDebugMode(int enable, const char* path)
{
    return answer("qz_select_debug_mode",
                  "qz_select_debug_mode(" + std::to_string(enable) + ", " + text(path) + ")");
}

inline const IspResult* fakeConnect(const ConnectOptions* options, int size)
{
    fake->progressAtConnect = fwProgress.load();
    if (options && size > 0) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(options);
        fake->connectRecord.assign(p, p + size);
    }
    return answer("qz_connect", "qz_connect(" + std::to_string(size) + ")");
}

inline const IspResult* fakeErase(int mode, unsigned mask, int guard, ProgressCallback cb, int user,
                                  const char* file)
{
    return answer("qz_erase",
                  "qz_erase(" + std::to_string(mode) + ", " + std::to_string(mask) + ", " +
                      std::to_string(guard) + ", " + callbackName(cb) + ", " + std::to_string(user) +
                      ", " + text(file) + ")",
                  cb);
}

inline const IspResult* fakeProgram(const char* file, int checksumAdjust, int useFill, int fill,
                                    int guard, const char* jit, const char* jitArgs, int jitTimeout,
                                    int finalFlag, int ignored, ProgressCallback cb, int user)
{
    fake->programmedPathLength = file ? std::strlen(file) : 0;
    return answer("qz_program",
                  "qz_program(" + text(file) + ", " + std::to_string(checksumAdjust) + ", " +
                      std::to_string(useFill) + ", " + std::to_string(fill) + ", " +
                      std::to_string(guard) + ", " + text(jit) + ", " + text(jitArgs) + ", " +
                      std::to_string(jitTimeout) + ", " + std::to_string(finalFlag) + ", " +
                      std::to_string(ignored) + ", " + callbackName(cb) + ", " + std::to_string(user) +
                      ")",
                  cb);
}

inline const IspResult* fakeVerify(const char* file, int skip, ProgressCallback cb, int user)
{
    return answer("qz_verify",
                  "qz_verify(" + text(file) + ", " + std::to_string(skip) + ", " + callbackName(cb) +
                      ", " + std::to_string(user) + ")",
                  cb);
}

inline const IspResult* fakeReset(int skipLineReset, unsigned address, unsigned flags)
{
    return answer("qz_reset", "qz_reset(" + std::to_string(skipLineReset) + ", " + std::to_string(address) +
                                  ", " + std::to_string(flags) + ")");
}

inline const IspResult* fakeDisconnect()
{
    return answer("qz_disconnect", "qz_disconnect()");
}

inline const UpgradeApi fakeApi = {fakeSetDefaultTimeouts, fakeSelectDebugMode, fakeConnect, fakeErase,
                                   fakeProgram,            fakeVerify,          fakeReset,   fakeDisconnect};

inline const char* const kPort = "/dev/ttyUSB0";
inline const char* const kFile = "/home/user/firmware/converter.hex";

inline std::vector<std::string> fullSequence()
{
    return {
        "qz_set_default_timeouts()",
        "qz_select_debug_mode(1, C:\\qztest.qzd)",
        "qz_connect(1131)",
        std::string("qz_erase(-2, 0, 1, erase, 0, ") + kFile + ")",
        std::string("qz_program(") + kFile + ", 0, 0, 0, 1, null, null, 0, 0, 0, program, 0)",
        std::string("qz_verify(") + kFile + ", 1, verify, 0)",
        "qz_reset(1, 0, 1)",
        "qz_disconnect()",
    };
}

class Upgrade : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake = &lib;
        installUpgradeApi(&fakeApi);
        worker = std::make_unique<SerialPortThread>();
        // What each final code found: the busy flag at the moment of emission.
        QObject::connect(worker.get(), &SerialPortThread::FWProgress, worker.get(),
                         [this](int code) { codes.push_back({code, worker->upgradeRunning()}); },
                         Qt::DirectConnection);
    }
    void TearDown() override
    {
        worker.reset();
        installUpgradeApi(nullptr);
        fake = nullptr;
    }

    // Runs one upgrade on this thread.
    void upgrade(const char* port = kPort, const char* file = kFile)
    {
        codes.clear();
        lib.calls.clear();
        worker->setUpgradeTarget(port, file);
        worker->Thread_FirmwareUpgrade();
    }

    struct Code {
        int code;
        bool busy;
    };
    FakeLibrary lib;
    std::unique_ptr<SerialPortThread> worker;
    std::vector<Code> codes;
};

} // namespace upgradetest
