// Buffered container reading, payload joining and the audio index.
#include "decoder/demux_source.h"

#include <algorithm>
#include <cstring>
#include <typeinfo>

namespace corvina {

namespace {

constexpr std::size_t kInputBytes = 64 * 1024;
// An index entry at most every this many audio bytes: a move reads on from
// the entry before its target, through the container bytes between.
constexpr int64_t kIndexStep = 4096;
// Payloads between two looks at a stop request during the walk.
constexpr int kStopCheckPayloads = 1024;

}  // namespace

CDemuxSource::CDemuxSource(std::unique_ptr<CByteSource> pInner, StopRequest fnStop)
    : m_pInner(std::move(pInner)), m_fnStop(std::move(fnStop)) {
    m_nInOffset = m_nStart = m_pInner->Position();
}

bool CDemuxSource::FillIn(std::size_t nWanted) {
    if (m_in.size() - m_nInPos >= nWanted) {
        return true;
    }
    m_in.erase(m_in.begin(), m_in.begin() + static_cast<std::ptrdiff_t>(m_nInPos));
    m_nInPos = 0;
    const std::size_t nTarget = std::max(nWanted, kInputBytes);
    // A search through a long stretch without packets gives up here, as at
    // the end, on a stop or at the walk's budget.
    if (m_nInOffset > m_nWalkLimit || IsStopRequested(m_fnStop)) {
        return false;
    }
    while (m_in.size() < nWanted) {
        const std::size_t nHave = m_in.size();
        m_in.resize(nTarget);
        const std::size_t nRead = m_pInner->Read(m_in.data() + nHave, nTarget - nHave);
        m_in.resize(nHave + nRead);
        if (nRead == 0) {
            return false;
        }
    }
    return true;
}

std::size_t CDemuxSource::PeekIn(uint8_t* pTarget, std::size_t nBytes) {
    FillIn(nBytes);
    const std::size_t nCount = std::min(nBytes, m_in.size() - m_nInPos);
    // A walk stopped before its first read has no buffer yet.
    if (nCount > 0) {
        std::memcpy(pTarget, m_in.data() + m_nInPos, nCount);
    }
    return nCount;
}

std::size_t CDemuxSource::ReadIn(uint8_t* pTarget, std::size_t nBytes) {
    std::size_t nDone = 0;
    while (nDone < nBytes) {
        if (m_nInPos == m_in.size()) {
            FillIn(std::min(nBytes - nDone, kInputBytes));
            if (m_nInPos == m_in.size()) {
                break;
            }
        }
        const std::size_t nCount = std::min(nBytes - nDone, m_in.size() - m_nInPos);
        std::memcpy(pTarget + nDone, m_in.data() + m_nInPos, nCount);
        m_nInPos += nCount;
        nDone += nCount;
    }
    m_nInOffset += static_cast<int64_t>(nDone);
    return nDone;
}

bool CDemuxSource::SkipIn(int64_t nBytes) {
    const auto nBuffered = static_cast<int64_t>(m_in.size() - m_nInPos);
    if (nBytes <= nBuffered) {
        m_nInPos += static_cast<std::size_t>(nBytes);
        m_nInOffset += nBytes;
        return true;
    }
    if (m_pInner->CanSeek()) {
        const int64_t nTarget = m_nInOffset + nBytes;
        const int64_t nSize = m_pInner->Size();
        if (nSize >= 0 && nTarget > nSize) {
            SeekIn(nSize);
            return false;
        }
        return SeekIn(nTarget);
    }
    uint8_t bScratch[4096];
    while (nBytes > 0) {
        const std::size_t nStep = static_cast<std::size_t>(std::min<int64_t>(nBytes, 4096));
        if (ReadIn(bScratch, nStep) != nStep) {
            return false;
        }
        nBytes -= static_cast<int64_t>(nStep);
    }
    return true;
}

bool CDemuxSource::SeekIn(int64_t nOffset) {
    if (!m_pInner->Seek(nOffset)) {
        return false;
    }
    m_in.clear();
    m_nInPos = 0;
    m_nInOffset = nOffset;
    return true;
}

bool CDemuxSource::NextPayload() {
    m_payload.clear();
    m_nPayloadPos = 0;
    while (!m_bEnded && m_payload.empty()) {
        int64_t nResumeAt = -1;
        if (!ReadPayload(m_payload, nResumeAt)) {
            m_bEnded = true;
            if (!m_bDelivered && m_payload.empty() && !m_strNoAudio.empty()) {
                ReportWarning(m_fnReport, m_strNoAudio);
                m_strNoAudio.clear();
            }
        }
    }
    m_bDelivered = m_bDelivered || !m_payload.empty();
    return !m_payload.empty();
}

bool CDemuxSource::BuildIndex(int64_t nBudget) {
    if (!m_pInner->CanSeek()) {
        return false;
    }
    m_index.clear();
    int64_t nAudio = 0;
    bool bStopped = false;
    std::vector<uint8_t> payload;
    if (nBudget >= 0) {
        m_nWalkLimit = m_nStart + nBudget;
    }
    for (int nCount = 1;; ++nCount) {
        if (nCount % kStopCheckPayloads == 0 && IsStopRequested(m_fnStop)) {
            bStopped = true;
            break;
        }
        payload.clear();
        int64_t nResumeAt = -1;
        const bool bMore = ReadPayload(payload, nResumeAt);
        if (!payload.empty() && nResumeAt >= 0 &&
            (m_index.empty() || nAudio >= m_index.back().nAudio + kIndexStep)) {
            m_index.push_back({nAudio, nResumeAt});
        }
        nAudio += static_cast<int64_t>(payload.size());
        if (!bMore) {
            bStopped = InOffset() > m_nWalkLimit || IsStopRequested(m_fnStop);
            break;
        }
    }
    m_nWalkLimit = INT64_MAX;
    if (!SeekIn(m_nStart)) {
        m_bEnded = true;
        return false;
    }
    Restart(true);
    m_bIndexed = !bStopped;
    m_nTotal = nAudio;
    if (bStopped) {
        m_index.clear();
    }
    return m_bIndexed;
}

bool CDemuxSource::AdoptIndex(CDemuxSource& walked) {
    if (typeid(*this) != typeid(walked) || !walked.m_bIndexed || m_nStart != walked.m_nStart) {
        return false;
    }
    auto* pInner = dynamic_cast<CDemuxSource*>(m_pInner.get());
    auto* pWalkedInner = dynamic_cast<CDemuxSource*>(walked.m_pInner.get());
    if ((pInner == nullptr) != (pWalkedInner == nullptr)) {
        return false;
    }
    // Below first: this index's container offsets are moves in the inner one.
    if (pInner != nullptr && !pInner->m_bIndexed && !pInner->AdoptIndex(*pWalkedInner)) {
        return false;
    }
    if (!m_pInner->CanSeek()) {
        return false;
    }
    m_index = std::move(walked.m_index);
    m_nTotal = walked.m_nTotal;
    m_bIndexed = true;
    walked.m_bIndexed = false;
    return true;
}

std::unique_ptr<CByteSource> CDemuxSource::ReleaseInner() {
    if (!m_pInner->Seek(m_nStart)) {
        return nullptr;
    }
    return std::move(m_pInner);
}

std::size_t CDemuxSource::Read(uint8_t* pBuffer, std::size_t nBytes) {
    std::size_t nDone = 0;
    while (nDone < nBytes) {
        if (m_nPayloadPos == m_payload.size() && !NextPayload()) {
            break;
        }
        const std::size_t nCount = std::min(nBytes - nDone, m_payload.size() - m_nPayloadPos);
        std::memcpy(pBuffer + nDone, m_payload.data() + m_nPayloadPos, nCount);
        m_nPayloadPos += nCount;
        nDone += nCount;
    }
    m_nPosition += static_cast<int64_t>(nDone);
    return nDone;
}

bool CDemuxSource::Seek(int64_t nOffset) {
    if (!m_bIndexed || nOffset < 0 || nOffset > m_nTotal) {
        return false;
    }
    // The last entry at or before the target, or the start.
    auto it =
        std::upper_bound(m_index.begin(), m_index.end(), nOffset,
                         [](int64_t nAudio, const CEntry& entry) { return nAudio < entry.nAudio; });
    const CEntry entry = it == m_index.begin() ? CEntry{0, m_nStart} : *(it - 1);
    if (!SeekIn(entry.nContainer)) {
        return false;
    }
    Restart(it == m_index.begin());
    m_bEnded = false;
    m_payload.clear();
    m_nPayloadPos = 0;
    m_nPosition = entry.nAudio;
    int64_t nLeft = nOffset - entry.nAudio;
    while (nLeft > 0) {
        if (m_nPayloadPos == m_payload.size() && !NextPayload()) {
            break;
        }
        const auto nStep = static_cast<std::size_t>(
            std::min<int64_t>(nLeft, static_cast<int64_t>(m_payload.size() - m_nPayloadPos)));
        m_nPayloadPos += nStep;
        nLeft -= static_cast<int64_t>(nStep);
    }
    m_nPosition = nOffset - nLeft;
    return true;
}

}  // namespace corvina
