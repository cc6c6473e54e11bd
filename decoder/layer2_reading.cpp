// Layer II. Once the allocations are read, the place of every sample code in
// the payload is known, so the frame's codes are listed once and then read
// code by code through all twelve granules, grouped and ungrouped codes in
// separate runs, with no branch per subband. Grouped codes requantise through
// the degrouping tables, ungrouped ones as s''' = C * (s'' + D) with
// s'' = code * step - 1; then times the scalefactor of the granule's third of
// the frame.
#include "decoder/layer2_reading.h"

#include <cstdint>
#include <cstring>

#include "decoder/bit_reader.h"
#include "decoder/crc16.h"
#include "decoder/layer2_tables.h"
#include "decoder/scalefactor_table.h"

namespace corvina {

namespace {

constexpr int kParts = 3;
constexpr int kGranulesPerPart = 4;
constexpr int kGranulesPerFrame = kParts * kGranulesPerPart;
constexpr int kSlotEntries = 32;

// The three scalefactors of one channel, as its scfsi shares them out.
void ReadScalefactorSet(CBitReader& reader, int nScfsi, float (&fScalefactor)[3]) {
    const float fFirst = g_fScalefactors[reader.GetBits(6)];
    switch (nScfsi) {
        case 0:
            fScalefactor[0] = fFirst;
            fScalefactor[1] = g_fScalefactors[reader.GetBits(6)];
            fScalefactor[2] = g_fScalefactors[reader.GetBits(6)];
            break;
        case 1:
            fScalefactor[0] = fScalefactor[1] = fFirst;
            fScalefactor[2] = g_fScalefactors[reader.GetBits(6)];
            break;
        case 2:
            fScalefactor[0] = fScalefactor[1] = fScalefactor[2] = fFirst;
            break;
        default:
            fScalefactor[0] = fFirst;
            fScalefactor[1] = fScalefactor[2] = g_fScalefactors[reader.GetBits(6)];
            break;
    }
}

struct CCode {
    uint32_t nOffset;  // bits from the start of a granule
    int nWidth;
    const float* pScalefactor;
    float* pEntry;  // in the first slot
    // Ungrouped codes: s''' = C * (code * step - 1 + D), with the step and D
    // both 2^(1 - nb), is (code + 1 - 2^(nb - 1)) times 2^(1 - nb) C: every
    // step up to that product is exact (whole numbers below 2^16 times a
    // power of two), so only that product is rounded, here as there.
    int32_t nBias;
    float fC;
    const float (*pGroups)[3];
};

// The frame's codes: at most one per channel and subband, so neither list
// can overflow.
struct CCodeList {
    CCode grouped[2 * 32];
    CCode ungrouped[2 * 32];
    int nGrouped = 0;
    int nUngrouped = 0;
    uint32_t nGranuleBits = 0;
};

template <bool bChecked>
void ReadCodes(const CBitReader& reader, const CCodeList& list, uint32_t nStartBit) {
    const uint32_t nGranuleBits = list.nGranuleBits;
    for (int i = 0; i < list.nGrouped; ++i) {
        const CCode& code = list.grouped[i];
        uint32_t nBit = nStartBit + code.nOffset;
        float* pEntry = code.pEntry;
        for (int nPart = 0; nPart < kParts; ++nPart) {
            const float fScalefactor = code.pScalefactor[nPart];
            for (int n = 0; n < kGranulesPerPart; ++n) {
                const float* pGroup =
                    code.pGroups[reader.template PeekBitsAt<bChecked>(nBit, code.nWidth)];
                pEntry[0] = fScalefactor * pGroup[0];
                pEntry[kSlotEntries] = fScalefactor * pGroup[1];
                pEntry[2 * kSlotEntries] = fScalefactor * pGroup[2];
                nBit += nGranuleBits;
                pEntry += 3 * kSlotEntries;
            }
        }
    }
    for (int i = 0; i < list.nUngrouped; ++i) {
        const CCode& code = list.ungrouped[i];
        const int nWidth = code.nWidth;
        const uint32_t dwMask = (1u << nWidth) - 1;
        uint32_t nBit = nStartBit + code.nOffset;
        float* pEntry = code.pEntry;
        for (int nPart = 0; nPart < kParts; ++nPart) {
            const float fScalefactor = code.pScalefactor[nPart];
            for (int n = 0; n < kGranulesPerPart; ++n) {
                uint32_t dwCodes[3];
                if constexpr (bChecked) {
                    const uint32_t dwFirstTwo = reader.PeekBitsAt(nBit, 2 * nWidth);
                    dwCodes[0] = dwFirstTwo >> nWidth;
                    dwCodes[1] = dwFirstTwo & dwMask;
                    dwCodes[2] =
                        reader.PeekBitsAt(nBit + 2 * static_cast<uint32_t>(nWidth), nWidth);
                } else {
                    // The three codes, 48 bits at most, from one window.
                    const uint64_t qwWindow = reader.WindowAt(nBit);
                    dwCodes[0] = static_cast<uint32_t>(qwWindow >> (64 - nWidth));
                    dwCodes[1] = static_cast<uint32_t>(qwWindow >> (64 - 2 * nWidth)) & dwMask;
                    dwCodes[2] = static_cast<uint32_t>(qwWindow >> (64 - 3 * nWidth)) & dwMask;
                }
                for (int k = 0; k < 3; ++k) {
                    const auto fLevel =
                        static_cast<float>(static_cast<int32_t>(dwCodes[k]) + code.nBias);
                    pEntry[k * kSlotEntries] = fScalefactor * (fLevel * code.fC);
                }
                nBit += nGranuleBits;
                pEntry += 3 * kSlotEntries;
            }
        }
    }
}

}  // namespace

void ReadLayer2Allocations(CBitReader& reader, const CLayer2Table& table, CScaleInfo& info,
                           CCrc16* pCrc) {
    info.bForbidden = false;
    for (int sb = 0; sb < info.nSblimit; ++sb) {
        const int nBits = table.nAllocationBits[sb];
        const int nCoded = sb < info.nBound ? info.nChannels : 1;
        for (int c = 0; c < nCoded; ++c) {
            const uint32_t nAllocation = reader.GetBits(nBits);
            if (pCrc != nullptr) {
                pCrc->Update(nAllocation, nBits);
            }
            info.nAllocation[c][sb] = static_cast<uint8_t>(nAllocation);
        }
        if (nCoded == 1) {
            info.nAllocation[1][sb] = info.nAllocation[0][sb];
        }
    }
}

void ReadLayer2Scfsi(CBitReader& reader, CScaleInfo& info, CCrc16* pCrc) {
    for (int sb = 0; sb < info.nSblimit; ++sb) {
        for (int c = 0; c < info.nChannels; ++c) {
            if (info.nAllocation[c][sb] != 0) {
                const uint32_t nScfsi = reader.GetBits(2);
                if (pCrc != nullptr) {
                    pCrc->Update(nScfsi, 2);
                }
                info.nScfsi[c][sb] = static_cast<uint8_t>(nScfsi);
            }
        }
    }
}

void ReadLayer2Scalefactors(CBitReader& reader, CScaleInfo& info) {
    // Bits of the scalefactors of each selection, and how far each part's
    // field lies from the end of them (the fields of the three parts are
    // read at once, and parts that share a field take the same).
    static constexpr int kBits[4] = {18, 12, 6, 12};
    static constexpr int kShift[4][3] = {{12, 6, 0}, {6, 6, 0}, {0, 0, 0}, {6, 0, 0}};
    uint32_t nEndBit = reader.BitPosition();
    for (int sb = 0; sb < info.nSblimit; ++sb) {
        for (int c = 0; c < info.nChannels; ++c) {
            if (info.nAllocation[c][sb] != 0) {
                nEndBit += static_cast<uint32_t>(kBits[info.nScfsi[c][sb] & 3]);
            }
        }
    }
    if (reader.HoldsBits(nEndBit)) {
        uint32_t nBit = reader.BitPosition();
        for (int sb = 0; sb < info.nSblimit; ++sb) {
            for (int c = 0; c < info.nChannels; ++c) {
                if (info.nAllocation[c][sb] == 0) {
                    continue;
                }
                const int nScfsi = info.nScfsi[c][sb] & 3;
                const uint32_t dwFields = reader.PeekBitsAt<false>(nBit, kBits[nScfsi]);
                for (int nPart = 0; nPart < kParts; ++nPart) {
                    info.fScalefactor[c][sb][nPart] =
                        g_fScalefactors[(dwFields >> kShift[nScfsi][nPart]) & 63];
                }
                nBit += static_cast<uint32_t>(kBits[nScfsi]);
            }
        }
        reader.MoveToBit(nEndBit);
        return;
    }
    // Those past the payload's end read as 0.
    for (int sb = 0; sb < info.nSblimit; ++sb) {
        for (int c = 0; c < info.nChannels; ++c) {
            if (info.nAllocation[c][sb] != 0) {
                ReadScalefactorSet(reader, info.nScfsi[c][sb], info.fScalefactor[c][sb]);
            }
        }
    }
}

void ReadLayer2Samples(CBitReader& reader, const CLayer2Table& table, const CScaleInfo& info,
                       CSubbandFrame& frame) {
    CCodeList list;
    for (int c = 0; c < info.nChannels; ++c) {
        std::memset(frame.fSample[c], 0, kLayer2Slots * sizeof frame.fSample[c][0]);
    }
    for (int sb = 0; sb < info.nSblimit; ++sb) {
        for (int c = 0; c < info.nChannels; ++c) {
            const int nAllocation = info.nAllocation[c][sb];
            if (nAllocation == 0) {
                continue;
            }
            const CQuantClass& quant = table.pRows[sb][nAllocation];
            const bool bGrouped = quant.pGroups != nullptr;
            const int nBits = bGrouped ? quant.nCodeWidth : 3 * quant.nCodeWidth;
            // Above the bound channel 1 scales channel 0's code.
            if (sb < info.nBound || c == 0) {
                list.nGranuleBits += static_cast<uint32_t>(nBits);
            }
            CCode& code =
                bGrouped ? list.grouped[list.nGrouped++] : list.ungrouped[list.nUngrouped++];
            code = {list.nGranuleBits - static_cast<uint32_t>(nBits),
                    quant.nCodeWidth,
                    info.fScalefactor[c][sb],
                    &frame.fSample[c][0][sb],
                    1 - (1 << (quant.nCodeWidth - 1)),
                    quant.fStep * quant.fC,
                    quant.pGroups};
        }
    }
    const uint32_t nStartBit = reader.BitPosition();
    const uint32_t nEndBit = nStartBit + kGranulesPerFrame * list.nGranuleBits;
    // A frame too short for its codes reads those past its end as 0.
    if (reader.HoldsBits(nEndBit)) {
        ReadCodes<false>(reader, list, nStartBit);
    } else {
        ReadCodes<true>(reader, list, nStartBit);
    }
    reader.MoveToBit(nEndBit);
}

}  // namespace corvina
