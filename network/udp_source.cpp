// Receiving datagrams as a byte source.
#include "network/udp_source.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvina {

namespace {

constexpr int kStepMs = 20;
constexpr std::size_t kMaxDatagram = 65536;
// Room for a burst of datagrams while the reader decodes.
constexpr int kReceiveBuffer = 1 << 20;

// Splits "HOST:PORT" after the scheme; the host may be empty, "@GROUP" or
// "[V6]".
bool SplitAddress(const std::string& strAddress, std::string& strHost, std::string& strPort) {
    std::string rest = strAddress.substr(6);
    const std::size_t nSlash = rest.find_first_of("/?");
    rest = rest.substr(0, nSlash);
    if (!rest.empty() && rest.front() == '@') {
        rest.erase(0, 1);
    }
    const std::size_t nColon = rest.rfind(':');
    if (nColon == std::string::npos || nColon + 1 == rest.size()) {
        return false;
    }
    strHost = rest.substr(0, nColon);
    strPort = rest.substr(nColon + 1);
    if (strHost.size() >= 2 && strHost.front() == '[' && strHost.back() == ']') {
        strHost = strHost.substr(1, strHost.size() - 2);
    }
    return strPort.find_first_not_of("0123456789") == std::string::npos;
}

bool IsMulticast(const sockaddr* pAddress) {
    if (pAddress->sa_family == AF_INET) {
        const auto* pV4 = reinterpret_cast<const sockaddr_in*>(pAddress);
        return IN_MULTICAST(ntohl(pV4->sin_addr.s_addr));
    }
    const auto* pV6 = reinterpret_cast<const sockaddr_in6*>(pAddress);
    return IN6_IS_ADDR_MULTICAST(&pV6->sin6_addr);
}

// Joins the group at pAddress on the socket bound to its port.
bool JoinGroup(int fd, const sockaddr* pAddress) {
    if (pAddress->sa_family == AF_INET) {
        ip_mreq request{};
        request.imr_multiaddr = reinterpret_cast<const sockaddr_in*>(pAddress)->sin_addr;
        request.imr_interface.s_addr = htonl(INADDR_ANY);
        return setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) == 0;
    }
    ipv6_mreq request{};
    request.ipv6mr_multiaddr = reinterpret_cast<const sockaddr_in6*>(pAddress)->sin6_addr;
    return setsockopt(fd, IPPROTO_IPV6, IPV6_JOIN_GROUP, &request, sizeof request) == 0;
}

}  // namespace

CUdpSource::CUdpSource(StopRequest fnStop, WarningReporter fnReport)
    : m_fnStop(std::move(fnStop)), m_fnReport(std::move(fnReport)) {}

CUdpSource::~CUdpSource() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

bool CUdpSource::Open(const std::string& strAddress, std::string& strReason) {
    m_strAddress = strAddress;
    std::string strHost;
    std::string strPort;
    if (!SplitAddress(strAddress, strHost, strPort)) {
        strReason = "a UDP address is udp://HOST:PORT";
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* pFound = nullptr;
    const int nError =
        getaddrinfo(strHost.empty() ? nullptr : strHost.c_str(), strPort.c_str(), &hints, &pFound);
    if (nError != 0) {
        strReason = std::string("the address does not resolve (") + gai_strerror(nError) + ")";
        return false;
    }
    const addrinfo& found = *pFound;
    m_fd = socket(found.ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    bool bOk = m_fd >= 0;
    if (bOk) {
        const int nOn = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &nOn, sizeof nOn);
        setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
        // A group is received on its port from every interface.
        bOk = bind(m_fd, found.ai_addr, found.ai_addrlen) == 0 &&
              (!IsMulticast(found.ai_addr) || JoinGroup(m_fd, found.ai_addr));
    }
    if (!bOk) {
        strReason = std::string("the port cannot be opened: ") + std::strerror(errno);
    }
    freeaddrinfo(pFound);
    m_datagram.resize(kMaxDatagram);
    return bOk;
}

std::size_t CUdpSource::Read(uint8_t* pBuffer, std::size_t nBytes) {
    using CClock = std::chrono::steady_clock;
    const auto start = CClock::now();
    while (m_nTaken == m_nLength && !m_bEnded && m_fd >= 0) {
        if (IsStopRequested(m_fnStop)) {
            m_bEnded = true;
            break;
        }
        if (CClock::now() - start > kTimeout) {
            if (!m_bReceived) {
                ReportWarning(m_fnReport, "nothing came to \"" + m_strAddress + "\" within " +
                                              std::to_string(kTimeout.count()) + " seconds");
            }
            m_bEnded = true;
            break;
        }
        pollfd poller{m_fd, POLLIN, 0};
        if (poll(&poller, 1, kStepMs) <= 0) {
            continue;
        }
        const ssize_t nGot = recv(m_fd, m_datagram.data(), m_datagram.size(), MSG_DONTWAIT);
        if (nGot > 0) {
            m_nLength = static_cast<std::size_t>(nGot);
            m_nTaken = 0;
            m_bReceived = true;
        }
    }
    if (m_nTaken == m_nLength) {
        return 0;
    }
    const std::size_t nCopy = std::min(nBytes, m_nLength - m_nTaken);
    std::memcpy(pBuffer, m_datagram.data() + m_nTaken, nCopy);
    m_nTaken += nCopy;
    m_nPosition += static_cast<int64_t>(nCopy);
    return nCopy;
}

}  // namespace corvina
