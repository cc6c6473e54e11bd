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
