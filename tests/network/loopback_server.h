// A small HTTP server of the tests' own on 127.0.0.1: each connection's
// request is read, then a handler answers it as the test needs.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class CLoopbackServer {
  public:
    // Writes the answer to connection number nConnection (from 0) on fd; it
    // may wait, looking at bStopping, and the connection is closed after it.
    // Each connection is answered on a thread of its own.
    using Handler =
        std::function<void(int fd, int nConnection, const std::atomic<bool>& bStopping)>;

    explicit CLoopbackServer(Handler fnHandle);
    ~CLoopbackServer();
    CLoopbackServer(const CLoopbackServer&) = delete;
    CLoopbackServer& operator=(const CLoopbackServer&) = delete;

    int Port() const { return m_nPort; }
    std::string Address(const std::string& strPath = "/live") const;

  private:
    void Serve();

    Handler m_fnHandle;
    int m_fd = -1;
    int m_nPort = 0;
    std::atomic<bool> m_bStopping{false};
    std::thread m_thread;
    std::vector<std::thread> m_connections;
};

// Writes all of the bytes; false once the peer has gone.
bool SendAll(int fd, const void* pData, std::size_t nBytes);
bool SendText(int fd, const std::string& strText);
// A port on 127.0.0.1 that nothing listens on (of the given socket type) now.
int FreePort(int nType);
