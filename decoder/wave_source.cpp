// Finding the data chunk of a WAVE file.
#include "decoder/wave_source.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "decoder/byte_order.h"

namespace corvina {

namespace {

constexpr uint32_t kUnknownSize = 0xFFFFFFFF;
// Chunks looked at before the data chunk, at most.
constexpr int kMostChunks = 1000;
// The bext chunk's fixed fields up to the origination date: description
// (256 bytes), originator (32), its reference (32), date (10).
constexpr std::size_t kBextNames = 256 + 32 + 32 + 10;

// A fixed field of ASCII text, ended by a zero byte or by its size.
std::string FieldText(const uint8_t* pField, std::size_t nSize) {
    std::size_t nLength = 0;
    while (nLength < nSize && pField[nLength] != 0) {
        ++nLength;
    }
    std::string strText =
        ToValidUtf8(std::string_view(reinterpret_cast<const char*>(pField), nLength));
    while (!strText.empty() && strText.back() == ' ') {
        strText.pop_back();
    }
    return strText;
}

}  // namespace

CWaveSource::CWaveSource(std::unique_ptr<CByteSource> pInner) : m_pInner(std::move(pInner)) {
    m_nStart = m_nOffset = m_pInner->Position();
    FindData();
}

bool CWaveSource::ReadAll(uint8_t* pTarget, std::size_t nBytes) {
    const std::size_t nDone = ReadFully(*m_pInner, pTarget, nBytes);
    m_nOffset += static_cast<int64_t>(nDone);
    return nDone == nBytes;
}

bool CWaveSource::SkipBytes(int64_t nBytes) {
    if (m_pInner->CanSeek()) {
        const int64_t nTarget = m_nOffset + nBytes;
        if (nTarget > m_pInner->Size() || !m_pInner->Seek(nTarget)) {
            return false;
        }
        m_nOffset = nTarget;
        return true;
    }
    uint8_t bScratch[4096];
    while (nBytes > 0) {
        const auto nStep = static_cast<std::size_t>(std::min<int64_t>(nBytes, sizeof bScratch));
        if (!ReadAll(bScratch, nStep)) {
            return false;
        }
        nBytes -= static_cast<int64_t>(nStep);
    }
    return true;
}

void CWaveSource::FindData() {
    uint8_t bHead[12];
    if (!ReadAll(bHead, sizeof bHead)) {
        return;
    }
    const bool bRf64 = std::memcmp(bHead, "RF64", 4) == 0;
    const auto nRiffSize = ReadLittleEndian32(bHead + 4);
    int64_t nDs64Data = -1;
    for (int nChunk = 0; nChunk < kMostChunks; ++nChunk) {
        uint8_t bChunk[8];
        if (!ReadAll(bChunk, sizeof bChunk)) {
            return;
        }
        const auto nSize = ReadLittleEndian32(bChunk + 4);
        if (std::memcmp(bChunk, "data", 4) == 0) {
            m_nDataStart = m_nOffset;
            int64_t nBytes = nSize;
            if (bRf64 && nSize == kUnknownSize && nDs64Data >= 0) {
                nBytes = nDs64Data;
            } else if (nSize == kUnknownSize ||
                       (nSize == 0 && (nRiffSize == 0 || nRiffSize == kUnknownSize))) {
                // Written to a pipe: the data runs to the end.
                nBytes = INT64_MAX - m_nDataStart;
            }
            m_nDataEnd = m_nDataStart + nBytes;
            if (m_pInner->CanSeek()) {
                m_nDataEnd = std::min(m_nDataEnd, std::max(m_pInner->Size(), m_nDataStart));
            }
            return;
        }
        int64_t nSkip = static_cast<int64_t>(nSize) + (nSize & 1);
        if (bRf64 && std::memcmp(bChunk, "ds64", 4) == 0 && nSize >= 16) {
            uint8_t bSizes[16];
            if (!ReadAll(bSizes, sizeof bSizes)) {
                return;
            }
            nDs64Data = static_cast<int64_t>(
                std::min<uint64_t>(ReadLittleEndian(bSizes + 8, 8), INT64_MAX / 2));
            nSkip -= 16;
        } else if (std::memcmp(bChunk, "bext", 4) == 0 && nSize >= kBextNames) {
            uint8_t bNames[kBextNames];
            if (!ReadAll(bNames, sizeof bNames)) {
                return;
            }
            ReadBroadcastNames(bNames);
            nSkip -= static_cast<int64_t>(kBextNames);
        }
        if (!SkipBytes(nSkip)) {
            return;
        }
    }
}

void CWaveSource::ReadBroadcastNames(const uint8_t* pChunk) {
    m_Broadcast.strTitle = FieldText(pChunk, 256);
    m_Broadcast.strArtist = FieldText(pChunk + 256, 32);
    m_Broadcast.strDate = FieldText(pChunk + 320, 10);
}

std::unique_ptr<CByteSource> CWaveSource::ReleaseInner() {
    if (!m_pInner->Seek(m_nStart)) {
        return nullptr;
    }
    return std::move(m_pInner);
}

std::size_t CWaveSource::Read(uint8_t* pBuffer, std::size_t nBytes) {
    if (!HasData()) {
        return 0;
    }
    const int64_t nLeft = m_nDataEnd - m_nDataStart - m_nPosition;
    const auto nWanted =
        static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(nBytes), nLeft));
    const std::size_t nRead = nWanted > 0 ? m_pInner->Read(pBuffer, nWanted) : 0;
    m_nPosition += static_cast<int64_t>(nRead);
    return nRead;
}

bool CWaveSource::Seek(int64_t nOffset) {
    if (!CanSeek() || nOffset < 0 || nOffset > Size() || !m_pInner->Seek(m_nDataStart + nOffset)) {
        return false;
    }
    m_nPosition = nOffset;
    return true;
}

}  // namespace corvina
