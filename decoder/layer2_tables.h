// The Layer II quantisation classes: what an allocation code means in each
// group of subbands, and the degrouping tables of the 3-, 5- and 9-level
// classes.
#pragma once

struct CQuantClass {
    // Bits of one sample code, or of one grouped code of three samples.
    int nCodeWidth;
    // Grouped classes: row c holds the three requantised samples of code c,
    // for every code the width can express (codes of no group give 0.0).
    const float (*pGroups)[3];
    // Ungrouped classes: 2^(1 - nb), and the constants of
    // s''' = C * (s'' + D).
    float fStep;
    float fC;
    float fD;
};

// Bits of one allocation code of subband nSubband at bitrate index per
// channel nPerChannel.
int AllocationBits(int nPerChannel, int nSubband);
// The class row of subband nSubband, indexed by the allocation code; it has an
// entry for every code that AllocationBits bits can express.
const CQuantClass* QuantClassRow(int nPerChannel, int nSubband);
// The bitrate index per channel that selects the allocation tables.
int BitrateIndexPerChannel(int nBitrateIndex, int nMode);
