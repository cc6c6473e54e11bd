// Layer I: the allocations and scalefactors are read field by field; the
// samples, whose places in the payload the allocations fix, are listed once
// and then read code by code through the twelve slots, and requantised
// afterwards a slot at a time, several subbands at once.
#include "decoder/layer1_reading.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
    int32_t* pCode;  // in the first slot
};

template <bool bChecked>
void ReadCodes(const CBitReader& reader, const CCode* pCodes, int nCodes, uint32_t nStartBit,
               uint32_t nSlotBits) {
    for (int i = 0; i < nCodes; ++i) {
        const CCode& code = pCodes[i];
        uint32_t nBit = nStartBit + code.nOffset;
        for (int nSlot = 0; nSlot < kLayer1Slots; ++nSlot) {
            code.pCode[nSlot * kSlotEntries] =
                static_cast<int32_t>(reader.template PeekBitsAt<bChecked>(nBit, code.nWidth));
            nBit += nSlotBits;
        }
    }
}

// The constants of one channel's subbands: 0 for those that carry nothing,
// which turns their code of 0 into 0.0.
struct CChannelConstants {
    alignas(16) float fFactor[kSlotEntries];
    alignas(16) float fOffset[kSlotEntries];
    alignas(16) float fScalefactor[kSlotEntries];
};

// (code * factor + offset) * scalefactor for every subband of every slot,
// four subbands at a time where SSE2 is.
void Requantise(const int32_t (&nCode)[kLayer1Slots][kSlotEntries], const CChannelConstants& k,
                float (*pSlots)[kSlotEntries]) {
    for (int nSlot = 0; nSlot < kLayer1Slots; ++nSlot) {
        float* pTo = pSlots[nSlot];
#ifdef __SSE2__
        for (int sb = 0; sb < kSlotEntries; sb += 4) {
            const __m128 fCode = _mm_cvtepi32_ps(
                _mm_load_si128(reinterpret_cast<const __m128i*>(nCode[nSlot] + sb)));
            const __m128 fScaled = _mm_add_ps(_mm_mul_ps(fCode, _mm_load_ps(k.fFactor + sb)),
                                              _mm_load_ps(k.fOffset + sb));
            _mm_store_ps(pTo + sb, _mm_mul_ps(fScaled, _mm_load_ps(k.fScalefactor + sb)));
        }
#else
        for (int sb = 0; sb < kSlotEntries; ++sb) {
            const auto fCode = static_cast<float>(nCode[nSlot][sb]);
            pTo[sb] = (fCode * k.fFactor[sb] + k.fOffset[sb]) * k.fScalefactor[sb];
        }
#endif
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
    // The codes of each slot and subband, read first and requantised a slot
    // at a time, every subband: those that carry nothing come out as 0.0.
    alignas(16) int32_t nCode[2][kLayer1Slots][kSlotEntries];
    CChannelConstants constants[2];
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
            codes[nCodes++] = {nSlotBits - static_cast<uint32_t>(nWidth), nWidth, &nCode[c][0][sb]};
        }
    }
    for (int c = 0; c < info.nChannels; ++c) {
        std::memset(nCode[c], 0, sizeof nCode[c]);
        CChannelConstants& k = constants[c];
        for (int sb = 0; sb < kSlotEntries; ++sb) {
            const int nAllocation = sb < info.nSblimit ? info.nAllocation[c][sb] : 0;
            k.fFactor[sb] = kFactors[nAllocation];
            k.fOffset[sb] = kOffsets[nAllocation];
            k.fScalefactor[sb] = nAllocation != 0 ? info.fScalefactor[c][sb][0] : 0.0f;
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
    for (int c = 0; c < info.nChannels; ++c) {
        Requantise(nCode[c], constants[c], frame.fSample[c]);
    }
}

}  // namespace corvina
