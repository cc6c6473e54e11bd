// An event that lets one waiter through per signal and then closes again.
#pragma once

#include <condition_variable>
#include <mutex>

class CAutoResetEvent {
  public:
    void Set();
    // True when the event was signalled within the time; the signal is consumed.
    bool Wait(int nTimeoutMs);

  private:
    std::mutex m_lock;
    std::condition_variable m_signalled;
    bool m_bSignalled = false;
};
