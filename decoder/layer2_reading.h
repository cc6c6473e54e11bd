// Layer II after the header: the allocations, the scalefactor selection, the
// scalefactors and the twelve granules of samples of a frame.
#pragma once

#include "decoder/subband_frame.h"

namespace corvina {

class CBitReader;
class CCrc16;
struct CLayer2Table;

inline constexpr int kLayer2Slots = 36;

// Reads the allocations of info's subbands and channels, as wide as table
// says, feeding each to pCrc where given.
void ReadLayer2Allocations(CBitReader& reader, const CLayer2Table& table, CScaleInfo& info,
                           CCrc16* pCrc);
// Reads the scalefactor selection of every allocated subband and channel,
// feeding each to pCrc where given.
void ReadLayer2Scfsi(CBitReader& reader, CScaleInfo& info, CCrc16* pCrc);
// Reads the three scalefactors of every allocated subband and channel, as its
// selection shares them out.
void ReadLayer2Scalefactors(CBitReader& reader, CScaleInfo& info);
// Requantises the frame's samples into the 36 slots of the coded channels of
// frame (0.0 where a subband carries nothing) and puts the cursor after them.
void ReadLayer2Samples(CBitReader& reader, const CLayer2Table& table, const CScaleInfo& info,
                       CSubbandFrame& frame);

}  // namespace corvina
