// The stream and its bit reader.
#include "decoder/bit_stream.h"

#include <algorithm>
#include <cstring>

#include "decoder/container_sniffer.h"
#include "decoder/file_source.h"

namespace corvina {

CBitStream::CBitStream(std::unique_ptr<CByteSource> pSource, std::string strName,
                       WarningReporter fnReport, const StopRequest& fnStop, int64_t nWalkBudget,
                       CTrackChoice choice)
    : m_choice(std::move(choice)),
      m_pSource(OpenContainedAudio(std::move(pSource), strName, fnReport, fnStop, nWalkBudget,
                                   &m_strVerdict, m_choice)),
      m_strName(std::move(strName)),
      m_fnReport(std::move(fnReport)),
      m_bIn(new uint8_t[kInputBytes]) {
    if (m_pSource == nullptr) {
        m_nAudioEnd = 0;
        return;
    }
    LookAtStart();
}

CBitStream::CBitStream(const char* pszFileName, WarningReporter fnReport)
    : CBitStream(OpenStreamSource(pszFileName != nullptr ? pszFileName : "", {}, fnReport),
                 pszFileName != nullptr ? pszFileName : "", fnReport) {}

CBitStream::~CBitStream() = default;

void CBitStream::LookAtStart() {
    if (m_pSource->CanSeek()) {
        m_nLength = std::max<int64_t>(m_pSource->Size(), 0);
        m_nAudioEnd = m_nLength;
        m_nPosition = m_pSource->Position();
    }
    Fill();
    FindTags();
    if (m_nAudioStart > 0 && SeekTo(m_nAudioStart) == 0) {
        m_nAudioEnd = m_nAudioStart;
    }
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

// Tags are not audio: an ID3v2 tag at the start is skipped whole (where it
// ends within the file), and an ID3v1
// block at the end counts as the end of the stream, so the frame before it is
// followed by "the end of the file" and kept.
void CBitStream::FindTags() {
    const uint8_t* bHead = m_bIn.get();
    if (m_nInEnd >= 10 && bHead[0] == 'I' && bHead[1] == 'D' && bHead[2] == '3' &&
        bHead[3] != 0xFF && bHead[4] != 0xFF &&
        ((bHead[6] | bHead[7] | bHead[8] | bHead[9]) & 0x80) == 0) {
        const int64_t nSize =
            (static_cast<int64_t>(bHead[6]) << 21) | (bHead[7] << 14) | (bHead[8] << 7) | bHead[9];
        const bool bFooter = (bHead[5] & 0x10) != 0;
        m_nAudioStart = 10 + nSize + (bFooter ? 10 : 0);
        // A tag that claims more than the file holds lies about its size:
        // the frames are searched for after its header, so none is lost.
        if ((m_nLength > 0 || m_pSource->CanSeek()) && m_nAudioStart > m_nLength) {
            m_nAudioStart = std::min<int64_t>(10, m_nLength);
        }
    }
    if (!m_pSource->CanSeek()) {
        return;
    }
    // Tags stand at the end in any order; each one found moves the end of
    // the audio before it.
    const int64_t nStart = m_nPosition;
    while (int64_t nTag = TagBytesBefore(m_nAudioEnd)) {
        m_nAudioEnd -= nTag;
    }
    if (SeekTo(nStart) == 0) {
        m_nAudioEnd = 0;
    }
}

namespace {

uint32_t FromLittleEndian(const uint8_t* pBytes) {
    return static_cast<uint32_t>(pBytes[0]) | (static_cast<uint32_t>(pBytes[1]) << 8) |
           (static_cast<uint32_t>(pBytes[2]) << 16) | (static_cast<uint32_t>(pBytes[3]) << 24);
}

bool Matches(const uint8_t* pBytes, const char* pszText) {
    return std::memcmp(pBytes, pszText, std::strlen(pszText)) == 0;
}

}  // namespace

// The length of the tag that ends at nEnd: ID3v1, APEv1 or APEv2 (with or
// without its header), Lyrics3v2, or an ID3v2 tag with a footer; 0 for none.
int64_t CBitStream::TagBytesBefore(int64_t nEnd) {
    const int64_t nRoom = nEnd - m_nAudioStart;
    uint8_t bTail[32] = {};
    if (nRoom < 10 || SeekTo(nEnd - std::min<int64_t>(nRoom, 32)) == 0 ||
        !ReadBytes(bTail + 32 - std::min<int64_t>(nRoom, 32),
                   static_cast<std::size_t>(std::min<int64_t>(nRoom, 32)))) {
        return 0;
    }
    int64_t nTag = 0;
    if (nRoom >= 32 && Matches(bTail, "APETAGEX")) {
        const bool bHeader = (FromLittleEndian(bTail + 20) & 0x80000000u) != 0;
        nTag = static_cast<int64_t>(FromLittleEndian(bTail + 12)) + (bHeader ? 32 : 0);
    } else if (nRoom >= 15 && Matches(bTail + 23, "LYRICS200")) {
        int64_t nSize = 0;
        for (int i = 17; i < 23; ++i) {
            if (bTail[i] < '0' || bTail[i] > '9') {
                return 0;
            }
            nSize = nSize * 10 + (bTail[i] - '0');
        }
        nTag = nSize + 15;
    } else if (Matches(bTail + 22, "3DI") &&
               ((bTail[28] | bTail[29] | bTail[30] | bTail[31]) & 0x80) == 0) {
        nTag = ((static_cast<int64_t>(bTail[28]) << 21) | (bTail[29] << 14) | (bTail[30] << 7) |
                bTail[31]) +
               20;
    } else if (nRoom >= 128) {
        uint8_t bId3v1[3] = {};
        if (SeekTo(nEnd - 128) != 0 && ReadBytes(bId3v1, sizeof bId3v1) && Matches(bId3v1, "TAG")) {
            nTag = 128;
        }
    }
    return nTag > 0 && nTag <= nRoom ? nTag : 0;
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
    if (!ReadBytes(m_Reader.Bytes(), nBytes)) {
        if (m_nLength > 0 || CanSeek()) {
            m_nPosition = m_nAudioEnd;
        } else {
            m_nAudioEnd = m_nPosition;
        }
        return 0;
    }
    m_Reader.Take(nBytes);
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
