// Requantisation: grouped codes through the degrouping tables, ungrouped
// codes as s''' = C * (s'' + D) with s'' = code * step - 1, then times the
// scalefactor of the granule's third of the frame.
#include "decoder/layer2_sample_reader.h"

#include "decoder/bit_reader.h"

namespace corvina {

namespace {

constexpr int kParts = 3;
constexpr int kGranulesPerPart = 4;
constexpr int kGranulesPerFrame = kParts * kGranulesPerPart;
constexpr int kSlotEntries = 32;

}  // namespace

void CLayer2SampleReader::Start(const CBitReader& reader) {
    m_nStartBit = reader.BitPosition();
    m_nGranuleBits = 0;
    m_nGrouped = 0;
    m_nUngrouped = 0;
}

void CLayer2SampleReader::AddCode(const CQuantClass& quant, const float* pScalefactor, int nChannel,
                                  int nSubband, bool bShared) {
    const bool bGrouped = quant.pGroups != nullptr;
    int& nCount = bGrouped ? m_nGrouped : m_nUngrouped;
    if (nCount == kMostCodes) {
        return;
    }
    const int nBits = bGrouped ? quant.nCodeWidth : 3 * quant.nCodeWidth;
    if (!bShared) {
        m_nGranuleBits += static_cast<uint32_t>(nBits);
    }
    CCode& code = (bGrouped ? m_grouped : m_ungrouped)[nCount++];
    code.nOffset = m_nGranuleBits - static_cast<uint32_t>(nBits);
    code.nWidth = quant.nCodeWidth;
    code.pScalefactor = pScalefactor;
    code.nEntry = (nChannel * CLayer2Frame::kSlots) * kSlotEntries + nSubband;
    code.fStep = quant.fStep;
    code.fC = quant.fC;
    code.fD = quant.fD;
    code.pGroups = quant.pGroups;
}

template <bool bChecked>
void CLayer2SampleReader::ReadCodes(const CBitReader& reader, CLayer2Frame& frame) const {
    float* pFrame = &frame.fSample[0][0][0];
    for (int i = 0; i < m_nGrouped; ++i) {
        const CCode& code = m_grouped[i];
        uint32_t nBit = m_nStartBit + code.nOffset;
        float* pEntry = pFrame + code.nEntry;
        for (int nPart = 0; nPart < kParts; ++nPart) {
            const float fScalefactor = code.pScalefactor[nPart];
            for (int n = 0; n < kGranulesPerPart; ++n) {
                const float* pGroup =
                    code.pGroups[reader.template PeekBitsAt<bChecked>(nBit, code.nWidth)];
                pEntry[0] = fScalefactor * pGroup[0];
                pEntry[kSlotEntries] = fScalefactor * pGroup[1];
                pEntry[2 * kSlotEntries] = fScalefactor * pGroup[2];
                nBit += m_nGranuleBits;
                pEntry += 3 * kSlotEntries;
            }
        }
    }
    for (int i = 0; i < m_nUngrouped; ++i) {
        const CCode& code = m_ungrouped[i];
        const int nWidth = code.nWidth;
        const uint32_t dwMask = (1u << nWidth) - 1;
        uint32_t nBit = m_nStartBit + code.nOffset;
        float* pEntry = pFrame + code.nEntry;
        for (int nPart = 0; nPart < kParts; ++nPart) {
            const float fScalefactor = code.pScalefactor[nPart];
            for (int n = 0; n < kGranulesPerPart; ++n) {
                const uint32_t dwFirstTwo = reader.template PeekBitsAt<bChecked>(nBit, 2 * nWidth);
                const uint32_t dwCodes[3] = {dwFirstTwo >> nWidth, dwFirstTwo & dwMask,
                                             reader.template PeekBitsAt<bChecked>(
                                                 nBit + 2 * static_cast<uint32_t>(nWidth), nWidth)};
                for (int k = 0; k < 3; ++k) {
                    const float fFraction = static_cast<float>(dwCodes[k]) * code.fStep - 1.0f;
                    pEntry[k * kSlotEntries] = fScalefactor * ((fFraction + code.fD) * code.fC);
                }
                nBit += m_nGranuleBits;
                pEntry += 3 * kSlotEntries;
            }
        }
    }
}

void CLayer2SampleReader::ReadFrame(CBitReader& reader, CLayer2Frame& frame) const {
    frame = CLayer2Frame{};
    const uint32_t nEndBit = m_nStartBit + kGranulesPerFrame * m_nGranuleBits;
    // A frame too short for its codes reads those past its end as 0.
    if (reader.HoldsBits(nEndBit)) {
        ReadCodes<false>(reader, frame);
    } else {
        ReadCodes<true>(reader, frame);
    }
    reader.MoveToBit(nEndBit);
}

}  // namespace corvina
