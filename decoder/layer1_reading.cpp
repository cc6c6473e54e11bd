// Layer I: the allocations and scalefactors are read field by field; the
// samples, whose places in the payload the allocations fix, are listed once
// and then read code by code through the twelve slots.
#include "decoder/layer1_reading.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "decoder/bit_reader.h"
#include "decoder/crc16.h"
#include "decoder/scalefactor_table.h"

namespace corvina {

namespace {

constexpr int kIllegalAllocation = 15;
constexpr int kSlotEntries = 32;

// s * factor + offset for allocation a: the code width is a + 1.
// Allocations 0 and 15 carry no sound: both constants are 0 there.
constexpr std::array<float, 16> MakeFactors() {
    std::array<float, 16> fTable{};
    for (int a = 1; a < 15; ++a) {
        fTable[a] = 2.0f / static_cast<float>((2 << a) - 1);
    }
    return fTable;
}

constexpr std::array<float, 16> MakeOffsets() {
    std::array<float, 16> fTable{};
    for (int a = 1; a < 15; ++a) {
        fTable[a] = -static_cast<float>((2 << a) - 2) / static_cast<float>((2 << a) - 1);
    }
    return fTable;
}

constexpr std::array<float, 16> kFactors = MakeFactors();
constexpr std::array<float, 16> kOffsets = MakeOffsets();

struct CCode {
    uint32_t nOffset;  // bits from the start of a slot
    int nWidth;
    float fFactor;
    float fOffset;
    float fScalefactor;
    float* pEntry;  // in the first slot
};

template <bool bChecked>
void ReadCodes(const CBitReader& reader, const CCode* pCodes, int nCodes, uint32_t nStartBit,
               uint32_t nSlotBits) {
    for (int i = 0; i < nCodes; ++i) {
        const CCode& code = pCodes[i];
        uint32_t nBit = nStartBit + code.nOffset;
        for (int nSlot = 0; nSlot < kLayer1Slots; ++nSlot) {
            const auto fSample =
                static_cast<float>(reader.template PeekBitsAt<bChecked>(nBit, code.nWidth));
            code.pEntry[nSlot * kSlotEntries] =
                (fSample * code.fFactor + code.fOffset) * code.fScalefactor;
            nBit += nSlotBits;
        }
    }
}

}  // namespace

void ReadLayer1Allocations(CBitReader& reader, CScaleInfo& info, CCrc16* pCrc) {
    // The fields in the order of the payload.
    uint8_t* pFields[2 * 32];
    int nFields = 0;
    for (int sb = 0; sb < info.nSblimit; ++sb) {
        const int nCoded = sb < info.nBound ? info.nChannels : 1;
        for (int c = 0; c < nCoded; ++c) {
            pFields[nFields++] = &info.nAllocation[c][sb];
        }
    }
    const uint32_t nStartBit = reader.BitPosition();
    const uint32_t nEndBit = nStartBit + 4 * static_cast<uint32_t>(nFields);
    if (reader.HoldsBits(nEndBit)) {
        // Eight fields at a time, and so into the CRC.
        for (int i = 0; i < nFields; i += 8) {
            const int nBits = 4 * std::min(8, nFields - i);
            const uint32_t dwBits =
                reader.PeekBitsAt<false>(nStartBit + 4 * static_cast<uint32_t>(i), nBits);
            if (pCrc != nullptr) {
                pCrc->Update(dwBits, nBits);
            }
            for (int k = 0; k < nBits / 4; ++k) {
                *pFields[i + k] = static_cast<uint8_t>((dwBits >> (nBits - 4 - 4 * k)) & 0xF);
            }
        }
        reader.MoveToBit(nEndBit);
    } else {
        // Those past the payload's end read as 0.
        for (int i = 0; i < nFields; ++i) {
            const uint32_t nAllocation = reader.GetBits(4);
            if (pCrc != nullptr) {
                pCrc->Update(nAllocation, 4);
            }
            *pFields[i] = static_cast<uint8_t>(nAllocation);
        }
    }
    info.bForbidden = false;
    for (int i = 0; i < nFields; ++i) {
        info.bForbidden = info.bForbidden || *pFields[i] == kIllegalAllocation;
    }
    for (int sb = info.nBound; sb < info.nSblimit; ++sb) {
        info.nAllocation[1][sb] = info.nAllocation[0][sb];
    }
}

void ReadLayer1Scalefactors(CBitReader& reader, CScaleInfo& info) {
    float* pFields[2 * 32];
    int nFields = 0;
    for (int sb = 0; sb < info.nSblimit; ++sb) {
        for (int c = 0; c < info.nChannels; ++c) {
            if (info.nAllocation[c][sb] != 0) {
                pFields[nFields++] = &info.fScalefactor[c][sb][0];
            }
        }
    }
    const uint32_t nStartBit = reader.BitPosition();
    const uint32_t nEndBit = nStartBit + 6 * static_cast<uint32_t>(nFields);
    if (reader.HoldsBits(nEndBit)) {
        for (int i = 0; i < nFields; ++i) {
            *pFields[i] = g_fScalefactors[reader.PeekBitsAt<false>(
                nStartBit + 6 * static_cast<uint32_t>(i), 6)];
        }
        reader.MoveToBit(nEndBit);
    } else {
        for (int i = 0; i < nFields; ++i) {
            *pFields[i] = g_fScalefactors[reader.GetBits(6)];
        }
    }
}

void ReadLayer1Samples(CBitReader& reader, const CScaleInfo& info, CSubbandFrame& frame) {
    CCode codes[2 * 32];
    int nCodes = 0;
    uint32_t nSlotBits = 0;
    for (int c = 0; c < info.nChannels; ++c) {
        std::memset(frame.fSample[c], 0, kLayer1Slots * sizeof frame.fSample[c][0]);
    }
    for (int sb = 0; sb < info.nSblimit; ++sb) {
        for (int c = 0; c < info.nChannels; ++c) {
            const int nAllocation = info.nAllocation[c][sb];
            if (nAllocation == 0) {
                continue;
            }
            const int nWidth = nAllocation + 1;
            // Above the bound channel 1 scales channel 0's code.
            if (sb < info.nBound || c == 0) {
                nSlotBits += static_cast<uint32_t>(nWidth);
            }
            codes[nCodes++] = {nSlotBits - static_cast<uint32_t>(nWidth),
                               nWidth,
                               kFactors[nAllocation],
                               kOffsets[nAllocation],
                               info.fScalefactor[c][sb][0],
                               &frame.fSample[c][0][sb]};
        }
    }
    const uint32_t nStartBit = reader.BitPosition();
    const uint32_t nEndBit = nStartBit + kLayer1Slots * nSlotBits;
    // A frame too short for its codes reads those past its end as 0.
    if (reader.HoldsBits(nEndBit)) {
        ReadCodes<false>(reader, codes, nCodes, nStartBit, nSlotBits);
    } else {
        ReadCodes<true>(reader, codes, nCodes, nStartBit, nSlotBits);
    }
    reader.MoveToBit(nEndBit);
}

}  // namespace corvina
