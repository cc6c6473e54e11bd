// A byte source over udp://HOST:PORT: the datagrams that come to the port
// (a multicast group's where HOST is one), read as a pipe, such as an MPEG
// transport stream sent to a network.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "decoder/byte_source.h"
#include "synth/caller_hooks.h"

namespace corvina {

class CUdpSource : public CByteSource {
  public:
    // A stream that sends nothing for this long has ended.
    static constexpr std::chrono::seconds kTimeout{10};

    CUdpSource(StopRequest fnStop, WarningReporter fnReport);
    ~CUdpSource() override;
    CUdpSource(const CUdpSource&) = delete;
    CUdpSource& operator=(const CUdpSource&) = delete;

    // Binds the port of strAddress ("udp://HOST:PORT", "udp://@GROUP:PORT",
    // "udp://[V6]:PORT", "udp://:PORT"), joining the group where HOST is a
    // multicast one; false with the reason.
    bool Open(const std::string& strAddress, std::string& strReason);

    std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) override;
    int64_t Position() const override { return m_nPosition; }

  private:
    StopRequest m_fnStop;
    WarningReporter m_fnReport;
    std::string m_strAddress;
    int m_fd = -1;
    std::vector<uint8_t> m_datagram;
    std::size_t m_nLength = 0;
    std::size_t m_nTaken = 0;
    bool m_bEnded = false;
    bool m_bReceived = false;
    int64_t m_nPosition = 0;
};

}  // namespace corvina
