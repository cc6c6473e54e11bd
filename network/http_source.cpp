// Reading a stream over HTTP through libcurl's multi interface, so that every
// wait is cut into steps that look at the stop request.
#include "network/http_source.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <thread>

#include "network/curl_library.h"

namespace corvina {

namespace {

using namespace std::chrono_literals;

// The longest a stop request waits for an answer.
constexpr int kStepMs = 20;
// A reader that took nothing for this long was paused: what the connection
// held meanwhile is old, and a broadcast goes on from what is on air now.
constexpr auto kResumeGap = 3s;
constexpr long kMaxRedirects = 5;
// Anything larger is no ICY interval but a broken header.
constexpr unsigned long kMaxMetaInterval = 1UL << 24;

bool StartsWithNoCase(const std::string& strLine, const char* pszPrefix) {
    const std::size_t nLength = std::strlen(pszPrefix);
    if (strLine.size() < nLength) {
        return false;
    }
    for (std::size_t i = 0; i < nLength; ++i) {
        if (std::tolower(static_cast<unsigned char>(strLine[i])) != pszPrefix[i]) {
            return false;
        }
    }
    return true;
}

std::string TrimLine(std::string strLine) {
    while (!strLine.empty() && std::isspace(static_cast<unsigned char>(strLine.back()))) {
        strLine.pop_back();
    }
    return strLine;
}

}  // namespace

CHttpSource::CHttpSource(std::string strAddress, StopRequest fnStop, WarningReporter fnReport,
                         CLiveHooks live)
    : m_strAddress(std::move(strAddress)),
      m_fnStop(std::move(fnStop)),
      m_fnReport(std::move(fnReport)),
      m_live(std::move(live)) {}

CHttpSource::~CHttpSource() {
    Disconnect();
    if (m_pMulti != nullptr) {
        Curl().multi_cleanup(m_pMulti);
    }
}

bool CHttpSource::Open(std::string& strReason) {
    std::string strLoadError;
    if (LoadCurlLibrary(&strLoadError) == nullptr) {
        strReason = "addresses cannot be opened here (" + strLoadError + ")";
        return false;
    }
    TellState(ELiveState::Buffering);
    if (Connect(strReason) != EConnect::Ok) {
        return false;
    }
    m_lastRead = CClock::now();
    return true;
}

void CHttpSource::TellState(ELiveState eState) const {
    if (m_live.fnStateChanged) {
        m_live.fnStateChanged(eState);
    }
}

void CHttpSource::Disconnect() {
    if (m_pEasy != nullptr) {
        Curl().multi_remove_handle(m_pMulti, m_pEasy);
        Curl().easy_cleanup(m_pEasy);
        m_pEasy = nullptr;
    }
    if (m_pHeaders != nullptr) {
        Curl().slist_free_all(m_pHeaders);
        m_pHeaders = nullptr;
    }
    if (m_pAliases != nullptr) {
        Curl().slist_free_all(m_pAliases);
        m_pAliases = nullptr;
    }
}

CHttpSource::EConnect CHttpSource::Connect(std::string& strReason) {
    Disconnect();
    if (m_pMulti == nullptr) {
        m_pMulti = Curl().multi_init();
    }
    m_pEasy = Curl().easy_init();
    m_pHeaders = Curl().slist_append(nullptr, "Icy-MetaData: 1");
    // SHOUTcast's servers answer with a status line of their own.
    m_pAliases = Curl().slist_append(nullptr, "ICY 200 OK");
    if (m_pMulti == nullptr || m_pEasy == nullptr || m_pHeaders == nullptr ||
        m_pAliases == nullptr) {
        strReason = "the network library could not start";
        return EConnect::Failed;
    }
    m_szError[0] = '\0';
    Curl().easy_setopt(m_pEasy, CURLOPT_URL, m_strAddress.c_str());
    Curl().easy_setopt(m_pEasy, CURLOPT_PROTOCOLS_STR, "http,https");
    Curl().easy_setopt(m_pEasy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    Curl().easy_setopt(m_pEasy, CURLOPT_FOLLOWLOCATION, 1L);
    Curl().easy_setopt(m_pEasy, CURLOPT_MAXREDIRS, kMaxRedirects);
    Curl().easy_setopt(m_pEasy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(kTimeout.count()));
    Curl().easy_setopt(m_pEasy, CURLOPT_NOSIGNAL, 1L);
    Curl().easy_setopt(m_pEasy, CURLOPT_USERAGENT, "Corvina");
    Curl().easy_setopt(m_pEasy, CURLOPT_HTTPHEADER, m_pHeaders);
    Curl().easy_setopt(m_pEasy, CURLOPT_HTTP200ALIASES, m_pAliases);
    Curl().easy_setopt(m_pEasy, CURLOPT_ERRORBUFFER, m_szError);
    Curl().easy_setopt(m_pEasy, CURLOPT_HEADERFUNCTION, &CHttpSource::OnHeader);
    Curl().easy_setopt(m_pEasy, CURLOPT_HEADERDATA, this);
    Curl().easy_setopt(m_pEasy, CURLOPT_WRITEFUNCTION, &CHttpSource::OnBody);
    Curl().easy_setopt(m_pEasy, CURLOPT_WRITEDATA, this);
    m_nStatus = 0;
    m_strStatus.clear();
    m_bHeadersDone = false;
    m_bDone = false;
    m_eResult = CURLE_OK;
    m_icy = CIcyMetadataFilter();
    m_buffer.clear();
    m_nTaken = 0;
    m_lastData = CClock::now();
    Curl().multi_add_handle(m_pMulti, m_pEasy);

    switch (Pump(true)) {
        case EPump::Stopped:
            return EConnect::Stopped;
        case EPump::Stalled:
            strReason = "the server gave no answer within 10 seconds";
            return EConnect::Failed;
        case EPump::Done:
        case EPump::Ready:
            break;
    }
    if (m_bHeadersDone && m_nStatus >= 200 && m_nStatus < 300) {
        curl_off_t nLength = -1;
        Curl().easy_getinfo(m_pEasy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &nLength);
        m_bLive = nLength < 0;
        Prebuffer();
        return EConnect::Ok;
    }
    if (m_nStatus >= 300 && (m_bHeadersDone || m_eResult == CURLE_OK)) {
        strReason = "the server answered " +
                    (m_strStatus.empty() ? std::to_string(m_nStatus) : m_strStatus);
        return EConnect::Answered;
    }
    strReason = DescribeFailure(m_eResult);
    return EConnect::Failed;
}

std::string CHttpSource::DescribeFailure(CURLcode eResult) const {
    const std::string strDetail = m_szError[0] != '\0' ? m_szError : Curl().easy_strerror(eResult);
    switch (eResult) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return "the server's name does not resolve (" + strDetail + ")";
        case CURLE_COULDNT_CONNECT: {
            long nErrno = 0;
            if (m_pEasy != nullptr) {
                Curl().easy_getinfo(m_pEasy, CURLINFO_OS_ERRNO, &nErrno);
            }
            return "no connection to the server: " +
                   (nErrno != 0 ? std::string(std::strerror(static_cast<int>(nErrno))) : strDetail);
        }
        case CURLE_OPERATION_TIMEDOUT:
            return "the server gave no answer within 10 seconds";
        case CURLE_TOO_MANY_REDIRECTS:
            return "the server sent it on more than 5 times";
        case CURLE_GOT_NOTHING:
            return "the server closed the connection without an answer";
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return "the secure connection failed (" + strDetail + ")";
        case CURLE_OK:
            return "the server closed the connection";
        default:
            return strDetail;
    }
}

CHttpSource::EPump CHttpSource::Pump(bool bHeaders) {
    for (;;) {
        TakeMessages();
        if (bHeaders ? m_bHeadersDone : m_nTaken < m_buffer.size()) {
            return EPump::Ready;
        }
        if (m_bDone) {
            return EPump::Done;
        }
        if (IsStopRequested(m_fnStop)) {
            return EPump::Stopped;
        }
        if (CClock::now() - m_lastData > kTimeout) {
            return EPump::Stalled;
        }
        Curl().multi_poll(m_pMulti, nullptr, 0, kStepMs, nullptr);
    }
}

void CHttpSource::TakeMessages() {
    int nRunning = 0;
    Curl().multi_perform(m_pMulti, &nRunning);
    int nLeft = 0;
    while (CURLMsg* pMessage = Curl().multi_info_read(m_pMulti, &nLeft)) {
        if (pMessage->msg == CURLMSG_DONE) {
            m_bDone = true;
            m_eResult = pMessage->data.result;
        }
    }
}

void CHttpSource::Prebuffer() {
    const auto end = CClock::now() + kPrebufferTime;
    while (m_buffer.size() < kPrebufferBytes && CClock::now() < end && !m_bDone &&
           !IsStopRequested(m_fnStop)) {
        Curl().multi_poll(m_pMulti, nullptr, 0, kStepMs, nullptr);
        TakeMessages();
    }
}

bool CHttpSource::Wait(std::chrono::milliseconds wait) const {
    const auto end = CClock::now() + wait;
    while (CClock::now() < end) {
        if (IsStopRequested(m_fnStop)) {
            return false;
        }
        std::this_thread::sleep_for(
            std::min<CClock::duration>(end - CClock::now(), std::chrono::milliseconds(kStepMs)));
    }
    return !IsStopRequested(m_fnStop);
}

bool CHttpSource::Reconnect(std::string strWhy) {
    Disconnect();
    TellState(ELiveState::Reconnecting);
    for (int i = 0; i < kReconnects; ++i) {
        if (!Wait(std::chrono::milliseconds(250) * (1 << i))) {
            return false;
        }
        std::string strReason;
        switch (Connect(strReason)) {
            case EConnect::Ok:
                TellState(ELiveState::Playing);
                return true;
            case EConnect::Stopped:
                return false;
            case EConnect::Answered:
                // The server is there but the stream is not: the broadcast
                // has ended.
                TellState(ELiveState::Playing);
                return false;
            case EConnect::Failed:
                strWhy = std::move(strReason);
                break;
        }
    }
    ReportWarning(m_fnReport, "lost the connection to \"" + m_strAddress + "\"! (" + strWhy + ")");
    TellState(ELiveState::Lost);
    return false;
}

std::size_t CHttpSource::Read(uint8_t* pBuffer, std::size_t nBytes) {
    if (m_bEnded || m_pEasy == nullptr) {
        return 0;
    }
    if (m_bLive && m_bRead && CClock::now() - m_lastRead > kResumeGap) {
        std::string strReason;
        const EConnect eResult = Connect(strReason);
        if (eResult == EConnect::Stopped ||
            (eResult != EConnect::Ok && !Reconnect(std::move(strReason)))) {
            m_bEnded = true;
            return 0;
        }
    }
    while (m_nTaken == m_buffer.size()) {
        m_buffer.clear();
        m_nTaken = 0;
        const EPump eResult = Pump(false);
        if (eResult == EPump::Ready) {
            break;
        }
        // A whole file has come; a broadcast only ends when the server says
        // it has no more.
        if (eResult == EPump::Stopped ||
            (eResult == EPump::Done && m_eResult == CURLE_OK && !m_bLive) ||
            !Reconnect(eResult == EPump::Stalled ? "nothing came for 10 seconds"
                                                 : DescribeFailure(m_eResult))) {
            m_bEnded = true;
            Disconnect();
            return 0;
        }
    }
    // The first bytes end the wait before the sound.
    if (!m_bRead) {
        TellState(ELiveState::Playing);
    }
    const std::size_t nCopy = std::min(nBytes, m_buffer.size() - m_nTaken);
    std::memcpy(pBuffer, m_buffer.data() + m_nTaken, nCopy);
    m_nTaken += nCopy;
    m_nPosition += static_cast<int64_t>(nCopy);
    m_bRead = true;
    m_lastRead = CClock::now();
    return nCopy;
}

std::size_t CHttpSource::OnHeader(char* pData, std::size_t nSize, std::size_t nCount, void* pThis) {
    auto& self = *static_cast<CHttpSource*>(pThis);
    const std::size_t nBytes = nSize * nCount;
    const std::string strLine = TrimLine(std::string(pData, nBytes));
    if (StartsWithNoCase(strLine, "http/") || StartsWithNoCase(strLine, "icy ")) {
        // Each answer on the way through redirections starts anew.
        const std::size_t nSpace = strLine.find(' ');
        self.m_strStatus = strLine.substr(nSpace + 1);
        self.m_nStatus = std::strtol(self.m_strStatus.c_str(), nullptr, 10);
        self.m_icy = CIcyMetadataFilter();
        self.m_bHeadersDone = false;
    } else if (strLine.empty()) {
        const bool bRedirect = self.m_nStatus >= 300 && self.m_nStatus < 400;
        self.m_bHeadersDone = self.m_nStatus >= 200 && !bRedirect;
    } else if (StartsWithNoCase(strLine, "icy-metaint:")) {
        const unsigned long nInterval = std::strtoul(strLine.c_str() + 12, nullptr, 10);
        if (nInterval > 0 && nInterval <= kMaxMetaInterval) {
            self.m_icy = CIcyMetadataFilter(nInterval);
        }
    } else if (StartsWithNoCase(strLine, "icy-name:")) {
        std::string strName = ToValidUtf8(strLine.substr(9));
        strName.erase(0, strName.find_first_not_of(" \t"));
        if (!strName.empty() && strName != self.m_info.strAlbum) {
            self.m_info.strAlbum = std::move(strName);
            ++self.m_nInfoRevision;
        }
    }
    return nBytes;
}

std::size_t CHttpSource::OnBody(char* pData, std::size_t nSize, std::size_t nCount, void* pThis) {
    auto& self = *static_cast<CHttpSource*>(pThis);
    const std::size_t nBytes = nSize * nCount;
    // The page of an error answer is no audio.
    if (self.m_nStatus < 200 || self.m_nStatus >= 300) {
        return nBytes;
    }
    self.m_lastData = CClock::now();
    const std::size_t nOld = self.m_buffer.size();
    self.m_buffer.insert(self.m_buffer.end(), pData, pData + nBytes);
    const std::size_t nAudio =
        self.m_icy.Filter(self.m_buffer.data() + nOld, nBytes, self.m_live.fnTitleChanged);
    self.m_buffer.resize(nOld + nAudio);
    return nBytes;
}

}  // namespace corvina
