// The Layer II subband decoders: one channel, two channels coded apart, and
// joint stereo above the bound (one allocation and sample set, two
// scalefactor sets).
#pragma once

#include "decoder/layer2_sample_reader.h"
#include "decoder/layer2_tables.h"
#include "decoder/subband_decoder.h"

namespace corvina {

// What one channel of a subband carries in the current frame.
struct CLayer2Channel {
    unsigned nAllocation = 0;
    int nScfsi = 0;
    float fScalefactor[3] = {};
    CQuantClass quant = {};
};

class CLayer2Subband : public CSubbandDecoder {
  public:
    explicit CLayer2Subband(int nSubband = 0) : m_nSubband(nSubband) {}

    void ReadAllocation(CBitReader& reader, CFrameHeader& header, CCrc16* pCrc) override;
    void ReadScalefactors(CBitReader& reader, const CFrameHeader& header) override;
    // Lists this subband's sample codes of the frame with the reader, in
    // the order of the payload: channel 0's only.
    void AddCodes(CLayer2SampleReader& reader) const;
    virtual void ReadScfsi(CBitReader& reader, CCrc16* pCrc);

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

    void ReadScalefactors(CBitReader& reader, const CFrameHeader& header) override;
    // One code for both channels, each scaled by its own scalefactors.
    void AddCodes(CLayer2SampleReader& reader) const;
    void ReadScfsi(CBitReader& reader, CCrc16* pCrc) override;

  private:
    int m_nScfsi1 = 0;
    float m_fScalefactor1[3] = {};
};

class CLayer2StereoSubband : public CLayer2Subband {
  public:
    using CLayer2Subband::CLayer2Subband;

    void ReadAllocation(CBitReader& reader, CFrameHeader& header, CCrc16* pCrc) override;
    void ReadScalefactors(CBitReader& reader, const CFrameHeader& header) override;
    // A code per channel.
    void AddCodes(CLayer2SampleReader& reader) const;
    void ReadScfsi(CBitReader& reader, CCrc16* pCrc) override;

  private:
    CLayer2Channel m_Channel1;
};

}  // namespace corvina
