// The tests' HTTP server on the loopback.
#include "tests/network/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace {

sockaddr_in Loopback(int nPort) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(nPort));
    return address;
}

// Reads the request up to its blank line, for at most two seconds.
void ReadRequest(int fd) {
    std::string strRequest;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    char buffer[1024];
    while (strRequest.find("\r\n\r\n") == std::string::npos && strRequest.size() < 16384 &&
           std::chrono::steady_clock::now() < end) {
        pollfd poller{fd, POLLIN, 0};
        if (poll(&poller, 1, 50) <= 0) {
            continue;
        }
        const ssize_t nGot = recv(fd, buffer, sizeof buffer, 0);
        if (nGot <= 0) {
            return;
        }
        strRequest.append(buffer, static_cast<std::size_t>(nGot));
    }
}

}  // namespace

CLoopbackServer::CLoopbackServer(Handler fnHandle) : m_fnHandle(std::move(fnHandle)) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t nLength = sizeof address;
    if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_fd, 8) != 0 ||
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &nLength) != 0) {
        return;
    }
    m_nPort = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

CLoopbackServer::~CLoopbackServer() {
    m_bStopping = true;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    if (m_fd >= 0) {
        close(m_fd);
    }
}

std::string CLoopbackServer::Address(const std::string& strPath) const {
    return "http://127.0.0.1:" + std::to_string(m_nPort) + strPath;
}

void CLoopbackServer::Serve() {
    for (int nConnection = 0; !m_bStopping;) {
        pollfd poller{m_fd, POLLIN, 0};
        if (poll(&poller, 1, 50) <= 0) {
            continue;
        }
        const int fd = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        // Each connection on a thread of its own, so that one kept waiting
        // holds up no other.
        m_connections.emplace_back([this, fd, nConnection] {
            ReadRequest(fd);
            m_fnHandle(fd, nConnection, m_bStopping);
            close(fd);
        });
        ++nConnection;
    }
    for (std::thread& connection : m_connections) {
        connection.join();
    }
}

bool SendAll(int fd, const void* pData, std::size_t nBytes) {
    const auto* pBytes = static_cast<const char*>(pData);
    while (nBytes > 0) {
        const ssize_t nSent = send(fd, pBytes, nBytes, MSG_NOSIGNAL);
        if (nSent <= 0) {
            return false;
        }
        pBytes += nSent;
        nBytes -= static_cast<std::size_t>(nSent);
    }
    return true;
}

bool SendText(int fd, const std::string& strText) {
    return SendAll(fd, strText.data(), strText.size());
}

int FreePort(int nType) {
    const int fd = socket(AF_INET, nType | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t nLength = sizeof address;
    int nPort = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &nLength) == 0) {
        nPort = ntohs(address.sin_port);
    }
    if (fd >= 0) {
        close(fd);
    }
    return nPort;
}
