// The firmware-upgrade driver run as the main window runs it, its loop and
// event-loop threads started: the progress it reports while busy and the
// single final code after.
#include "tests/link/upgrade_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

using namespace upgradetest;

namespace {

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
