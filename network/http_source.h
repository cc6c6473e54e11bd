// A byte source over an http:// or https:// address through libcurl: a live
// stream read as a pipe, its ICY metadata taken out and its title told, a
// drop answered by connecting again.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "decoder/byte_source.h"
#include "decoder/track_info.h"
#include "network/icy_metadata.h"
#include "synth/caller_hooks.h"

namespace corvina {

class CHttpSource : public CByteSource {
  public:
    using CClock = std::chrono::steady_clock;
    // The answer's headers must come within this time, and a stream that
    // gives nothing for this long has dropped.
    static constexpr std::chrono::seconds kTimeout{10};
    // Connections made again after a drop before it counts as lost.
    static constexpr int kReconnects = 5;
    // What is gathered before the first sound: about a second of audio, or
    // what a server sends at once to a new listener.
    static constexpr std::chrono::seconds kPrebufferTime{1};
    static constexpr std::size_t kPrebufferBytes = 64 * 1024;

    CHttpSource(std::string strAddress, StopRequest fnStop, WarningReporter fnReport,
                CLiveHooks live);
    ~CHttpSource() override;
    CHttpSource(const CHttpSource&) = delete;
    CHttpSource& operator=(const CHttpSource&) = delete;

    // Connects and waits for the answer; false with the sentence that says
    // why it cannot be read.
    bool Open(std::string& strReason);

    std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) override;
    int64_t Position() const override { return m_nPosition; }
    // The station's name (icy-name) as the album, once the server gave one.
    const CTrackInfo* ContainerTrackInfo() const override {
        return m_info.strAlbum.empty() ? nullptr : &m_info;
    }
    uint64_t TrackInfoRevision() const override { return m_nInfoRevision; }

  private:
    enum class EConnect { Ok, Answered, Failed, Stopped };
    enum class EPump { Ready, Done, Stalled, Stopped };

    EConnect Connect(std::string& strReason);
    void Disconnect();
    // Drives the transfer until the answer's headers (bHeaders) or body bytes
    // are in, it ends, nothing comes for kTimeout, or a stop is asked for.
    EPump Pump(bool bHeaders);
    // Gathers audio until kPrebufferBytes or kPrebufferTime, the end or a stop.
    void Prebuffer();
    // Notes the transfer's end, if it came.
    void TakeMessages();
    // After a drop: connects again with a growing pause; false once it gave
    // up (the stream then ends).
    bool Reconnect(std::string strWhy);
    // Waits, looking at the stop request; false when it cut the wait short.
    bool Wait(std::chrono::milliseconds wait) const;
    std::string DescribeFailure(CURLcode eResult) const;
    void TellState(ELiveState eState) const;

    static std::size_t OnHeader(char* pData, std::size_t nSize, std::size_t nCount, void* pThis);
    static std::size_t OnBody(char* pData, std::size_t nSize, std::size_t nCount, void* pThis);

    std::string m_strAddress;
    StopRequest m_fnStop;
    WarningReporter m_fnReport;
    CLiveHooks m_live;

    CURLM* m_pMulti = nullptr;
    CURL* m_pEasy = nullptr;
    curl_slist* m_pHeaders = nullptr;
    curl_slist* m_pAliases = nullptr;
    char m_szError[CURL_ERROR_SIZE] = {};

    std::vector<uint8_t> m_buffer;
    std::size_t m_nTaken = 0;
    CIcyMetadataFilter m_icy;
    long m_nStatus = 0;
    std::string m_strStatus;
    bool m_bHeadersDone = false;
    bool m_bDone = false;
    CURLcode m_eResult = CURLE_OK;
    // An answer without a length is a broadcast, which has no end of its own.
    bool m_bLive = true;
    bool m_bEnded = false;
    bool m_bRead = false;
    CClock::time_point m_lastData{};
    CClock::time_point m_lastRead{};
    int64_t m_nPosition = 0;
    CTrackInfo m_info;
    uint64_t m_nInfoRevision = 0;
};

}  // namespace corvina
