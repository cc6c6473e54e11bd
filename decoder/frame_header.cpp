// The header parse: the fields of the word and what the standard's tables
// make of them.
#include "decoder/frame_header.h"

#include "decoder/decoder_warnings.h"
#include "decoder/frame_header_tables.h"
#include "decoder/layer2_tables.h"

namespace corvina {

CFrameHeader::CFrameHeader() {
    m_pLayer2Table = &Layer2TableOf(*this);
}

CFrameHeader::CFrameHeader(uint32_t dwWord, int nFreeFormatBytes)
    : m_dwWord(dwWord),
      m_nLayer(4 - static_cast<int>((dwWord >> 17) & 3)),
      m_nFreeFormatBytes(nFreeFormatBytes) {
    // The table follows the bitrate, which the fields above give.
    m_pLayer2Table = &Layer2TableOf(*this);
    m_nSblimit = m_nLayer == 1 ? 32 : m_pLayer2Table->nSblimit;
    m_nBound = Mode() == MODE_JOINT_STEREO ? 4 * (ModeExtension() + 1) : 0;
    if (m_nBound > m_nSblimit) {
        m_nBound = m_nSblimit;
    }
}

std::optional<CFrameHeader> CFrameHeader::Parse(uint32_t dwWord, int nFreeFormatBytes) {
    if (!IsPlausibleWord(dwWord)) {
        return std::nullopt;
    }
    return CFrameHeader(dwWord, nFreeFormatBytes);
}

bool CFrameHeader::IsPlausibleWord(uint32_t dwWord) {
    return (dwWord & kSyncMask) == kSyncMask && ((dwWord >> 17) & 3) != 0 &&
           ((dwWord >> 12) & 15) != 15 && ((dwWord >> 10) & 3) != 3;
}

void CFrameHeader::ParseWord(uint32_t dwWord) {
    CFrameHeader parsed(dwWord, m_nFreeFormatBytes);
    parsed.m_wCrcWord = m_wCrcWord;
    parsed.m_pWarnings = m_pWarnings;
    *this = parsed;
}

int CFrameHeader::SampleFrequency() const {
    return kSampleFrequencies[IdBit()][SampleFrequencyIndex()];
}

int CFrameHeader::Bitrate() const {
    if (BitrateIndex() == 0) {
        // Free format: the bitrate that the frame length gives.
        const int nFrequency = SampleFrequency();
        if (m_nFreeFormatBytes <= 0 || nFrequency == 0) {
            return 0;
        }
        return static_cast<int>(static_cast<int64_t>(m_nFreeFormatBytes + 4) * 8 * nFrequency /
                                SamplesPerFrame());
    }
    return BitrateOf(IdBit(), m_nLayer, BitrateIndex());
}

int CFrameHeader::FrameBytes() const {
    const int nFrequency = SampleFrequency();
    if (nFrequency == 0) {
        return 0;
    }
    const int nPadding = PaddingBit() != 0 ? SlotBytes() : 0;
    if (BitrateIndex() == 0) {
        return m_nFreeFormatBytes > 0 ? m_nFreeFormatBytes + nPadding : 0;
    }
    // Bytes per frame are the bitrate times the frame's duration, in whole
    // slots of 4 bytes (Layer I) or 1 byte (Layer II).
    const int nSlotBytes = SlotBytes();
    const int nSlots = static_cast<int>(static_cast<int64_t>(Bitrate()) * SamplesPerFrame() / 8 /
                                        nSlotBytes / nFrequency);
    return nSlots * nSlotBytes + nPadding - 4;
}

CDecoderWarnings& CFrameHeader::Warnings() {
    // One per thread, so that headers parsed alone on several threads share
    // nothing.
    thread_local CDecoderWarnings unheard;
    return m_pWarnings != nullptr ? *m_pWarnings : unheard;
}

}  // namespace corvina
