// The playback worker's thread: started at raised priority, held and released
// only at points where the worker holds no lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class CWorkerThread {
  public:
    // Starts the body at once on a new thread.
    explicit CWorkerThread(std::function<void()> fnBody);
    // Releases a hold and waits for the body to return.
    ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Asks the worker to stand still at its next safe point; returns at once.
    void Hold();
    void Release();
    bool IsHeld() const;
    // True when the worker stands at a safe point because of a hold.
    bool IsWaitingInHold() const;
    bool HasEnded() const { return m_bEnded.load(); }
    // Cuts the worker's current Sleep short, or its next one when it is not
    // sleeping: a stop is then seen at once instead of after the sleep.
    void Interrupt();
    // Waits for the body to return; true when it did within the time.
    bool WaitForEnd(int nTimeoutMs);
    void Join();

    // Worker side: blocks while a hold is on for the calling thread's worker.
    // Does nothing on any other thread.
    static void SafePoint();
    // A safe point, a sleep of the given length (shorter when interrupted),
    // and another safe point.
    static void Sleep(int nMilliseconds);
    // The worker object of the calling thread, or null.
    static CWorkerThread* Current();

  private:
    void Run(std::function<void()> fnBody);
    void WaitWhileHeld();
    void SleepUnlessInterrupted(int nMilliseconds);

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_bHeld = false;
    bool m_bWaitingInHold = false;
    bool m_bInterrupted = false;
    std::atomic<bool> m_bEnded{false};
    std::thread m_thread;
};
