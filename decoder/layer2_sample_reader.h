// The sample codes of a Layer II frame. Once its allocations are read, the
// place of every code in the payload is known, so the frame's codes are
// listed once, and each granule is then read from those places, grouped and
// ungrouped codes in separate runs, with no branch per subband.
#pragma once

#include <cstdint>

#include "decoder/layer2_tables.h"

class CBitStream;

// The three time slots of one granule, requantised and scaled, as the
// filters take them: channel, slot, subband.
struct CLayer2Granule {
    alignas(64) float fSample[2][3][32] = {};
};

class CLayer2SampleReader {
  public:
    // Forgets the last frame's codes: this frame's samples start at the
    // stream's cursor.
    void Start(const CBitStream& stream);
    // Lists the code of channel nChannel of subband nSubband, in the order
    // of the payload; pScalefactor holds the channel's three. bShared: the
    // code is the one listed last, scaled for another channel (joint
    // stereo).
    void AddCode(const CQuantClass& quant, const float* pScalefactor, int nChannel, int nSubband,
                 bool bShared);
    // Requantises granule nGranule (0..11) of the listed codes into its
    // entries of granule; entries of no listed code are left as they are.
    void ReadGranule(const CBitStream& stream, int nGranule, CLayer2Granule& granule) const;
    // Puts the stream's cursor after the frame's samples.
    void Finish(CBitStream& stream) const;

  private:
    struct CCode {
        uint32_t nOffset;  // bits from the start of a granule
        int nWidth;
        const float* pScalefactor;
        int nEntry;  // of the granule's flat array, in its first slot
        float fStep;
        float fC;
        float fD;
        const float (*pGroups)[3];
    };
    static constexpr int kMostCodes = 64;

    uint32_t m_nStartBit = 0;
    uint32_t m_nGranuleBits = 0;
    CCode m_grouped[kMostCodes];
    CCode m_ungrouped[kMostCodes];
    int m_nGrouped = 0;
    int m_nUngrouped = 0;
};
