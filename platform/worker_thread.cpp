// Worker threads with cooperative hold and release.
#include "platform/worker_thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

namespace {

thread_local CWorkerThread* t_pCurrent = nullptr;

// One step above the process's own priority; refused without the right to do
// it, which is fine: the worker then runs at normal priority.
void RaisePriority() {
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int nNice = getpriority(PRIO_PROCESS, tid);
    if (errno == 0) {
        (void)setpriority(PRIO_PROCESS, tid, nNice - 1);
    }
}

}  // namespace

CWorkerThread::CWorkerThread(std::function<void()> fnBody)
    : m_thread(&CWorkerThread::Run, this, std::move(fnBody)) {}

CWorkerThread::~CWorkerThread() {
    Release();
    Join();
}

void CWorkerThread::Run(std::function<void()> fnBody) {
    t_pCurrent = this;
    RaisePriority();
    fnBody();
    t_pCurrent = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bEnded.store(true);
    }
    m_changed.notify_all();
}

void CWorkerThread::Hold() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_bHeld = true;
}

void CWorkerThread::Release() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bHeld = false;
    }
    m_changed.notify_all();
}

bool CWorkerThread::IsHeld() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bHeld;
}

bool CWorkerThread::IsWaitingInHold() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bWaitingInHold;
}

bool CWorkerThread::WaitForEnd(int nTimeoutMs) {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                              [this] { return m_bEnded.load(); });
}

void CWorkerThread::Join() {
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        m_thread.join();
    }
}

void CWorkerThread::WaitWhileHeld() {
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_bHeld) {
        return;
    }
    m_bWaitingInHold = true;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return !m_bHeld; });
    m_bWaitingInHold = false;
}

void CWorkerThread::SafePoint() {
    if (t_pCurrent != nullptr) {
        t_pCurrent->WaitWhileHeld();
    }
}

void CWorkerThread::Interrupt() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bInterrupted = true;
    }
    m_changed.notify_all();
}

void CWorkerThread::SleepUnlessInterrupted(int nMilliseconds) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait_for(lock, std::chrono::milliseconds(nMilliseconds),
                       [this] { return m_bInterrupted; });
    m_bInterrupted = false;
}

void CWorkerThread::Sleep(int nMilliseconds) {
    SafePoint();
    if (t_pCurrent != nullptr) {
        t_pCurrent->SleepUnlessInterrupted(nMilliseconds);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(nMilliseconds));
    }
    SafePoint();
}

CWorkerThread* CWorkerThread::Current() {
    return t_pCurrent;
}
