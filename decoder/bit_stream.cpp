// The stream file and its bit reader.
#include "decoder/bit_stream.h"

#include <sys/types.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/file_access.h"
#include "player/message_stream.h"

namespace {

constexpr std::size_t kFileBufferBytes = 64 * 1024;

void Warn(const char* pszText) {
    g_MessageStream << pszText;
    ShowMessage(MSG_WARNING);
}

uint32_t FromBigEndian(const uint8_t* pBytes) {
    return (static_cast<uint32_t>(pBytes[0]) << 24) | (static_cast<uint32_t>(pBytes[1]) << 16) |
           (static_cast<uint32_t>(pBytes[2]) << 8) | static_cast<uint32_t>(pBytes[3]);
}

}  // namespace

CBitStream::CBitStream(const char* pszFileName) {
    Open(pszFileName != nullptr ? pszFileName : "");
}

CBitStream::~CBitStream() {
    if (m_pFile != nullptr) {
        std::fclose(m_pFile);
    }
}

void CBitStream::Open(const char* pszFileName) {
    std::string strReason;
    m_pFile = OpenFileForReading(pszFileName, strReason);
    if (m_pFile == nullptr) {
        g_MessageStream << "couldn't open file \"" << pszFileName << "\" for reading!\n";
        ShowMessage(MSG_WARNING);
        return;
    }
    std::setvbuf(m_pFile, nullptr, _IOFBF, kFileBufferBytes);
    if (fseeko(m_pFile, 0, SEEK_END) != 0) {
        Warn("can't seek to the file end\n");
        return;
    }
    const off_t nLength = ftello(m_pFile);
    m_nFileLength = nLength > 0 ? static_cast<int64_t>(nLength) : 0;
    m_nAudioEnd = m_nFileLength;
    if (fseeko(m_pFile, 0, SEEK_SET) != 0) {
        Warn("can't seek to the file beginning\n");
        m_nAudioEnd = 0;
        return;
    }
    uint8_t bStart[4] = {};
    const std::size_t nStart = std::fread(bStart, 1, sizeof bStart, m_pFile);
    if (fseeko(m_pFile, 0, SEEK_SET) != 0) {
        Warn("can't seek to the file beginning\n");
        m_nAudioEnd = 0;
        return;
    }
    if (nStart == 4 && bStart[0] == 0x00 && bStart[1] == 0x00 && bStart[2] == 0x01) {
        if (bStart[3] == 0xBA) {
            g_MessageStream << pszFileName << " is an MPEG system stream, which is beyond me!";
            ShowMessage(MSG_WARNING);
        } else if (bStart[3] == 0xB3) {
            g_MessageStream << pszFileName << " is an MPEG video stream, which is beyond me!";
            ShowMessage(MSG_WARNING);
        }
    }
    FindTags();
    if (m_nAudioStart > 0 && SeekTo(m_nAudioStart) == 0) {
        m_nAudioEnd = m_nAudioStart;
    }
}

// Tags are not audio: an ID3v2 tag at the start is skipped whole, and an ID3v1
// block at the end counts as the end of the file, so the frame before it is
// followed by "the end of the file" and kept.
void CBitStream::FindTags() {
    uint8_t bHead[10] = {};
    if (std::fread(bHead, 1, sizeof bHead, m_pFile) == sizeof bHead && bHead[0] == 'I' &&
        bHead[1] == 'D' && bHead[2] == '3' && bHead[3] != 0xFF && bHead[4] != 0xFF &&
        ((bHead[6] | bHead[7] | bHead[8] | bHead[9]) & 0x80) == 0) {
        const int64_t nSize =
            (static_cast<int64_t>(bHead[6]) << 21) | (bHead[7] << 14) | (bHead[8] << 7) | bHead[9];
        const bool bFooter = (bHead[5] & 0x10) != 0;
        m_nAudioStart = std::min<int64_t>(10 + nSize + (bFooter ? 10 : 0), m_nFileLength);
    }
    if (m_nFileLength - m_nAudioStart >= 128 &&
        fseeko(m_pFile, m_nFileLength - 128, SEEK_SET) == 0) {
        uint8_t bTag[3] = {};
        if (std::fread(bTag, 1, sizeof bTag, m_pFile) == sizeof bTag && bTag[0] == 'T' &&
            bTag[1] == 'A' && bTag[2] == 'G') {
            m_nAudioEnd = m_nFileLength - 128;
        }
    }
    if (fseeko(m_pFile, 0, SEEK_SET) != 0) {
        m_nAudioEnd = 0;
    }
    m_nPosition = 0;
}

int CBitStream::SeekTo(int64_t nOffset) {
    if (m_pFile == nullptr || fseeko(m_pFile, static_cast<off_t>(nOffset), SEEK_SET) != 0) {
        return 0;
    }
    m_nPosition = nOffset;
    return 1;
}

int CBitStream::ReadWord(uint32_t& dwWord) {
    uint8_t bBytes[4];
    if (m_pFile == nullptr || m_nAudioEnd - m_nPosition < 4 ||
        std::fread(bBytes, 1, 4, m_pFile) != 4) {
        m_nPosition = m_nAudioEnd;
        return 0;
    }
    m_nPosition += 4;
    dwWord = FromBigEndian(bBytes);
    return 1;
}

int CBitStream::ReadByte() {
    if (m_pFile == nullptr || m_nPosition >= m_nAudioEnd) {
        return -1;
    }
    const int nByte = std::getc(m_pFile);
    if (nByte == EOF) {
        m_nPosition = m_nAudioEnd;
        return -1;
    }
    ++m_nPosition;
    return nByte;
}

int CBitStream::LoadFrame(uint32_t nBytes) {
    if (nBytes > kBufferBytes) {
        Warn("Internal error: framelength > bufferlength?!\n");
        return 0;
    }
    auto* pBytes = reinterpret_cast<uint8_t*>(m_dwBuffer);
    if (m_pFile == nullptr || m_nAudioEnd - m_nPosition < static_cast<int64_t>(nBytes) ||
        std::fread(pBytes, 1, nBytes, m_pFile) != nBytes) {
        m_nPosition = m_nAudioEnd;
        return 0;
    }
    m_nPosition += nBytes;
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
    if (m_pFile == nullptr) {
        return 0;
    }
    nPercent = std::clamp(nPercent, 0, 100);
    auto nOffset = static_cast<int64_t>(nPercent * static_cast<double>(m_nFileLength) * 0.01);
    // A target inside a leading tag goes to the tag's end.
    nOffset = std::clamp(nOffset, m_nAudioStart, std::max(m_nAudioStart, m_nAudioEnd));
    if (SeekTo(nOffset) == 0) {
        Warn("couldn't relocate file pointer");
        return 0;
    }
    return 1;
}

int CBitStream::PositionPercent() const {
    if (m_nFileLength <= 0) {
        return 0;
    }
    // 100 times any file length that can exist fits in 64 bits.
    const int64_t nPosition = std::clamp<int64_t>(m_nPosition, 0, m_nFileLength);
    return static_cast<int>(nPosition * 100 / m_nFileLength);
}
