// The Layer II quantisation classes: what an allocation code means in each
// group of subbands, and the degrouping tables of the 3-, 5- and 9-level
// classes.
#pragma once

#include <cstdint>

namespace corvina {

class CFrameHeader;

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

// The allocation table of a Layer II frame: how many subbands carry data,
// the width of each one's allocation code, and the class row that the code
// indexes (with an entry for every code the width can express).
struct CLayer2Table {
    int nSblimit;
    uint8_t nAllocationBits[32];
    const CQuantClass* pRows[32];
};

// The table that the frame's version, sampling frequency and bitrate per
// channel select. Any header gives a table, usable or not.
const CLayer2Table& Layer2TableOf(const CFrameHeader& header);

}  // namespace corvina
