// Finding the tags around the audio.
#include "decoder/tag_skipping_source.h"

#include <algorithm>
#include <cstring>

#include "decoder/byte_order.h"

namespace corvina {

namespace {

constexpr std::size_t kId3v2HeaderBytes = 10;

bool Matches(const uint8_t* pBytes, const char* pszText) {
    return std::memcmp(pBytes, pszText, std::strlen(pszText)) == 0;
}

// The 28-bit size of an ID3v2 header or footer, seven bits a byte; -1 where
// a byte has its top bit set.
int64_t SyncsafeSize(const uint8_t* pBytes) {
    if (((pBytes[0] | pBytes[1] | pBytes[2] | pBytes[3]) & 0x80) != 0) {
        return -1;
    }
    return (static_cast<int64_t>(pBytes[0]) << 21) | (pBytes[1] << 14) | (pBytes[2] << 7) |
           pBytes[3];
}

}  // namespace

CTagSkippingSource::CTagSkippingSource(std::unique_ptr<CByteSource> pInner)
    : m_pInner(std::move(pInner)) {
    if (m_pInner->CanSeek()) {
        m_nPosition = m_pInner->Position();
        m_nAudioEnd = std::max<int64_t>(m_pInner->Size(), 0);
    }
    SkipLeadingTag();
}

std::size_t CTagSkippingSource::ReadInner(uint8_t* pTarget, std::size_t nBytes) {
    return ReadFully(*m_pInner, pTarget, nBytes);
}

// An ID3v2 tag at the start is skipped whole where it ends within the file;
// one that claims more than the file holds lies about its size, and the
// frames are searched for after its header, so none is lost.
void CTagSkippingSource::SkipLeadingTag() {
    const bool bCanSeek = m_pInner->CanSeek();
    const int64_t nStart = m_nPosition;
    uint8_t bHead[kId3v2HeaderBytes];
    const std::size_t nHead = ReadInner(bHead, sizeof bHead);
    const int64_t nTagSize = nHead == sizeof bHead ? SyncsafeSize(bHead + 6) : -1;
    if (nTagSize >= 0 && Matches(bHead, "ID3") && bHead[3] != 0xFF && bHead[4] != 0xFF) {
        const bool bFooter = (bHead[5] & 0x10) != 0;
        m_nAudioStart = static_cast<int64_t>(kId3v2HeaderBytes) + nTagSize + (bFooter ? 10 : 0);
        if (bCanSeek && m_nAudioStart > m_nAudioEnd) {
            m_nAudioStart = std::min<int64_t>(kId3v2HeaderBytes, m_nAudioEnd);
        }
    }
    if (!bCanSeek) {
        if (m_nAudioStart == 0) {
            m_head.assign(bHead, bHead + nHead);
            return;
        }
        // Read on over the tag, kept for its names; a tag that the stream
        // ends in leaves nothing.
        m_nPosition = static_cast<int64_t>(nHead);
        const bool bKeep = m_nAudioStart <= kMaxKeptTagBytes;
        if (bKeep) {
            m_leadingTag.assign(bHead, bHead + nHead);
        }
        uint8_t bSkipped[4096];
        while (m_nPosition < m_nAudioStart) {
            const auto nStep = static_cast<std::size_t>(
                std::min<int64_t>(m_nAudioStart - m_nPosition, sizeof bSkipped));
            const std::size_t nRead = ReadInner(bSkipped, nStep);
            m_nPosition += static_cast<int64_t>(nRead);
            if (nRead < nStep) {
                m_nAudioEnd = m_nAudioStart;
                m_leadingTag.clear();
                return;
            }
            if (bKeep) {
                m_leadingTag.insert(m_leadingTag.end(), bSkipped, bSkipped + nRead);
            }
        }
        return;
    }
    FindTrailingTags();
    if (!m_pInner->Seek(nStart)) {
        m_nAudioEnd = 0;
    }
    if (m_nAudioStart > 0) {
        if (m_pInner->Seek(m_nAudioStart)) {
            m_nPosition = m_nAudioStart;
        } else {
            m_nAudioEnd = m_nAudioStart;
        }
    }
}

std::vector<uint8_t> CTagSkippingSource::LeadingTag() {
    if (!m_leadingTag.empty() || !m_pInner->CanSeek() || m_nAudioStart <= 0 ||
        m_nAudioStart > kMaxKeptTagBytes) {
        return m_leadingTag;
    }
    // Read where the tag stands, and the source put back where it was.
    const int64_t nAt = m_pInner->Position();
    std::vector<uint8_t> tag(static_cast<std::size_t>(m_nAudioStart));
    if (!ReadAt(0, tag.data(), tag.size())) {
        tag.clear();
    }
    m_pInner->Seek(nAt);
    return tag;
}

// Tags stand at the end in any order; each one found moves the end of the
// audio before it, so the frame before them is followed by the end of the
// file and kept.
void CTagSkippingSource::FindTrailingTags() {
    while (const int64_t nTag = TagBytesBefore(m_nAudioEnd)) {
        m_nAudioEnd -= nTag;
    }
}

bool CTagSkippingSource::ReadAt(int64_t nOffset, uint8_t* pTarget, std::size_t nBytes) {
    return m_pInner->Seek(nOffset) && ReadInner(pTarget, nBytes) == nBytes;
}

// The length of the tag that ends at nEnd: ID3v1, APEv1 or APEv2 (with or
// without its header), Lyrics3v2, or an ID3v2 tag with a footer; 0 for none.
int64_t CTagSkippingSource::TagBytesBefore(int64_t nEnd) {
    const int64_t nRoom = nEnd - m_nAudioStart;
    const auto nTail = static_cast<std::size_t>(std::min<int64_t>(nRoom, 32));
    uint8_t bTail[32] = {};
    if (nRoom < 10 || !ReadAt(nEnd - static_cast<int64_t>(nTail), bTail + 32 - nTail, nTail)) {
        return 0;
    }
    int64_t nTag = 0;
    if (nRoom >= 32 && Matches(bTail, "APETAGEX")) {
        const bool bHeader = (ReadLittleEndian32(bTail + 20) & 0x80000000u) != 0;
        nTag = static_cast<int64_t>(ReadLittleEndian32(bTail + 12)) + (bHeader ? 32 : 0);
    } else if (nRoom >= 15 && Matches(bTail + 23, "LYRICS200")) {
        int64_t nSize = 0;
        for (int i = 17; i < 23; ++i) {
            if (bTail[i] < '0' || bTail[i] > '9') {
                return 0;
            }
            nSize = nSize * 10 + (bTail[i] - '0');
        }
        nTag = nSize + 15;
    } else if (Matches(bTail + 22, "3DI") && SyncsafeSize(bTail + 28) >= 0) {
        nTag = SyncsafeSize(bTail + 28) + 20;
    } else if (nRoom >= 128) {
        uint8_t bId3v1[3] = {};
        if (ReadAt(nEnd - 128, bId3v1, sizeof bId3v1) && Matches(bId3v1, "TAG")) {
            nTag = 128;
        }
    }
    return nTag > 0 && nTag <= nRoom ? nTag : 0;
}

std::size_t CTagSkippingSource::Read(uint8_t* pBuffer, std::size_t nBytes) {
    if (m_nAudioEnd != INT64_MAX) {
        nBytes = static_cast<std::size_t>(
            std::clamp<int64_t>(m_nAudioEnd - m_nPosition, 0, static_cast<int64_t>(nBytes)));
    }
    std::size_t nDone = 0;
    if (m_nHeadPos < m_head.size()) {
        nDone = std::min(nBytes, m_head.size() - m_nHeadPos);
        std::memcpy(pBuffer, m_head.data() + m_nHeadPos, nDone);
        m_nHeadPos += nDone;
    } else if (nBytes > 0) {
        nDone = m_pInner->Read(pBuffer, nBytes);
    }
    m_nPosition += static_cast<int64_t>(nDone);
    return nDone;
}

bool CTagSkippingSource::Seek(int64_t nOffset) {
    if (!m_pInner->Seek(nOffset)) {
        return false;
    }
    m_head.clear();
    m_nHeadPos = 0;
    m_nPosition = nOffset;
    return true;
}

}  // namespace corvina
