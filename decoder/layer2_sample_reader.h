// The sample codes of a Layer II frame. Once its allocations are read, the
// place of every code in the payload is known, so the frame's codes are
// listed once and then read code by code through all twelve granules,
// grouped and ungrouped codes in separate runs, with no branch per subband.
#pragma once

#include <cstdint>

#include "decoder/layer2_tables.h"

namespace corvina {

class CBitReader;

// The 36 time slots of one frame, requantised and scaled, as the filters
// take them: channel, slot, subband.
struct CLayer2Frame {
    static constexpr int kSlots = 36;
    alignas(64) float fSample[2][kSlots][32];
};

class CLayer2SampleReader {
  public:
    // Forgets the last frame's codes: this frame's samples start at the
    // reader's cursor.
    void Start(const CBitReader& reader);
    // Lists the code of channel nChannel of subband nSubband, in the order
    // of the payload; pScalefactor holds the channel's three. bShared: the
    // code is the one listed last, scaled for another channel (joint
    // stereo).
    void AddCode(const CQuantClass& quant, const float* pScalefactor, int nChannel, int nSubband,
                 bool bShared);
    // Requantises the listed codes of all twelve granules into frame, 0.0
    // for the subbands and channels of no code, and puts the reader's cursor
    // after the frame's samples.
    void ReadFrame(CBitReader& reader, CLayer2Frame& frame) const;

  private:
    struct CCode {
        uint32_t nOffset;  // bits from the start of a granule
        int nWidth;
        const float* pScalefactor;
        int nEntry;  // of the frame's flat array, in its first slot
        float fStep;
        float fC;
        float fD;
        const float (*pGroups)[3];
    };
    static constexpr int kMostCodes = 64;

    template <bool bChecked>
    void ReadCodes(const CBitReader& reader, CLayer2Frame& frame) const;

    uint32_t m_nStartBit = 0;
    uint32_t m_nGranuleBits = 0;
    CCode m_grouped[kMostCodes];
    CCode m_ungrouped[kMostCodes];
    int m_nGrouped = 0;
    int m_nUngrouped = 0;
};

}  // namespace corvina
