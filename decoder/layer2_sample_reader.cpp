// Requantisation: grouped codes through the degrouping tables, ungrouped
// codes as s''' = C * (s'' + D) with s'' = code * step - 1, then times the
// scalefactor of the granule's third of the frame.
#include "decoder/layer2_sample_reader.h"

#include "decoder/bit_stream.h"

namespace {

constexpr int kGranulesPerPart = 4;
constexpr int kGranulesPerFrame = 12;
constexpr int kSlotEntries = 32;

}  // namespace

void CLayer2SampleReader::Start(const CBitStream& stream) {
    m_nStartBit = stream.BitPosition();
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
    code.nEntry = nChannel * 3 * kSlotEntries + nSubband;
    code.fStep = quant.fStep;
    code.fC = quant.fC;
    code.fD = quant.fD;
    code.pGroups = quant.pGroups;
}

void CLayer2SampleReader::ReadGranule(const CBitStream& stream, int nGranule,
                                      CLayer2Granule& granule) const {
    const uint32_t nBase = m_nStartBit + static_cast<uint32_t>(nGranule) * m_nGranuleBits;
    const int nPart = nGranule / kGranulesPerPart;
    float* pOut = &granule.fSample[0][0][0];
    for (int i = 0; i < m_nGrouped; ++i) {
        const CCode& code = m_grouped[i];
        const float* pGroup = code.pGroups[stream.PeekBitsAt(nBase + code.nOffset, code.nWidth)];
        const float fScalefactor = code.pScalefactor[nPart];
        float* pEntry = pOut + code.nEntry;
        pEntry[0] = fScalefactor * pGroup[0];
        pEntry[kSlotEntries] = fScalefactor * pGroup[1];
        pEntry[2 * kSlotEntries] = fScalefactor * pGroup[2];
    }
    for (int i = 0; i < m_nUngrouped; ++i) {
        const CCode& code = m_ungrouped[i];
        const int nWidth = code.nWidth;
        const uint32_t nBit = nBase + code.nOffset;
        const uint32_t dwFirstTwo = stream.PeekBitsAt(nBit, 2 * nWidth);
        const uint32_t dwCodes[3] = {
            dwFirstTwo >> nWidth, dwFirstTwo & ((1u << nWidth) - 1),
            stream.PeekBitsAt(nBit + 2 * static_cast<uint32_t>(nWidth), nWidth)};
        const float fScalefactor = code.pScalefactor[nPart];
        float* pEntry = pOut + code.nEntry;
        for (int n = 0; n < 3; ++n) {
            const float fFraction = static_cast<float>(dwCodes[n]) * code.fStep - 1.0f;
            pEntry[n * kSlotEntries] = fScalefactor * ((fFraction + code.fD) * code.fC);
        }
    }
}

void CLayer2SampleReader::Finish(CBitStream& stream) const {
    stream.MoveToBit(m_nStartBit + kGranulesPerFrame * m_nGranuleBits);
}
