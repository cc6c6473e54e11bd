// The Layer I subband decoders: one channel, two channels coded apart, and
// joint stereo above the bound (one allocation and sample, two scalefactors).
#pragma once

#include "decoder/subband_decoder.h"
#include "synth/synthesis_filter.h"

namespace corvina {

class CLayer1Subband : public CSubbandDecoder {
  public:
    explicit CLayer1Subband(int nSubband = 0) : m_nSubband(nSubband) {}

    void ReadAllocation(CBitReader& reader, CFrameHeader& header, CCrc16* pCrc) override;
    void ReadScalefactors(CBitReader& reader, const CFrameHeader& header) override;
    // Reads the sample of the next time slot (a frame has twelve).
    void ReadSamples(CBitReader& reader);
    // Stores it into entry sb of the filters' input.
    void OutputSample(int, CSynthesisFilter* pFilter0, CSynthesisFilter*) {
        if (m_nAllocation != 0) {
            pFilter0->m_fInput[m_nSubband] = (m_fSample * m_fFactor + m_fOffset) * m_fScalefactor;
        }
    }

  protected:
    // Sets up the code width, factor and offset of allocation nAllocation.
    void SetAllocation(int nAllocation);

    int m_nSubband;
    int m_nAllocation = 0;
    float m_fScalefactor = 0.0f;
    int m_nCodeWidth = 0;
    float m_fSample = 0.0f;
    float m_fFactor = 0.0f;
    float m_fOffset = 0.0f;
};

class CLayer1JointSubband : public CLayer1Subband {
  public:
    using CLayer1Subband::CLayer1Subband;

    void ReadScalefactors(CBitReader& reader, const CFrameHeader& header) override;
    void OutputSample(int nChannels, CSynthesisFilter* pFilter0, CSynthesisFilter* pFilter1) {
        if (m_nAllocation != 0) {
            m_fSample = m_fSample * m_fFactor + m_fOffset;
            pFilter0->m_fInput[m_nSubband] = m_fSample * m_fScalefactor;
            if (nChannels == 0) {
                pFilter1->m_fInput[m_nSubband] = m_fSample * m_fScalefactor1;
            }
        }
    }

  private:
    float m_fScalefactor1 = 0.0f;
};

class CLayer1StereoSubband : public CLayer1Subband {
  public:
    using CLayer1Subband::CLayer1Subband;

    void ReadAllocation(CBitReader& reader, CFrameHeader& header, CCrc16* pCrc) override;
    void ReadScalefactors(CBitReader& reader, const CFrameHeader& header) override;
    void ReadSamples(CBitReader& reader);
    void OutputSample(int nChannels, CSynthesisFilter* pFilter0, CSynthesisFilter* pFilter1) {
        CLayer1Subband::OutputSample(nChannels, pFilter0, pFilter1);
        if (m_nAllocation1 != 0 && nChannels == 0) {
            pFilter1->m_fInput[m_nSubband] =
                (m_fSample1 * m_fFactor1 + m_fOffset1) * m_fScalefactor1;
        }
    }

  private:
    int m_nAllocation1 = 0;
    float m_fScalefactor1 = 0.0f;
    int m_nCodeWidth1 = 0;
    float m_fSample1 = 0.0f;
    float m_fFactor1 = 0.0f;
    float m_fOffset1 = 0.0f;
};

}  // namespace corvina
