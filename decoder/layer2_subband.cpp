// Layer II requantisation: grouped codes through the degrouping tables,
// ungrouped codes as s'' = code * step - 1 and s''' = C * (s'' + D), then
// times the scalefactor of the granule's third of the frame.
#include "decoder/layer2_subband.h"

#include "decoder/bit_stream.h"
#include "decoder/crc16.h"
#include "decoder/frame_header.h"
#include "decoder/scalefactor_table.h"

namespace {

void ReadScfsiOf(CLayer2Channel& channel, CBitStream& stream) {
    if (channel.nAllocation != 0) {
        channel.nScfsi = static_cast<int>(stream.GetBits(2));
    }
}

// The three scalefactors of one channel, as its scfsi shares them out.
void ReadScalefactorSet(CBitStream& stream, int nScfsi, float (&fScalefactor)[3]) {
    const float fFirst = g_fScalefactors[stream.GetBits(6)];
    switch (nScfsi) {
        case 0:
            fScalefactor[0] = fFirst;
            fScalefactor[1] = g_fScalefactors[stream.GetBits(6)];
            fScalefactor[2] = g_fScalefactors[stream.GetBits(6)];
            break;
        case 1:
            fScalefactor[0] = fScalefactor[1] = fFirst;
            fScalefactor[2] = g_fScalefactors[stream.GetBits(6)];
            break;
        case 2:
            fScalefactor[0] = fScalefactor[1] = fScalefactor[2] = fFirst;
            break;
        default:
            fScalefactor[0] = fFirst;
            fScalefactor[1] = fScalefactor[2] = g_fScalefactors[stream.GetBits(6)];
            break;
    }
}

// Reads the granule's codes as three requantised samples and stores those
// times the scalefactor of the granule's third of the frame: grouped codes
// through the degrouping table, the others as s''' = C * (s'' + D) with
// s'' = code * step - 1. The values stay in named registers: a small array
// here is stored piecewise and read back whole, which stalls the processor.
// A joint subband also gives the second channel's scalefactors and output.
void ReadGranule(CLayer2Channel& channel, CBitStream& stream, int nPart,
                 const float* pScalefactor1 = nullptr, float* pOutput1 = nullptr) {
    if (channel.nAllocation == 0) {
        return;
    }
    const CQuantClass& quant = channel.quant;
    float f0;
    float f1;
    float f2;
    if (quant.pGroups != nullptr) {
        const float* pGroup = quant.pGroups[stream.GetBits(quant.nCodeWidth)];
        f0 = pGroup[0];
        f1 = pGroup[1];
        f2 = pGroup[2];
    } else {
        auto Requantised = [&stream, &quant]() {
            const float fFraction =
                static_cast<float>(stream.GetBits(quant.nCodeWidth)) * quant.fStep - 1.0f;
            return (fFraction + quant.fD) * quant.fC;
        };
        f0 = Requantised();
        f1 = Requantised();
        f2 = Requantised();
    }
    const float fScalefactor = channel.fScalefactor[nPart];
    channel.fOutput[0] = fScalefactor * f0;
    channel.fOutput[1] = fScalefactor * f1;
    channel.fOutput[2] = fScalefactor * f2;
    if (pScalefactor1 != nullptr) {
        const float fScalefactor1 = pScalefactor1[nPart];
        pOutput1[0] = fScalefactor1 * f0;
        pOutput1[1] = fScalefactor1 * f1;
        pOutput1[2] = fScalefactor1 * f2;
    }
}

}  // namespace

int CLayer2Subband::AllocationBitsOf(const CFrameHeader& header, int nSubband) {
    return header.Layer2Table().nAllocationBits[nSubband];
}

const CQuantClass* CLayer2Subband::RowOf(const CFrameHeader& header, int nSubband) {
    return header.Layer2Table().pRows[nSubband];
}

void CLayer2Subband::ReadAllocation(CBitStream& stream, CFrameHeader& header, CCrc16* pCrc) {
    const int nBits = AllocationBitsOf(header, m_nSubband);
    m_Channel0.nAllocation = stream.GetBits(nBits);
    if (pCrc != nullptr) {
        pCrc->Update(m_Channel0.nAllocation, nBits);
    }
}

void CLayer2Subband::ReadScfsi(CBitStream& stream, CCrc16* pCrc) {
    ReadScfsiOf(m_Channel0, stream);
    if (pCrc != nullptr && m_Channel0.nAllocation != 0) {
        pCrc->Update(static_cast<uint32_t>(m_Channel0.nScfsi), 2);
    }
}

void CLayer2Subband::ReadScalefactors(CBitStream& stream, const CFrameHeader& header) {
    if (m_Channel0.nAllocation != 0) {
        ReadScalefactorSet(stream, m_Channel0.nScfsi, m_Channel0.fScalefactor);
        m_Channel0.quant = RowOf(header, m_nSubband)[m_Channel0.nAllocation];
    }
}

void CLayer2Subband::ReadSamples(CBitStream& stream, int nPart) {
    ReadGranule(m_Channel0, stream, nPart);
}

void CLayer2JointSubband::ReadScfsi(CBitStream& stream, CCrc16* pCrc) {
    if (m_Channel0.nAllocation == 0) {
        return;
    }
    m_Channel0.nScfsi = static_cast<int>(stream.GetBits(2));
    m_nScfsi1 = static_cast<int>(stream.GetBits(2));
    if (pCrc != nullptr) {
        pCrc->Update(static_cast<uint32_t>(m_Channel0.nScfsi), 2);
        pCrc->Update(static_cast<uint32_t>(m_nScfsi1), 2);
    }
}

void CLayer2JointSubband::ReadScalefactors(CBitStream& stream, const CFrameHeader& header) {
    if (m_Channel0.nAllocation != 0) {
        ReadScalefactorSet(stream, m_Channel0.nScfsi, m_Channel0.fScalefactor);
        m_Channel0.quant = RowOf(header, m_nSubband)[m_Channel0.nAllocation];
        ReadScalefactorSet(stream, m_nScfsi1, m_fScalefactor1);
    }
}

void CLayer2JointSubband::ReadSamples(CBitStream& stream, int nPart) {
    ReadGranule(m_Channel0, stream, nPart, m_fScalefactor1, m_fOutput1);
}

void CLayer2StereoSubband::ReadAllocation(CBitStream& stream, CFrameHeader& header, CCrc16* pCrc) {
    const int nBits = AllocationBitsOf(header, m_nSubband);
    m_Channel0.nAllocation = stream.GetBits(nBits);
    m_Channel1.nAllocation = stream.GetBits(nBits);
    if (pCrc != nullptr) {
        pCrc->Update(m_Channel0.nAllocation, nBits);
        pCrc->Update(m_Channel1.nAllocation, nBits);
    }
}

void CLayer2StereoSubband::ReadScfsi(CBitStream& stream, CCrc16* pCrc) {
    CLayer2Subband::ReadScfsi(stream, pCrc);
    ReadScfsiOf(m_Channel1, stream);
    if (pCrc != nullptr && m_Channel1.nAllocation != 0) {
        pCrc->Update(static_cast<uint32_t>(m_Channel1.nScfsi), 2);
    }
}

void CLayer2StereoSubband::ReadScalefactors(CBitStream& stream, const CFrameHeader& header) {
    CLayer2Subband::ReadScalefactors(stream, header);
    if (m_Channel1.nAllocation != 0) {
        ReadScalefactorSet(stream, m_Channel1.nScfsi, m_Channel1.fScalefactor);
        m_Channel1.quant = RowOf(header, m_nSubband)[m_Channel1.nAllocation];
    }
}

void CLayer2StereoSubband::ReadSamples(CBitStream& stream, int nPart) {
    ReadGranule(m_Channel0, stream, nPart);
    ReadGranule(m_Channel1, stream, nPart);
}
