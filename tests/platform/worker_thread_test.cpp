// Holding and releasing the worker, and the auto-reset events.
#include "platform/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/auto_reset_event.h"

namespace {

bool WaitUntil(const std::function<bool()>& fnDone, int nTimeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (!fnDone()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

TEST(WorkerThread, HoldStopsTheWorkerAtItsNextSafePointAndReleaseGoesOn) {
    std::atomic<int> nPasses{0};
    std::atomic<bool> bQuit{false};
    CWorkerThread worker([&] {
        while (!bQuit) {
            CWorkerThread::SafePoint();
            ++nPasses;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return nPasses > 3; }));
    worker.Hold();
    ASSERT_TRUE(WaitUntil([&] { return worker.IsWaitingInHold(); }));
    const int nHeldAt = nPasses;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(nPasses, nHeldAt);
    worker.Release();
    ASSERT_TRUE(WaitUntil([&] { return nPasses > nHeldAt + 3; }));
    bQuit = true;
    EXPECT_TRUE(worker.WaitForEnd(5000));
    EXPECT_TRUE(worker.HasEnded());
}

TEST(WorkerThread, DestroyingAHeldWorkerReleasesAndJoinsIt) {
    std::atomic<bool> bQuit{false};
    auto pWorker = std::make_unique<CWorkerThread>([&] {
        while (!bQuit) {
            CWorkerThread::Sleep(1);
        }
    });
    pWorker->Hold();
    ASSERT_TRUE(WaitUntil([&] { return pWorker->IsWaitingInHold(); }));
    bQuit = true;
    pWorker.reset();
    SUCCEED();
}

// A stop must not wait out the wave output's poll: an interrupt ends the
// sleep in hand, or the next one when it comes first, and only that one.
TEST(WorkerThread, InterruptCutsOneSleepShort) {
    using std::chrono::steady_clock;
    std::atomic<int> nStage{0};
    steady_clock::duration secondSleep{};
    CWorkerThread worker([&] {
        CWorkerThread::Sleep(600000);
        nStage = 1;
        while (nStage != 2) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        CWorkerThread::Sleep(600000);  // interrupted before it began
        const auto tStart = steady_clock::now();
        CWorkerThread::Sleep(50);  // runs its full length
        secondSleep = steady_clock::now() - tStart;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    worker.Interrupt();
    ASSERT_TRUE(WaitUntil([&] { return nStage == 1; }, 60000));
    worker.Interrupt();
    nStage = 2;
    ASSERT_TRUE(worker.WaitForEnd(60000));
    EXPECT_GE(secondSleep, std::chrono::milliseconds(50));
}

TEST(WorkerThread, SafePointOutsideAWorkerDoesNothing) {
    EXPECT_EQ(CWorkerThread::Current(), nullptr);
    CWorkerThread::SafePoint();
    CWorkerThread* pSeen = nullptr;
    CWorkerThread worker([&] { pSeen = CWorkerThread::Current(); });
    worker.Join();
    EXPECT_EQ(pSeen, &worker);
}

TEST(AutoResetEvent, OneSignalLetsOneWaitThrough) {
    CAutoResetEvent event;
    EXPECT_FALSE(event.Wait(5));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(5));
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        event.Set();
    });
    EXPECT_TRUE(event.Wait(5000));
    setter.join();
}
