// The firmware-upgrade driver against a fake library: the exact calls and
// arguments, the connect record byte for byte, each failing step with its
// text, disconnect and single final code, the refused targets, the
// progress arithmetic and the run loop's reports.
#include "link/firmwareupgrade.h"
#include "link/serialportthread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// ---- the fake library ---------------------------------------------------------

struct FakeLibrary {
    std::vector<std::string> calls;
    std::map<std::string, int> status; // by export name; 1 when not given
    std::vector<unsigned char> connectRecord;
    std::int64_t progressAtConnect = -1;
    std::size_t programmedPathLength = 0;
    // Runs inside the export of that name, before it returns.
    std::map<std::string, std::function<void(ProgressCallback)>> during;
};

FakeLibrary* fake = nullptr;
IspResult fakeResult;

std::string callbackName(ProgressCallback cb)
{
    if (cb == eraseProgressCallback)
        return "erase";
    if (cb == programProgressCallback)
        return "program";
    if (cb == verifyProgressCallback)
        return "verify";
    return cb ? "other" : "null";
}

std::string text(const char* s)
{
    if (!s)
        return "null";
    return std::strlen(s) > 60 ? "<" + std::to_string(std::strlen(s)) + " chars>" : std::string(s);
}

const IspResult* answer(const std::string& name, const std::string& call, ProgressCallback cb = nullptr)
{
    fake->calls.push_back(call);
    auto d = fake->during.find(name);
    if (d != fake->during.end())
        d->second(cb);
    auto s = fake->status.find(name);
    fakeResult.status = s == fake->status.end() ? 1 : s->second;
    return &fakeResult;
}

void fakeSetDefaultTimeouts()
{
    fake->calls.push_back("qz_set_default_timeouts()");
}

const IspResult* fakeSelectDebugMode(int enable, const char* path)
{
    return answer("qz_select_debug_mode",
                  "qz_select_debug_mode(" + std::to_string(enable) + ", " + text(path) + ")");
}

const IspResult* fakeConnect(const ConnectOptions* options, int size)
{
    fake->progressAtConnect = fwProgress.load();
    if (options && size > 0) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(options);
        fake->connectRecord.assign(p, p + size);
    }
    return answer("qz_connect", "qz_connect(" + std::to_string(size) + ")");
}

const IspResult* fakeErase(int mode, unsigned mask, int ignored, ProgressCallback cb, int user,
                           const char* file)
{
    return answer("qz_erase",
                  "qz_erase(" + std::to_string(mode) + ", " + std::to_string(mask) + ", " +
                      std::to_string(ignored) + ", " + callbackName(cb) + ", " + std::to_string(user) +
                      ", " + text(file) + ")",
                  cb);
}

const IspResult* fakeProgram(const char* file, int checksumAdjust, int useFill, int fill, int ignored1,
                             const char* jit, const char* jitArgs, int jitTimeout, int finalFlag,
                             int ignored2, ProgressCallback cb, int user)
{
    fake->programmedPathLength = file ? std::strlen(file) : 0;
    return answer("qz_program",
                  "qz_program(" + text(file) + ", " + std::to_string(checksumAdjust) + ", " +
                      std::to_string(useFill) + ", " + std::to_string(fill) + ", " +
                      std::to_string(ignored1) + ", " + text(jit) + ", " + text(jitArgs) + ", " +
                      std::to_string(jitTimeout) + ", " + std::to_string(finalFlag) + ", " +
                      std::to_string(ignored2) + ", " + callbackName(cb) + ", " + std::to_string(user) +
                      ")",
                  cb);
}

const IspResult* fakeVerify(const char* file, int skip, ProgressCallback cb, int user)
{
    return answer("qz_verify",
                  "qz_verify(" + text(file) + ", " + std::to_string(skip) + ", " + callbackName(cb) +
                      ", " + std::to_string(user) + ")",
                  cb);
}

const IspResult* fakeReset(int skipLineReset, unsigned address, unsigned flags)
{
    return answer("qz_reset", "qz_reset(" + std::to_string(skipLineReset) + ", " + std::to_string(address) +
                                  ", " + std::to_string(flags) + ")");
}

const IspResult* fakeDisconnect()
{
    return answer("qz_disconnect", "qz_disconnect()");
}

const UpgradeApi fakeApi = {fakeSetDefaultTimeouts, fakeSelectDebugMode, fakeConnect, fakeErase,
                            fakeProgram,            fakeVerify,          fakeReset,   fakeDisconnect};

const char* const kPort = "/dev/ttyUSB0";
const char* const kFile = "/home/user/firmware/converter.hex";

std::vector<std::string> fullSequence()
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

// ---- the call sequence ------------------------------------------------------------

TEST_F(Upgrade, SuccessCallsTheEightExportsInOrderAndEndsWith100)
{
    upgrade();
    EXPECT_EQ(lib.calls, fullSequence());
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].code, 100);
    EXPECT_FALSE(codes[0].busy) << "busy is cleared before the final code";
    EXPECT_FALSE(worker->upgradeRunning());
    EXPECT_TRUE(worker->lastMessage().isNull());
}

TEST_F(Upgrade, ConnectRecordIsTheConvertersLpc11c24ByteForByte)
{
    upgrade();
    std::array<unsigned char, 1131> expected{};
    const double mhz = 12.0;
    std::memcpy(&expected[0], &mhz, 8);
    std::memcpy(&expected[8], kPort, std::strlen(kPort));
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            expected[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    put32(58, 9600);  // baud rate
    put32(62, 4022);  // LPC11C24/301
    put32(91, 9600);  // maximum baud rate
    // 12.0 as a little-endian IEEE 754 double.
    EXPECT_EQ(std::vector<unsigned char>(expected.begin(), expected.begin() + 8),
              (std::vector<unsigned char>{0, 0, 0, 0, 0, 0, 0x28, 0x40}));
    ASSERT_EQ(lib.connectRecord.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(lib.connectRecord[i], expected[i]) << "offset " << i;
}

struct FailingStep {
    const char* step;
    int status;
    const char* message;
    std::size_t callsBeforeDisconnect; // calls made up to the failing one
    bool disconnected;
};

TEST_F(Upgrade, EachFailingStepLeavesItsTextAndOneFinal1000)
{
    const FailingStep cases[] = {
        {"qz_connect", -2, "connect error(error code:-2)\n", 3, false},
        {"qz_connect", 0, "connect error(error code:0)\n", 3, false},
        {"qz_erase", -18, "erase error(error code:-18)\n", 4, true},
        {"qz_erase", 2, "erase error(error code:2)\n", 4, true},
        {"qz_program", -15, "File error or program error(error code:-15)\n", 5, true},
        {"qz_verify", -17, "Verify error(error code:-17)\n", 6, true},
        {"qz_reset", -7, "Reset error(error code:-7)\n", 7, true},
    };
    for (const FailingStep& c : cases) {
        SCOPED_TRACE(std::string(c.step) + " " + std::to_string(c.status));
        lib.status.clear();
        lib.status[c.step] = c.status;
        upgrade();
        std::vector<std::string> expected = fullSequence();
        expected.resize(c.callsBeforeDisconnect);
        if (c.disconnected)
            expected.push_back("qz_disconnect()");
        EXPECT_EQ(lib.calls, expected);
        EXPECT_EQ(worker->lastMessage(), QString(c.message));
        ASSERT_EQ(codes.size(), 1u);
        EXPECT_EQ(codes[0].code, 1000);
        EXPECT_FALSE(codes[0].busy);
    }
}

TEST_F(Upgrade, ResultsOfTheSettersAndOfDisconnectAreNotRead)
{
    lib.status["qz_select_debug_mode"] = -1;
    lib.status["qz_disconnect"] = -7;
    upgrade();
    EXPECT_EQ(lib.calls, fullSequence());
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].code, 100);
}

TEST_F(Upgrade, FailureTextOutlivesALaterSuccess)
{
    lib.status["qz_verify"] = -17;
    upgrade();
    lib.status.clear();
    upgrade();
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].code, 100);
    EXPECT_EQ(worker->lastMessage(), QString("Verify error(error code:-17)\n"));
    // The next failure replaces it.
    lib.status["qz_connect"] = -3;
    upgrade();
    EXPECT_EQ(worker->lastMessage(), QString("connect error(error code:-3)\n"));
}

TEST_F(Upgrade, ProgressStartsAtZeroForTheTargetAndAgainBeforeConnecting)
{
    fwProgress.store(77);
    worker->setUpgradeTarget(kPort, kFile);
    EXPECT_EQ(fwProgress.load(), 0);
    fwProgress.store(77);
    worker->Thread_FirmwareUpgrade();
    EXPECT_EQ(lib.progressAtConnect, 0);
}

// ---- refused targets --------------------------------------------------------------

TEST_F(Upgrade, NamesAndPathsThatFitArePassedWhole)
{
    const std::string name(49, 'p');
    const std::string path(102399, 'f');
    EXPECT_TRUE(worker->setUpgradeTarget(name.c_str(), path.c_str()));
    worker->Thread_FirmwareUpgrade();
    ASSERT_EQ(lib.connectRecord.size(), 1131u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&lib.connectRecord[8])), name);
    EXPECT_EQ(lib.programmedPathLength, path.size());
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].code, 100);
}

struct RefusedTarget {
    std::string port;
    std::string file;
    bool nullPort;
    const char* message;
};

TEST_F(Upgrade, TargetThatDoesNotFitIsRefusedAndTheUpgradeEndsAtOnce)
{
    const RefusedTarget cases[] = {
        {std::string(50, 'p'), kFile, false, "Port name error(longer than 49 characters)\n"},
        {kPort, std::string(102400, 'f'), false, "File path error(longer than 102399 characters)\n"},
        {"", kFile, true, "Firmware upgrade error(no port name or file path)\n"},
    };
    for (const RefusedTarget& c : cases) {
        SCOPED_TRACE(c.message);
        codes.clear();
        lib.calls.clear();
        EXPECT_FALSE(worker->setUpgradeTarget(c.nullPort ? nullptr : c.port.c_str(), c.file.c_str()));
        worker->Thread_FirmwareUpgrade();
        EXPECT_TRUE(lib.calls.empty()) << "the library is not touched";
        EXPECT_EQ(worker->lastMessage(), QString(c.message));
        ASSERT_EQ(codes.size(), 1u);
        EXPECT_EQ(codes[0].code, 1000);
        EXPECT_FALSE(worker->upgradeRunning());
    }
    // A target that fits afterwards upgrades again.
    upgrade();
    EXPECT_EQ(lib.calls, fullSequence());
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].code, 100);
}

TEST_F(Upgrade, TargetGivenWhileAnUpgradeRunsIsKeptForTheNextOne)
{
    // Erased for one file, programmed from another would leave a broken part.
    lib.during["qz_erase"] = [this](ProgressCallback) {
        EXPECT_TRUE(worker->setUpgradeTarget("/dev/ttyS9", "/tmp/other.hex"));
    };
    upgrade();
    EXPECT_EQ(lib.calls, fullSequence());
    lib.during.clear();
    lib.calls.clear();
    worker->Thread_FirmwareUpgrade();
    ASSERT_EQ(lib.calls.size(), fullSequence().size());
    EXPECT_EQ(lib.calls[3], "qz_erase(-2, 0, 1, erase, 0, /tmp/other.hex)");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&lib.connectRecord[8])), "/dev/ttyS9");
}

// ---- progress arithmetic ----------------------------------------------------------

TEST_F(Upgrade, VerifyProgressMapsChunksOnto50To98AndBeyondOnLargerParts)
{
    const std::pair<int, std::int64_t> cases[] = {
        {0, 50},          {512, 50},         {0x3F00, 74},  {0x7E00, 98},
        {0x8000, 98},     {0x10000, 147},    // a larger part goes past 98
        {0x10000000, 50}, // the product wraps at 32 bits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(verifyProgressCallback(6, c.first, 0, 0), 1);
        EXPECT_EQ(fwProgress.load(), c.second) << "chunk " << c.first;
    }
}

TEST_F(Upgrade, EraseProgressOnlyGoesOn)
{
    fwProgress.store(33);
    EXPECT_EQ(eraseProgressCallback(1, 5, 0, 0), 1);
    EXPECT_EQ(fwProgress.load(), 33);
}

std::vector<std::int64_t> programProgress(const std::vector<int>& blocks)
{
    std::vector<std::int64_t> out;
    for (int b : blocks) {
        EXPECT_EQ(programProgressCallback(3, b, 0, 0), 1);
        out.push_back(fwProgress.load());
    }
    return out;
}

TEST_F(Upgrade, ProgramProgressClimbsTo50AgainstTheHighestBlockSoFar)
{
    EXPECT_EQ(programMax.load(), 0u) << "a new worker starts from 0";
    EXPECT_EQ(programProgress({0x6800, 0x6400, 0x3400, 0x0400, 0}),
              (std::vector<std::int64_t>{1, 1, 25, 48, 50}));
    EXPECT_EQ(programMax.load(), 0x6800u);
    // The next upgrade in the same run measures against it: a smaller image
    // starts above 0, one of the same size at 0, a larger one raises it.
    EXPECT_EQ(programProgress({0x3000, 0}), (std::vector<std::int64_t>{26, 50}));
    EXPECT_EQ(programProgress({0x6800}), (std::vector<std::int64_t>{0}));
    EXPECT_EQ(programProgress({0x7C00, 0x3E00}), (std::vector<std::int64_t>{1, 25}));
    EXPECT_EQ(programMax.load(), 0x7C00u);
    // Only the constructor starts it again.
    SerialPortThread another;
    EXPECT_EQ(programMax.load(), 0u);
}

TEST_F(Upgrade, ImageInTheFirstBlockDoesNotDivideByZero)
{
    EXPECT_EQ(programProgress({0}), (std::vector<std::int64_t>{50}));
    EXPECT_EQ(programMax.load(), 0u);
    EXPECT_EQ(programProgress({0x400, 0}), (std::vector<std::int64_t>{1, 50}));
}

TEST_F(Upgrade, ProgramMaxCarriesOverFromOneUpgradeToTheNext)
{
    std::vector<std::int64_t> seen;
    lib.during["qz_program"] = [&seen](ProgressCallback cb) {
        for (int block : {0x2000, 0x1000, 0}) {
            cb(3, block, 0, 0);
            seen.push_back(fwProgress.load());
        }
    };
    lib.status["qz_reset"] = -2; // the first upgrade fails after programming
    upgrade();
    lib.status.clear();
    lib.during["qz_program"] = [&seen](ProgressCallback cb) {
        cb(3, 0x1000, 0, 0);
        seen.push_back(fwProgress.load());
    };
    upgrade();
    EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 25, 50, 25}));
}

// ---- the run loop's reports ---------------------------------------------------------

// The worker as the main window runs it: its loop thread started, the object
// moved to an event-loop thread where the slot runs; progress comes back
// queued to this thread.
class UpgradeInThreads : public Upgrade {
protected:
    void SetUp() override
    {
        Upgrade::SetUp();
        QObject::connect(worker.get(), &SerialPortThread::FWProgress, &receiver,
                         [this](int v) { received.push_back(v); }, Qt::QueuedConnection);
        worker->moveToThread(&serialWorker);
        serialWorker.start();
        worker->start();
    }
    void TearDown() override
    {
        worker->stop();
        worker->wait();
        serialWorker.quit();
        serialWorker.wait();
        Upgrade::TearDown();
    }

    bool finished() const
    {
        for (int v : received)
            if (v == 100 || v == 1000)
                return true;
        return false;
    }

    void runQueued()
    {
        worker->setUpgradeTarget(kPort, kFile);
        QMetaObject::invokeMethod(worker.get(), "Thread_FirmwareUpgrade", Qt::QueuedConnection);
        QElapsedTimer t;
        t.start();
        while (!finished() && t.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // A report the loop had in hand would arrive within its next pass.
        QElapsedTimer after;
        after.start();
        while (after.elapsed() < 1500)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    QObject receiver;
    QThread serialWorker;
    std::vector<int> received;
};

TEST_F(UpgradeInThreads, LoopReportsProgressWhileBusyAndNothingAfterTheFinalCode)
{
    // Programming stays at 25 for a while, verifying at 74.
    lib.during["qz_program"] = [](ProgressCallback cb) {
        cb(3, 0x2000, 0, 0);
        cb(3, 0x1000, 0, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    };
    lib.during["qz_verify"] = [](ProgressCallback cb) {
        cb(6, 0x3F00, 0, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    };
    runQueued();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back(), 100) << "the final code comes last";
    EXPECT_EQ(std::count(received.begin(), received.end(), 100), 1);
    ASSERT_GE(received.size(), 2u) << "busy for 2.6 s: the loop reported at least once";
    for (std::size_t i = 0; i + 1 < received.size(); ++i)
        EXPECT_TRUE(received[i] == 0 || received[i] == 1 || received[i] == 25 || received[i] == 74)
            << received[i];
}

TEST_F(UpgradeInThreads, FailedConnectEndsWithOne1000AndLeavesTheLoopQuiet)
{
    lib.status["qz_connect"] = -3;
    lib.during["qz_connect"] = [](ProgressCallback) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    };
    runQueued();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back(), 1000);
    EXPECT_EQ(std::count(received.begin(), received.end(), 1000), 1);
    for (std::size_t i = 0; i + 1 < received.size(); ++i)
        EXPECT_EQ(received[i], 0);
    EXPECT_EQ(worker->lastMessage(), QString("connect error(error code:-3)\n"));
}

} // namespace
