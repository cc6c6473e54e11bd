// Auto-reset events with a timed wait.
#include "platform/auto_reset_event.h"

#include <chrono>

void CAutoResetEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bSignalled = true;
    }
    m_signalled.notify_one();
}

bool CAutoResetEvent::Wait(int nTimeoutMs) {
    std::unique_lock<std::mutex> lock(m_lock);
    const bool bSignalled = m_signalled.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                                                 [this] { return m_bSignalled; });
    m_bSignalled = false;
    return bSignalled;
}
