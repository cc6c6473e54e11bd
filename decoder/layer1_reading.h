// Layer I after the header: the allocations, the scalefactors and the twelve
// time slots of samples of a frame.
#pragma once

#include "decoder/subband_frame.h"

namespace corvina {

class CBitReader;
class CCrc16;

inline constexpr int kLayer1Slots = 12;

// Reads the allocations of info's subbands and channels, feeding each to
// pCrc where given, and notes a forbidden one in info.bForbidden.
void ReadLayer1Allocations(CBitReader& reader, CScaleInfo& info, CCrc16* pCrc);
// Reads the scalefactor of every allocated subband and channel.
void ReadLayer1Scalefactors(CBitReader& reader, CScaleInfo& info);
// Requantises the frame's samples, (2s - 2^nb + 2) / (2^nb - 1) for an nb-bit
// code s times the scalefactor, into the first twelve slots of the coded
// channels of frame (0.0 where a subband carries nothing), and puts the
// cursor after them.
void ReadLayer1Samples(CBitReader& reader, const CScaleInfo& info, CSubbandFrame& frame);

}  // namespace corvina
