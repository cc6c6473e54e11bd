// Layer I requantisation: s * factor + offset = (2s - 2^nb + 2) / (2^nb - 1)
// for an nb-bit code s, then times the scalefactor.
#include "decoder/layer1_subband.h"

#include <array>

#include "decoder/bit_stream.h"
#include "decoder/crc16.h"
#include "decoder/frame_header.h"
#include "decoder/scalefactor_table.h"

namespace {

constexpr int kIllegalAllocation = 15;

// Allocations 0 and 15 carry no sound: both constants are 0 there.
constexpr std::array<float, 16> MakeFactors() {
    std::array<float, 16> fTable{};
    for (int a = 1; a < 15; ++a) {
        fTable[a] = 2.0f / static_cast<float>((2 << a) - 1);
    }
    return fTable;
}

constexpr std::array<float, 16> MakeOffsets() {
    std::array<float, 16> fTable{};
    for (int a = 1; a < 15; ++a) {
        fTable[a] = -static_cast<float>((2 << a) - 2) / static_cast<float>((2 << a) - 1);
    }
    return fTable;
}

constexpr std::array<float, 16> kFactors = MakeFactors();
constexpr std::array<float, 16> kOffsets = MakeOffsets();

float Scalefactor(CBitStream& stream) {
    return g_fScalefactors[stream.GetBits(6)];
}

}  // namespace

void CLayer1Subband::SetAllocation(int nAllocation) {
    m_nAllocation = nAllocation;
    if (nAllocation != 0) {
        m_nCodeWidth = nAllocation + 1;
        m_fFactor = kFactors[nAllocation];
        m_fOffset = kOffsets[nAllocation];
    }
}

void CLayer1Subband::ReadAllocation(CBitStream& stream, CFrameHeader& header, CCrc16* pCrc) {
    const auto nAllocation = static_cast<int>(stream.GetBits(4));
    if (nAllocation == kIllegalAllocation) {
        header.Warnings().Show(WARN_ILLEGAL_ALLOCATION);
    }
    if (pCrc != nullptr) {
        pCrc->Update(static_cast<uint32_t>(nAllocation), 4);
    }
    SetAllocation(nAllocation);
}

void CLayer1Subband::ReadScalefactors(CBitStream& stream, const CFrameHeader&) {
    if (m_nAllocation != 0) {
        m_fScalefactor = Scalefactor(stream);
    }
}

void CLayer1Subband::ReadSamples(CBitStream& stream) {
    if (m_nAllocation != 0) {
        m_fSample = static_cast<float>(stream.GetBits(m_nCodeWidth));
    }
}

void CLayer1JointSubband::ReadScalefactors(CBitStream& stream, const CFrameHeader&) {
    if (m_nAllocation != 0) {
        m_fScalefactor = Scalefactor(stream);
        m_fScalefactor1 = Scalefactor(stream);
    }
}

void CLayer1StereoSubband::ReadAllocation(CBitStream& stream, CFrameHeader& header, CCrc16* pCrc) {
    const auto nAllocation0 = static_cast<int>(stream.GetBits(4));
    const auto nAllocation1 = static_cast<int>(stream.GetBits(4));
    if (pCrc != nullptr) {
        pCrc->Update(static_cast<uint32_t>(nAllocation0), 4);
        pCrc->Update(static_cast<uint32_t>(nAllocation1), 4);
    }
    if (nAllocation0 == kIllegalAllocation || nAllocation1 == kIllegalAllocation) {
        header.Warnings().Show(WARN_ILLEGAL_ALLOCATION);
    }
    SetAllocation(nAllocation0);
    m_nAllocation1 = nAllocation1;
    if (nAllocation1 != 0) {
        m_nCodeWidth1 = nAllocation1 + 1;
        m_fFactor1 = kFactors[nAllocation1];
        m_fOffset1 = kOffsets[nAllocation1];
    }
}

void CLayer1StereoSubband::ReadScalefactors(CBitStream& stream, const CFrameHeader& header) {
    CLayer1Subband::ReadScalefactors(stream, header);
    if (m_nAllocation1 != 0) {
        m_fScalefactor1 = Scalefactor(stream);
    }
}

void CLayer1StereoSubband::ReadSamples(CBitStream& stream) {
    CLayer1Subband::ReadSamples(stream);
    if (m_nAllocation1 != 0) {
        m_fSample1 = static_cast<float>(stream.GetBits(m_nCodeWidth1));
    }
}
