// The interface of the per-subband decoders that the driver calls in the order
// of a frame's bit reader.
#pragma once

namespace corvina {

class CBitReader;
class CCrc16;
class CFrameHeader;

class CSubbandDecoder {
  public:
    virtual ~CSubbandDecoder() = default;

    // Reads the allocation code(s); feeds them to pCrc when it is given.
    virtual void ReadAllocation(CBitReader& reader, CFrameHeader& header, CCrc16* pCrc) = 0;
    // Reads the scalefactors of the coded channels and sets up requantisation.
    virtual void ReadScalefactors(CBitReader& reader, const CFrameHeader& header) = 0;
    // The sample loop is the driver's: it calls each class's ReadSamples and
    // OutputSample by name, as many times as the layer has groups and
    // samples, with nChannels 0 for both channels and 1 for channel 0 only
    // (pFilter1 may then be null).
};

}  // namespace corvina
