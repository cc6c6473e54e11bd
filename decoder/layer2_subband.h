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
    // The granule's samples requantised, and then scaled, ready for the filter.
    float fSample[3] = {};
    float fOutput[3] = {};
};

// ReadSamples requantises and scales the whole granule, so that OutputSample,
// which runs once per time slot, only hands over the next value.
class CLayer2Subband : public CSubbandDecoder {
  public:
    explicit CLayer2Subband(int nSubband) : m_nSubband(nSubband) {}

    void ReadAllocation(CBitStream& stream, CFrameHeader& header, CCrc16* pCrc) override;
    void ReadScalefactors(CBitStream& stream, const CFrameHeader& header) override;
    int ReadSamples(CBitStream& stream) override;
    int OutputSample(int, CSynthesisFilter* pFilter0, CSynthesisFilter*) override {
        if (m_Channel0.nAllocation != 0) {
            pFilter0->m_fInput[m_nSubband] = m_Channel0.fOutput[m_nSample];
        }
        return CountSample();
    }
    virtual void ReadScfsi(CBitStream& stream, CCrc16* pCrc);

  protected:
    // The allocation width and class row of this subband in this frame.
    static int AllocationBitsOf(const CFrameHeader& header, int nSubband);
    static const CQuantClass* RowOf(const CFrameHeader& header, int nSubband);
    // Counts the granule; 1 on the twelfth.
    int CountGranule();
    // Counts the sample of the granule; 1 on the third.
    int CountSample() { return ++m_nSample >= 3 ? 1 : 0; }
    // The scalefactor set (0..2) of the granule just read.
    int Part() const { return m_nGranule <= 4 ? 0 : m_nGranule <= 8 ? 1 : 2; }

    int m_nSubband;
    CLayer2Channel m_Channel0;
    int m_nGranule = 0;
    int m_nSample = 0;
};

class CLayer2JointSubband : public CLayer2Subband {
  public:
    using CLayer2Subband::CLayer2Subband;

    void ReadScalefactors(CBitStream& stream, const CFrameHeader& header) override;
    int ReadSamples(CBitStream& stream) override;
    int OutputSample(int nChannels, CSynthesisFilter* pFilter0,
                     CSynthesisFilter* pFilter1) override {
        if (m_Channel0.nAllocation != 0) {
            pFilter0->m_fInput[m_nSubband] = m_Channel0.fOutput[m_nSample];
            if (nChannels == 0) {
                pFilter1->m_fInput[m_nSubband] = m_fOutput1[m_nSample];
            }
        }
        return CountSample();
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
    int ReadSamples(CBitStream& stream) override;
    int OutputSample(int nChannels, CSynthesisFilter* pFilter0,
                     CSynthesisFilter* pFilter1) override {
        if (m_Channel0.nAllocation != 0) {
            pFilter0->m_fInput[m_nSubband] = m_Channel0.fOutput[m_nSample];
        }
        if (m_Channel1.nAllocation != 0 && nChannels == 0) {
            pFilter1->m_fInput[m_nSubband] = m_Channel1.fOutput[m_nSample];
        }
        return CountSample();
    }
    void ReadScfsi(CBitStream& stream, CCrc16* pCrc) override;

  private:
    CLayer2Channel m_Channel1;
};
