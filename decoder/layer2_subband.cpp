// Layer II subbands: allocations, scalefactor selection and scalefactors,
// and the list of each frame's sample codes.
#include "decoder/layer2_subband.h"

#include "decoder/bit_reader.h"
#include "decoder/crc16.h"
#include "decoder/frame_header.h"
#include "decoder/scalefactor_table.h"

namespace corvina {

namespace {

void ReadScfsiOf(CLayer2Channel& channel, CBitReader& reader) {
    if (channel.nAllocation != 0) {
        channel.nScfsi = static_cast<int>(reader.GetBits(2));
    }
}

// The three scalefactors of one channel, as its scfsi shares them out.
void ReadScalefactorSet(CBitReader& reader, int nScfsi, float (&fScalefactor)[3]) {
    const float fFirst = g_fScalefactors[reader.GetBits(6)];
    switch (nScfsi) {
        case 0:
            fScalefactor[0] = fFirst;
            fScalefactor[1] = g_fScalefactors[reader.GetBits(6)];
            fScalefactor[2] = g_fScalefactors[reader.GetBits(6)];
            break;
        case 1:
            fScalefactor[0] = fScalefactor[1] = fFirst;
            fScalefactor[2] = g_fScalefactors[reader.GetBits(6)];
            break;
        case 2:
            fScalefactor[0] = fScalefactor[1] = fScalefactor[2] = fFirst;
            break;
        default:
            fScalefactor[0] = fFirst;
            fScalefactor[1] = fScalefactor[2] = g_fScalefactors[reader.GetBits(6)];
            break;
    }
}

void AddCodeOf(CLayer2SampleReader& reader, const CLayer2Channel& channel, int nChannel,
               int nSubband) {
    if (channel.nAllocation != 0) {
        reader.AddCode(channel.quant, channel.fScalefactor, nChannel, nSubband, false);
    }
}

}  // namespace

int CLayer2Subband::AllocationBitsOf(const CFrameHeader& header, int nSubband) {
    return header.Layer2Table().nAllocationBits[nSubband];
}

const CQuantClass* CLayer2Subband::RowOf(const CFrameHeader& header, int nSubband) {
    return header.Layer2Table().pRows[nSubband];
}

void CLayer2Subband::ReadAllocation(CBitReader& reader, CFrameHeader& header, CCrc16* pCrc) {
    const int nBits = AllocationBitsOf(header, m_nSubband);
    m_Channel0.nAllocation = reader.GetBits(nBits);
    if (pCrc != nullptr) {
        pCrc->Update(m_Channel0.nAllocation, nBits);
    }
}

void CLayer2Subband::ReadScfsi(CBitReader& reader, CCrc16* pCrc) {
    ReadScfsiOf(m_Channel0, reader);
    if (pCrc != nullptr && m_Channel0.nAllocation != 0) {
        pCrc->Update(static_cast<uint32_t>(m_Channel0.nScfsi), 2);
    }
}

void CLayer2Subband::ReadScalefactors(CBitReader& reader, const CFrameHeader& header) {
    if (m_Channel0.nAllocation != 0) {
        ReadScalefactorSet(reader, m_Channel0.nScfsi, m_Channel0.fScalefactor);
        m_Channel0.quant = RowOf(header, m_nSubband)[m_Channel0.nAllocation];
    }
}

void CLayer2Subband::AddCodes(CLayer2SampleReader& reader) const {
    AddCodeOf(reader, m_Channel0, 0, m_nSubband);
}

void CLayer2JointSubband::ReadScfsi(CBitReader& reader, CCrc16* pCrc) {
    if (m_Channel0.nAllocation == 0) {
        return;
    }
    m_Channel0.nScfsi = static_cast<int>(reader.GetBits(2));
    m_nScfsi1 = static_cast<int>(reader.GetBits(2));
    if (pCrc != nullptr) {
        pCrc->Update(static_cast<uint32_t>(m_Channel0.nScfsi), 2);
        pCrc->Update(static_cast<uint32_t>(m_nScfsi1), 2);
    }
}

void CLayer2JointSubband::ReadScalefactors(CBitReader& reader, const CFrameHeader& header) {
    if (m_Channel0.nAllocation != 0) {
        ReadScalefactorSet(reader, m_Channel0.nScfsi, m_Channel0.fScalefactor);
        m_Channel0.quant = RowOf(header, m_nSubband)[m_Channel0.nAllocation];
        ReadScalefactorSet(reader, m_nScfsi1, m_fScalefactor1);
    }
}

void CLayer2JointSubband::AddCodes(CLayer2SampleReader& reader) const {
    if (m_Channel0.nAllocation != 0) {
        AddCodeOf(reader, m_Channel0, 0, m_nSubband);
        reader.AddCode(m_Channel0.quant, m_fScalefactor1, 1, m_nSubband, true);
    }
}

void CLayer2StereoSubband::ReadAllocation(CBitReader& reader, CFrameHeader& header, CCrc16* pCrc) {
    const int nBits = AllocationBitsOf(header, m_nSubband);
    m_Channel0.nAllocation = reader.GetBits(nBits);
    m_Channel1.nAllocation = reader.GetBits(nBits);
    if (pCrc != nullptr) {
        pCrc->Update(m_Channel0.nAllocation, nBits);
        pCrc->Update(m_Channel1.nAllocation, nBits);
    }
}

void CLayer2StereoSubband::ReadScfsi(CBitReader& reader, CCrc16* pCrc) {
    CLayer2Subband::ReadScfsi(reader, pCrc);
    ReadScfsiOf(m_Channel1, reader);
    if (pCrc != nullptr && m_Channel1.nAllocation != 0) {
        pCrc->Update(static_cast<uint32_t>(m_Channel1.nScfsi), 2);
    }
}

void CLayer2StereoSubband::ReadScalefactors(CBitReader& reader, const CFrameHeader& header) {
    CLayer2Subband::ReadScalefactors(reader, header);
    if (m_Channel1.nAllocation != 0) {
        ReadScalefactorSet(reader, m_Channel1.nScfsi, m_Channel1.fScalefactor);
        m_Channel1.quant = RowOf(header, m_nSubband)[m_Channel1.nAllocation];
    }
}

void CLayer2StereoSubband::AddCodes(CLayer2SampleReader& reader) const {
    AddCodeOf(reader, m_Channel0, 0, m_nSubband);
    AddCodeOf(reader, m_Channel1, 1, m_nSubband);
}

}  // namespace corvina
