// Builds MPEG audio Layer I and II frames with chosen header fields,
// allocations, scalefactors and sample codes, so that tests can reach the
// cases no encoder makes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Writes bit fields most significant bit first.
class CBitWriter {
  public:
    void Put(uint32_t dwValue, int nBits);
    std::size_t BitCount() const { return m_nBits; }
    std::vector<uint8_t>& Bytes() { return m_bytes; }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    // Bit nIndex of what was written.
    int Bit(std::size_t nIndex) const { return (m_bytes[nIndex / 8] >> (7 - nIndex % 8)) & 1; }

  private:
    std::vector<uint8_t> m_bytes;
    std::size_t m_nBits = 0;
};

struct CFrameShape {
    int nLayer = 2;           // 1 or 2 (3 writes a Layer III header and no audio)
    int nBitrateIndex = 8;    // 0 free format .. 15 forbidden
    int nFrequencyIndex = 0;  // 0 44.1 kHz, 1 48 kHz, 2 32 kHz, 3 reserved
    int nPadding = 0;
    int nMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    int nModeExtension = 0;
    bool bProtected = false;  // a CRC word follows the header
    bool bWrongCrc = false;   // ... and it does not match
    int nCopyright = 0;
    int nOriginal = 1;
    int nIdBit = 1;
    int nEmphasis = 0;
    // Per channel and subband. In joint stereo at and above the bound, and in
    // single channel, channel 0's allocation and codes are the ones written.
    int nAllocation[2][32] = {};
    int nScfsi[2][32] = {};
    int nScalefactor[2][32][3] = {};
    // The code written for every sample (Layer I, Layer II ungrouped) or
    // every grouped triple (Layer II grouped classes).
    uint32_t dwSampleCode[2][32] = {};

    // The same allocation, scalefactor index and code for every subband that
    // carries data, both channels.
    void SetAll(int nAlloc, int nScalefactorIndex, uint32_t dwCode, int nSubbands = 32);
};

// The sample code that stands for 0 (the middle step) in the class that
// allocation code nAlloc gives subband sb of the shape's frames.
uint32_t SilenceCode(const CFrameShape& shape, int sb, int nAlloc);
// The header word of a shape.
uint32_t HeaderWord(const CFrameShape& shape);
// One whole frame: header, CRC word, audio data, zero padding to the frame's
// length. Audio that does not fit is cut at the frame's end.
std::vector<uint8_t> BuildFrame(const CFrameShape& shape);
// nFrames copies of the frame, back to back.
std::vector<uint8_t> BuildStream(const CFrameShape& shape, int nFrames);
void Append(std::vector<uint8_t>& bytes, const std::vector<uint8_t>& more);

// Samples per channel of one frame of the layer.
inline int SamplesPerFrame(int nLayer) {
    return nLayer == 1 ? 384 : 1152;
}
