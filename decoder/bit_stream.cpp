// The stream and its bit reader.
#include "decoder/bit_stream.h"

#include <algorithm>
#include <cstring>

#include "decoder/file_source.h"

namespace {

uint32_t FromBigEndian(const uint8_t* pBytes) {
    return (static_cast<uint32_t>(pBytes[0]) << 24) | (static_cast<uint32_t>(pBytes[1]) << 16) |
           (static_cast<uint32_t>(pBytes[2]) << 8) | static_cast<uint32_t>(pBytes[3]);
}

std::unique_ptr<CByteSource> OpenFile(const char* pszFileName, const WarningReporter& fnReport) {
    auto pFile = std::make_unique<CFileSource>();
    std::string strReason;
    if (!pFile->Open(pszFileName, strReason)) {
        ReportWarning(fnReport,
                      std::string("couldn't open file \"") + pszFileName + "\" for reading!\n");
        return nullptr;
    }
    return pFile;
}

}  // namespace

CBitStream::CBitStream(std::unique_ptr<CByteSource> pSource, std::string strName,
                       WarningReporter fnReport)
    : m_pSource(std::move(pSource)),
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
    : CBitStream(OpenFile(pszFileName != nullptr ? pszFileName : "", fnReport),
                 pszFileName != nullptr ? pszFileName : "", fnReport) {}

CBitStream::~CBitStream() = default;

void CBitStream::LookAtStart() {
    if (m_pSource->CanSeek()) {
        m_nLength = std::max<int64_t>(m_pSource->Size(), 0);
        m_nAudioEnd = m_nLength;
        m_nPosition = m_pSource->Position();
    }
    Fill();
    const uint8_t* pStart = m_bIn.get();
    if (m_nInEnd >= 4 && pStart[0] == 0x00 && pStart[1] == 0x00 && pStart[2] == 0x01) {
        if (pStart[3] == 0xBA) {
            Warn(m_strName + " is an MPEG system stream, which is beyond me!");
        } else if (pStart[3] == 0xB3) {
            Warn(m_strName + " is an MPEG video stream, which is beyond me!");
        }
    }
    FindTags();
    if (m_nAudioStart > 0 && SeekTo(m_nAudioStart) == 0) {
        m_nAudioEnd = m_nAudioStart;
    }
}

// Tags are not audio: an ID3v2 tag at the start is skipped whole, and an ID3v1
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
        if (m_nLength > 0 || m_pSource->CanSeek()) {
            m_nAudioStart = std::min(m_nAudioStart, m_nLength);
        }
    }
    if (!m_pSource->CanSeek() || m_nLength - m_nAudioStart < 128) {
        return;
    }
    uint8_t bTag[3] = {};
    if (SeekTo(m_nLength - 128) != 0 && ReadBytes(bTag, sizeof bTag) && bTag[0] == 'T' &&
        bTag[1] == 'A' && bTag[2] == 'G') {
        m_nAudioEnd = m_nLength - 128;
    }
    if (SeekTo(0) == 0) {
        m_nAudioEnd = 0;
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

std::size_t CBitStream::Peek(uint8_t* pTarget, std::size_t nBytes) {
    if (m_pSource == nullptr || m_nPosition >= m_nAudioEnd) {
        return 0;
    }
    nBytes = static_cast<std::size_t>(
        std::min<int64_t>(static_cast<int64_t>(nBytes), m_nAudioEnd - m_nPosition));
    while (m_nInEnd - m_nInPos < nBytes && Fill()) {
    }
    const std::size_t nCount = std::min(nBytes, m_nInEnd - m_nInPos);
    std::memcpy(pTarget, m_bIn.get() + m_nInPos, nCount);
    return nCount;
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
    dwWord = FromBigEndian(bBytes);
    return 1;
}

int CBitStream::LoadFrame(uint32_t nBytes) {
    if (nBytes > kBufferBytes) {
        Warn("Internal error: framelength > bufferlength?!\n");
        return 0;
    }
    auto* pBytes = reinterpret_cast<uint8_t*>(m_dwBuffer);
    if (!ReadBytes(pBytes, nBytes)) {
        if (m_nLength > 0 || CanSeek()) {
            m_nPosition = m_nAudioEnd;
        } else {
            m_nAudioEnd = m_nPosition;
        }
        return 0;
    }
    // The bytes after the payload up to the spare word read as zeros, so a
    // read into the last partial word gives the same bits on every run.
    std::memset(pBytes + nBytes, 0, sizeof m_dwBuffer - nBytes);
    const uint32_t nWords = (nBytes + 3) / 4;
    for (uint32_t nWord = 0; nWord < nWords; ++nWord) {
        m_dwBuffer[nWord] = FromBigEndian(pBytes + 4 * nWord);
    }
    m_nLoaded = nBytes;
    m_nWord = 0;
    m_nBitOffset = 0;
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
    if (!CanSeek() || SeekTo(nOffset) == 0) {
        Warn("couldn't relocate file pointer");
        return 0;
    }
    return 1;
}

int CBitStream::PositionPercent() const {
    if (m_nLength <= 0) {
        return 0;
    }
    // 100 times any length that can exist fits in 64 bits.
    const int64_t nPosition = std::clamp<int64_t>(m_nPosition, 0, m_nLength);
    return static_cast<int>(nPosition * 100 / m_nLength);
}
