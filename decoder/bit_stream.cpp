// The stream's buffer, payloads and moves.
#include "decoder/bit_stream.h"

#include <algorithm>
#include <cstring>

#include "decoder/container_sniffer.h"
#include "decoder/file_source.h"

namespace corvina {

CBitStream::CBitStream(std::unique_ptr<CByteSource> pAudio, WarningReporter fnReport,
                       CTrackChoice choice, std::string strVerdict)
    : m_strVerdict(std::move(strVerdict)),
      m_choice(std::move(choice)),
      m_pAudio(pAudio.get()),
      m_fnReport(std::move(fnReport)),
      m_pPayload(std::make_unique<CPayloadBuffer>()),
      m_bIn(new uint8_t[kInputBytes]) {
    if (pAudio == nullptr) {
        m_nAudioEnd = 0;
        return;
    }
    m_pSource = std::make_unique<CTagSkippingSource>(std::move(pAudio));
    if (m_pSource->CanSeek()) {
        m_nLength = std::max<int64_t>(m_pSource->Size(), 0);
    }
    m_nPosition = m_pSource->Position();
    m_nAudioStart = m_pSource->AudioStart();
    m_nAudioEnd = m_pSource->AudioEnd();
}

CBitStream::~CBitStream() = default;

std::vector<uint8_t> CBitStream::LeadingTag() {
    return m_pSource != nullptr ? m_pSource->LeadingTag() : std::vector<uint8_t>();
}
CBitStream::CBitStream(CBitStream&&) noexcept = default;

CBitStream OpenBitStream(std::unique_ptr<CByteSource> pSource, const std::string& strName,
                         const WarningReporter& fnReport, const StopRequest& fnStop,
                         int64_t nWalkBudget, const CTrackChoice& choice) {
    std::string strVerdict;
    std::unique_ptr<CByteSource> pAudio = OpenContainedAudio(
        std::move(pSource), strName, fnReport, fnStop, nWalkBudget, &strVerdict, choice);
    return CBitStream(std::move(pAudio), fnReport, choice, std::move(strVerdict));
}

CBitStream OpenBitStream(const char* pszFileName, const WarningReporter& fnReport) {
    const std::string strName = pszFileName != nullptr ? pszFileName : "";
    return OpenBitStream(OpenStreamSource(strName.c_str(), {}, fnReport), strName, fnReport);
}

void CBitStream::UpdateLength() {
    if (m_nLength > 0 || !CanSeek()) {
        return;
    }
    m_nLength = std::max<int64_t>(m_pSource->Size(), 0);
    // A stream read to its end keeps the end it found.
    if (m_nAudioEnd == INT64_MAX) {
        m_nAudioEnd = m_nLength;
    }
}

bool CBitStream::Fill() {
    if (m_nInPos < m_nInEnd) {
        std::memmove(m_bIn.get(), m_bIn.get() + m_nInPos, m_nInEnd - m_nInPos);
    }
    m_nInEnd -= m_nInPos;
    m_nInPos = 0;
    bool bGot = false;
    while (m_nInEnd < kInputBytes) {
        const std::size_t nRead = m_pSource->Read(m_bIn.get() + m_nInEnd, kInputBytes - m_nInEnd);
        if (nRead == 0) {
            break;
        }
        m_nInEnd += nRead;
        bGot = true;
        // A pipe hands over what it has; waiting for a full buffer would
        // hold back a stream that arrives slowly.
        if (!m_pSource->CanSeek()) {
            break;
        }
    }
    return bGot;
}

bool CBitStream::ReadBytes(uint8_t* pTarget, std::size_t nBytes) {
    if (m_pSource == nullptr || m_nAudioEnd - m_nPosition < static_cast<int64_t>(nBytes)) {
        return false;
    }
    std::size_t nDone = 0;
    while (nDone < nBytes) {
        if (m_nInPos == m_nInEnd && !Fill()) {
            return false;
        }
        const std::size_t nCount = std::min(nBytes - nDone, m_nInEnd - m_nInPos);
        std::memcpy(pTarget + nDone, m_bIn.get() + m_nInPos, nCount);
        m_nInPos += nCount;
        m_nPosition += static_cast<int64_t>(nCount);
        nDone += nCount;
    }
    return true;
}

std::size_t CBitStream::PeekAt(std::size_t nOffset, uint8_t* pTarget, std::size_t nBytes) {
    if (m_pSource == nullptr || nOffset + nBytes > kLookAheadBytes) {
        return 0;
    }
    const int64_t nLeft = m_nAudioEnd - m_nPosition - static_cast<int64_t>(nOffset);
    if (nLeft <= 0) {
        return 0;
    }
    nBytes = static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(nBytes), nLeft));
    while (m_nInEnd - m_nInPos < nOffset + nBytes && Fill()) {
    }
    const std::size_t nHave = m_nInEnd - m_nInPos;
    if (nHave <= nOffset) {
        return 0;
    }
    const std::size_t nCount = std::min(nBytes, nHave - nOffset);
    std::memcpy(pTarget, m_bIn.get() + m_nInPos + nOffset, nCount);
    return nCount;
}

std::size_t CBitStream::SkipUntil(uint8_t bValue, std::size_t nLimit) {
    std::size_t nPassed = 0;
    while (nPassed < nLimit && m_nPosition < m_nAudioEnd) {
        if (m_nInPos == m_nInEnd && !Fill()) {
            m_nAudioEnd = m_nPosition;
            break;
        }
        const auto nSpan = static_cast<std::size_t>(
            std::min<int64_t>({static_cast<int64_t>(m_nInEnd - m_nInPos),
                               static_cast<int64_t>(nLimit - nPassed), m_nAudioEnd - m_nPosition}));
        const uint8_t* pStart = m_bIn.get() + m_nInPos;
        const auto* pFound = static_cast<const uint8_t*>(std::memchr(pStart, bValue, nSpan));
        const std::size_t nStep =
            pFound != nullptr ? static_cast<std::size_t>(pFound - pStart) : nSpan;
        m_nInPos += nStep;
        m_nPosition += static_cast<int64_t>(nStep);
        nPassed += nStep;
        if (pFound != nullptr) {
            break;
        }
    }
    return nPassed;
}

// Whatever was read before the end was found, the stream ends here.
int CBitStream::ReadByteSlow() {
    if (m_pSource == nullptr || m_nPosition >= m_nAudioEnd) {
        return -1;
    }
    if (m_nInPos == m_nInEnd && !Fill()) {
        m_nAudioEnd = m_nPosition;
        return -1;
    }
    ++m_nPosition;
    return m_bIn[m_nInPos++];
}

int CBitStream::SeekTo(int64_t nOffset) {
    if (m_pSource == nullptr || nOffset < 0) {
        return 0;
    }
    const int64_t nAhead = nOffset - m_nPosition;
    if (nAhead >= 0 && nAhead <= static_cast<int64_t>(m_nInEnd - m_nInPos)) {
        m_nInPos += static_cast<std::size_t>(nAhead);
        m_nPosition = nOffset;
        return 1;
    }
    if (m_pSource->CanSeek()) {
        if (!m_pSource->Seek(nOffset)) {
            return 0;
        }
        m_nInPos = m_nInEnd = 0;
        m_nPosition = nOffset;
        return 1;
    }
    // Forward only, by reading on.
    if (nAhead < 0) {
        return 0;
    }
    while (m_nPosition < nOffset) {
        if (m_nInPos == m_nInEnd && !Fill()) {
            return 0;
        }
        const auto nStep = static_cast<std::size_t>(
            std::min<int64_t>(nOffset - m_nPosition, static_cast<int64_t>(m_nInEnd - m_nInPos)));
        m_nInPos += nStep;
        m_nPosition += static_cast<int64_t>(nStep);
    }
    return 1;
}

int CBitStream::ReadWord(uint32_t& dwWord) {
    uint8_t bBytes[4];
    if (!ReadBytes(bBytes, 4)) {
        if (m_nLength > 0 || CanSeek()) {
            m_nPosition = m_nAudioEnd;
        } else {
            m_nAudioEnd = m_nPosition;
        }
        return 0;
    }
    dwWord = ReadBigEndian32(bBytes);
    return 1;
}

int CBitStream::LoadFrame(uint32_t nBytes) {
    if (nBytes > kBufferBytes) {
        Warn("Internal error: framelength > bufferlength?!");
        return 0;
    }
    if (!ReadBytes(m_pPayload->Bytes(), nBytes)) {
        if (m_nLength > 0 || CanSeek()) {
            m_nPosition = m_nAudioEnd;
        } else {
            m_nAudioEnd = m_nPosition;
        }
        return 0;
    }
    m_Reader = m_pPayload->Take(nBytes);
    return 1;
}

int CBitStream::SeekPercent(int nPercent) {
    RewindPayload();
    if (m_pSource == nullptr) {
        return 0;
    }
    nPercent = std::clamp(nPercent, 0, 100);
    auto nOffset = static_cast<int64_t>(nPercent * static_cast<double>(m_nLength) * 0.01);
    // A target inside a leading tag goes to the tag's end.
    nOffset = std::clamp(nOffset, m_nAudioStart, std::max(m_nAudioStart, m_nAudioEnd));
    // A stream that cannot seek refuses every move quietly.
    if (!CanSeek()) {
        return 0;
    }
    if (SeekTo(nOffset) == 0) {
        Warn("couldn't relocate file pointer");
        return 0;
    }
    return 1;
}

int CBitStream::SeekFraction(double dFraction) {
    RewindPayload();
    if (!CanSeek()) {
        return 0;
    }
    const int64_t nAudioBytes = std::max<int64_t>(m_nAudioEnd - m_nAudioStart, 0);
    const auto nOffset = m_nAudioStart + static_cast<int64_t>(std::clamp(dFraction, 0.0, 1.0) *
                                                              static_cast<double>(nAudioBytes));
    return SeekTo(nOffset);
}

int CBitStream::PositionPercent() const {
    if (m_nLength <= 0) {
        return 0;
    }
    // 100 times any length that can exist fits in 64 bits.
    const int64_t nPosition = std::clamp<int64_t>(m_nPosition, 0, m_nLength);
    return static_cast<int>(nPosition * 100 / m_nLength);
}

}  // namespace corvina
