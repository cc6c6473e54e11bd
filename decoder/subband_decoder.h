// The interface of the per-subband decoders that the driver calls in the order
// of a frame's bit stream.
#pragma once

class CBitStream;
class CCrc16;
class CFrameHeader;
class CSynthesisFilter;

class CSubbandDecoder {
  public:
    virtual ~CSubbandDecoder() = default;

    // Reads the allocation code(s); feeds them to pCrc when it is given.
    virtual void ReadAllocation(CBitStream& stream, CFrameHeader& header, CCrc16* pCrc) = 0;
    // Reads the scalefactors of the coded channels and sets up requantisation.
    virtual void ReadScalefactors(CBitStream& stream, const CFrameHeader& header) = 0;
    // Reads the next sample group; 1 when it was the frame's last.
    virtual int ReadSamples(CBitStream& stream) = 0;
    // Stores the next sample of the group into entry sb of the filters' input:
    // nChannels 0 for both channels, 1 for channel 0 only (pFilter1 may then
    // be null). 1 when the group has been output completely.
    virtual int OutputSample(int nChannels, CSynthesisFilter* pFilter0,
                             CSynthesisFilter* pFilter1) = 0;
};
