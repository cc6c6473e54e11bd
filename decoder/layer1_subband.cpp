// Layer I requantisation: s * factor + offset = (2s - 2^nb + 2) / (2^nb - 1)
// for an nb-bit code s, then times the scalefactor.
#include "decoder/layer1_subband.h"

#include <array>

#include "decoder/bit_reader.h"
#include "decoder/crc16.h"
#include "decoder/frame_header.h"
#include "decoder/scalefactor_table.h"

namespace corvina {

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

float Scalefactor(CBitReader& reader) {
    return g_fScalefactors[reader.GetBits(6)];
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

void CLayer1Subband::ReadAllocation(CBitReader& reader, CFrameHeader& header, CCrc16* pCrc) {
    const auto nAllocation = static_cast<int>(reader.GetBits(4));
    if (nAllocation == kIllegalAllocation) {
        header.NoteForbiddenCode();
    }
    if (pCrc != nullptr) {
        pCrc->Update(static_cast<uint32_t>(nAllocation), 4);
    }
    SetAllocation(nAllocation);
}

void CLayer1Subband::ReadScalefactors(CBitReader& reader, const CFrameHeader&) {
    if (m_nAllocation != 0) {
        m_fScalefactor = Scalefactor(reader);
    }
}

void CLayer1Subband::ReadSamples(CBitReader& reader) {
    if (m_nAllocation != 0) {
        m_fSample = static_cast<float>(reader.GetBits(m_nCodeWidth));
    }
}

void CLayer1JointSubband::ReadScalefactors(CBitReader& reader, const CFrameHeader&) {
    if (m_nAllocation != 0) {
        m_fScalefactor = Scalefactor(reader);
        m_fScalefactor1 = Scalefactor(reader);
    }
}

void CLayer1StereoSubband::ReadAllocation(CBitReader& reader, CFrameHeader& header, CCrc16* pCrc) {
    const auto nAllocation0 = static_cast<int>(reader.GetBits(4));
    const auto nAllocation1 = static_cast<int>(reader.GetBits(4));
    if (pCrc != nullptr) {
        pCrc->Update(static_cast<uint32_t>(nAllocation0), 4);
        pCrc->Update(static_cast<uint32_t>(nAllocation1), 4);
    }
    if (nAllocation0 == kIllegalAllocation || nAllocation1 == kIllegalAllocation) {
        header.NoteForbiddenCode();
    }
    SetAllocation(nAllocation0);
    m_nAllocation1 = nAllocation1;
    if (nAllocation1 != 0) {
        m_nCodeWidth1 = nAllocation1 + 1;
        m_fFactor1 = kFactors[nAllocation1];
        m_fOffset1 = kOffsets[nAllocation1];
    }
}

void CLayer1StereoSubband::ReadScalefactors(CBitReader& reader, const CFrameHeader& header) {
    CLayer1Subband::ReadScalefactors(reader, header);
    if (m_nAllocation1 != 0) {
        m_fScalefactor1 = Scalefactor(reader);
    }
}

void CLayer1StereoSubband::ReadSamples(CBitReader& reader) {
    CLayer1Subband::ReadSamples(reader);
    if (m_nAllocation1 != 0) {
        m_fSample1 = static_cast<float>(reader.GetBits(m_nCodeWidth1));
    }
}

}  // namespace corvina
