// The Layer II subband decoders: one channel, two channels coded apart, and
// joint stereo above the bound (one allocation and sample set, two
// scalefactor sets).
#pragma once

#include "decoder/layer2_tables.h"
#include "decoder/subband_decoder.h"
#include "synth/synthesis_filter.h"

// What one channel of a subband carries in the current frame.
struct CLayer2Channel {
    unsigned nAllocation = 0;
    int nScfsi = 0;
    float fScalefactor[3] = {};
    CQuantClass quant = {};
    // The granule's samples requantised and scaled, ready for the filter.
    float fOutput[3] = {};
};

// ReadSamples requantises and scales the whole granule, so that OutputSample,
// which runs once per time slot, only hands over the next value.
class CLayer2Subband : public CSubbandDecoder {
  public:
    explicit CLayer2Subband(int nSubband = 0) : m_nSubband(nSubband) {}

    void ReadAllocation(CBitStream& stream, CFrameHeader& header, CCrc16* pCrc) override;
    void ReadScalefactors(CBitStream& stream, const CFrameHeader& header) override;
    // Reads the next granule (a frame has twelve) of scalefactor set nPart.
    void ReadSamples(CBitStream& stream, int nPart);
    // Stores sample nSample (0..2) of the granule into entry sb of the
    // filters' input.
    void OutputSample(int nSample, int, CSynthesisFilter* pFilter0, CSynthesisFilter*) {
        if (m_Channel0.nAllocation != 0) {
            pFilter0->m_fInput[m_nSubband] = m_Channel0.fOutput[nSample];
        }
    }
    virtual void ReadScfsi(CBitStream& stream, CCrc16* pCrc);

  protected:
    // The allocation width and class row of this subband in this frame.
    static int AllocationBitsOf(const CFrameHeader& header, int nSubband);
    static const CQuantClass* RowOf(const CFrameHeader& header, int nSubband);

    int m_nSubband;
    CLayer2Channel m_Channel0;
};

class CLayer2JointSubband : public CLayer2Subband {
  public:
    using CLayer2Subband::CLayer2Subband;

    void ReadScalefactors(CBitStream& stream, const CFrameHeader& header) override;
    void ReadSamples(CBitStream& stream, int nPart);
    void OutputSample(int nSample, int nChannels, CSynthesisFilter* pFilter0,
                      CSynthesisFilter* pFilter1) {
        if (m_Channel0.nAllocation != 0) {
            pFilter0->m_fInput[m_nSubband] = m_Channel0.fOutput[nSample];
            if (nChannels == 0) {
                pFilter1->m_fInput[m_nSubband] = m_fOutput1[nSample];
            }
        }
    }
    void ReadScfsi(CBitStream& stream, CCrc16* pCrc) override;

  private:
    int m_nScfsi1 = 0;
    float m_fScalefactor1[3] = {};
    // The shared samples scaled by the second channel's scalefactors.
    float m_fOutput1[3] = {};
};

class CLayer2StereoSubband : public CLayer2Subband {
  public:
    using CLayer2Subband::CLayer2Subband;

    void ReadAllocation(CBitStream& stream, CFrameHeader& header, CCrc16* pCrc) override;
    void ReadScalefactors(CBitStream& stream, const CFrameHeader& header) override;
    void ReadSamples(CBitStream& stream, int nPart);
    void OutputSample(int nSample, int nChannels, CSynthesisFilter* pFilter0,
                      CSynthesisFilter* pFilter1) {
        if (m_Channel0.nAllocation != 0) {
            pFilter0->m_fInput[m_nSubband] = m_Channel0.fOutput[nSample];
        }
        if (m_Channel1.nAllocation != 0 && nChannels == 0) {
            pFilter1->m_fInput[m_nSubband] = m_Channel1.fOutput[nSample];
        }
    }
    void ReadScfsi(CBitStream& stream, CCrc16* pCrc) override;

  private:
    CLayer2Channel m_Channel1;
};
