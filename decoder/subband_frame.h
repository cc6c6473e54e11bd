// What one Layer I or II frame says before its samples (allocations, scalefactor
// selection, scalefactors), and its requantised subband samples.
#pragma once

#include <cstdint>

namespace corvina {

// A frame's allocation and scale information, per channel and subband.
// Subbands from nBound up carry one allocation and one sample for both
// channels (joint stereo): channel 1's allocation there is channel 0's, its
// scalefactors its own.
struct CScaleInfo {
    int nSblimit = 0;   // subbands that carry data
    int nBound = 0;     // the first joint subband; nSblimit where there is none
    int nChannels = 1;  // channels coded: 1 for a single-channel frame
    // A Layer I allocation of 15, which the standard forbids.
    bool bForbidden = false;
    uint8_t nAllocation[2][32] = {};
    // Layer II: which of the three parts share a scalefactor.
    uint8_t nScfsi[2][32] = {};
    // The scalefactors of the frame's three parts (Layer I: [0] only).
    float fScalefactor[2][32][3] = {};
};

// A frame's subband samples as the synthesis filters take them: channel,
// time slot, subband (12 slots in Layer I, 36 in Layer II).
struct CSubbandFrame {
    static constexpr int kMostSlots = 36;
    alignas(64) float fSample[2][kMostSlots][32];
};

}  // namespace corvina
