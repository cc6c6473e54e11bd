// The test stream builder.
#include "tests/support/stream_builder.h"

#include <algorithm>

#include "tests/support/frame_tables.h"

void CBitWriter::Put(uint32_t dwValue, int nBits) {
    for (int nBit = nBits - 1; nBit >= 0; --nBit) {
        if (m_nBits % 8 == 0) {
            m_bytes.push_back(0);
        }
        if ((dwValue >> nBit) & 1) {
            m_bytes.back() |= static_cast<uint8_t>(0x80 >> (m_nBits % 8));
        }
        ++m_nBits;
    }
}

void CFrameShape::SetAll(int nAlloc, int nScalefactorIndex, uint32_t dwCode, int nSubbands) {
    for (int ch = 0; ch < 2; ++ch) {
        for (int sb = 0; sb < nSubbands; ++sb) {
            nAllocation[ch][sb] = nAlloc;
            nScfsi[ch][sb] = 0;
            nScalefactor[ch][sb][0] = nScalefactor[ch][sb][1] = nScalefactor[ch][sb][2] =
                nScalefactorIndex;
            dwSampleCode[ch][sb] = dwCode;
        }
    }
}

uint32_t HeaderWord(const CFrameShape& shape) {
    uint32_t dwWord = 0xFFF00000u;
    dwWord |= static_cast<uint32_t>(shape.nIdBit & 1) << 19;
    dwWord |= static_cast<uint32_t>((4 - shape.nLayer) & 3) << 17;
    dwWord |= static_cast<uint32_t>(shape.bProtected ? 0 : 1) << 16;
    dwWord |= static_cast<uint32_t>(shape.nBitrateIndex & 15) << 12;
    dwWord |= static_cast<uint32_t>(shape.nFrequencyIndex & 3) << 10;
    dwWord |= static_cast<uint32_t>(shape.nPadding & 1) << 9;
    dwWord |= static_cast<uint32_t>(shape.nMode & 3) << 6;
    dwWord |= static_cast<uint32_t>(shape.nModeExtension & 3) << 4;
    dwWord |= static_cast<uint32_t>(shape.nCopyright & 1) << 3;
    dwWord |= static_cast<uint32_t>(shape.nOriginal & 1) << 2;
    dwWord |= static_cast<uint32_t>(shape.nEmphasis & 3);
    return dwWord;
}

namespace {

namespace ft = frame_tables;

int VersionOf(const CFrameShape& shape) {
    return shape.nIdBit & 1;
}

// Bytes of the whole frame; 0 where the header gives no length (free
// format, a forbidden or reserved field, Layer III).
int FrameLength(const CFrameShape& shape) {
    if (shape.nLayer != 1 && shape.nLayer != 2) {
        return 0;
    }
    const int nLayer = shape.nLayer - 1;
    const int nKbps = ft::kBitrateKbps[VersionOf(shape)][nLayer][shape.nBitrateIndex & 15];
    const int nHz = ft::kSamplingHz[VersionOf(shape)][shape.nFrequencyIndex & 3];
    if (nKbps == 0 || nHz == 0) {
        return 0;
    }
    const int nSlots = ft::kSlotsPerFrame[nLayer] * nKbps * 1000 / nHz + (shape.nPadding & 1);
    return nSlots * ft::kSlotBytes[nLayer];
}

const ft::CAllocationTable& AllocationTableOf(const CFrameShape& shape, int nChannels) {
    if (VersionOf(shape) == 0) {
        return ft::kTableLow;
    }
    const int nKbps = ft::kBitrateKbps[1][1][shape.nBitrateIndex & 15] / nChannels;
    const int nColumn = nKbps == 0 ? 2 : nKbps <= 48 ? 0 : nKbps <= 80 ? 1 : 2;
    // The reserved rate has no table; its frames are junk written as 44.1 kHz.
    const int nRate = (shape.nFrequencyIndex & 3) == 3 ? 0 : shape.nFrequencyIndex & 3;
    return *ft::kTableByRate[nRate][nColumn];
}

const ft::CSubbandRun& RunOf(const ft::CAllocationTable& table, int sb) {
    int nRun = 0;
    while (nRun + 1 < table.nRuns && sb >= table.runs[nRun].nEnd) {
        ++nRun;
    }
    return table.runs[nRun];
}

const ft::CQuantisation& QuantisationOf(int nSteps) {
    for (const ft::CQuantisation& quant : ft::kQuantisations) {
        if (quant.nSteps == nSteps) {
            return quant;
        }
    }
    return ft::kQuantisations[0];
}

struct CLayout {
    int nSblimit;
    int nBound;  // subbands below it carry two channels apart
    int nCoded;  // channels coded below the bound: 1 or 2
    const ft::CAllocationTable* pTable;
};

CLayout LayoutOf(const CFrameShape& shape) {
    const bool bSingle = (shape.nMode & 3) == 3;
    const ft::CAllocationTable& table = AllocationTableOf(shape, bSingle ? 1 : 2);
    const int nSblimit = shape.nLayer == 1 ? 32 : table.runs[table.nRuns - 1].nEnd;
    const int nBound = bSingle                  ? 0
                       : (shape.nMode & 3) == 1 ? ft::kJointBound[shape.nModeExtension & 3]
                                                : nSblimit;
    return {nSblimit, std::min(nBound, nSblimit), bSingle ? 1 : 2, &table};
}

// Channels whose allocation is written for subband sb; in joint stereo above
// the bound channel 0 stands for both.
int WrittenChannels(const CLayout& layout, int sb) {
    return sb < layout.nBound ? 2 : 1;
}

// Channels that carry scalefactors: both in joint stereo above the bound.
int ScaledChannels(const CLayout& layout, int) {
    return layout.nCoded;
}

int AllocationBits(const CFrameShape& shape, const CLayout& layout, int sb) {
    return shape.nLayer == 1 ? 4 : RunOf(*layout.pTable, sb).nAllocationBits;
}

// The allocation code of channel ch as written: cut to the width of its
// field, and channel 0's in joint stereo at and above the bound.
int Allocation(const CFrameShape& shape, const CLayout& layout, int ch, int sb) {
    const int nCode = sb < layout.nBound ? shape.nAllocation[ch][sb] : shape.nAllocation[0][sb];
    return nCode & ((1 << AllocationBits(shape, layout, sb)) - 1);
}

void WriteLayer1(const CFrameShape& shape, const CLayout& layout, CBitWriter& bits,
                 std::size_t& nProtectedEnd) {
    for (int sb = 0; sb < 32; ++sb) {
        for (int ch = 0; ch < WrittenChannels(layout, sb); ++ch) {
            bits.Put(static_cast<uint32_t>(Allocation(shape, layout, ch, sb)), 4);
        }
    }
    nProtectedEnd = bits.BitCount();
    for (int sb = 0; sb < 32; ++sb) {
        for (int ch = 0; ch < ScaledChannels(layout, sb); ++ch) {
            if (Allocation(shape, layout, ch, sb) != 0) {
                bits.Put(static_cast<uint32_t>(shape.nScalefactor[ch][sb][0]), 6);
            }
        }
    }
    for (int nSlot = 0; nSlot < 12; ++nSlot) {
        for (int sb = 0; sb < 32; ++sb) {
            for (int ch = 0; ch < WrittenChannels(layout, sb); ++ch) {
                const int nAlloc = Allocation(shape, layout, ch, sb);
                if (nAlloc != 0) {
                    bits.Put(shape.dwSampleCode[ch][sb], nAlloc + 1);
                }
            }
        }
    }
}

void WriteLayer2(const CFrameShape& shape, const CLayout& layout, CBitWriter& bits,
                 std::size_t& nProtectedEnd) {
    for (int sb = 0; sb < layout.nSblimit; ++sb) {
        for (int ch = 0; ch < WrittenChannels(layout, sb); ++ch) {
            bits.Put(static_cast<uint32_t>(Allocation(shape, layout, ch, sb)),
                     AllocationBits(shape, layout, sb));
        }
    }
    for (int sb = 0; sb < layout.nSblimit; ++sb) {
        for (int ch = 0; ch < ScaledChannels(layout, sb); ++ch) {
            if (Allocation(shape, layout, ch, sb) != 0) {
                bits.Put(static_cast<uint32_t>(shape.nScfsi[ch][sb]), 2);
            }
        }
    }
    nProtectedEnd = bits.BitCount();
    for (int sb = 0; sb < layout.nSblimit; ++sb) {
        for (int ch = 0; ch < ScaledChannels(layout, sb); ++ch) {
            if (Allocation(shape, layout, ch, sb) == 0) {
                continue;
            }
            const int* pIndex = shape.nScalefactor[ch][sb];
            const int nCount = shape.nScfsi[ch][sb] == 0 ? 3 : shape.nScfsi[ch][sb] == 2 ? 1 : 2;
            for (int i = 0; i < nCount; ++i) {
                bits.Put(static_cast<uint32_t>(pIndex[i]), 6);
            }
        }
    }
    for (int nGranule = 0; nGranule < 12; ++nGranule) {
        for (int sb = 0; sb < layout.nSblimit; ++sb) {
            const ft::CSubbandRun& run = RunOf(*layout.pTable, sb);
            for (int ch = 0; ch < WrittenChannels(layout, sb); ++ch) {
                const int nAlloc = Allocation(shape, layout, ch, sb);
                if (nAlloc == 0) {
                    continue;
                }
                const ft::CQuantisation& quant = QuantisationOf(run.nSteps[nAlloc]);
                for (int i = 0; i < (quant.bGrouped ? 1 : 3); ++i) {
                    bits.Put(shape.dwSampleCode[ch][sb], quant.nCodeBits);
                }
            }
        }
    }
}

// The check word over the header's last 16 bits and the protected bits.
uint16_t CheckWord(uint32_t dwHeader, const CBitWriter& bits, std::size_t nFrom, std::size_t nTo) {
    unsigned nRegister = ft::kCrcInitial;
    const auto feed = [&nRegister](unsigned nBit) {
        const unsigned nTop = (nRegister >> 15) & 1;
        nRegister = (nRegister << 1) & 0xFFFF;
        if (nTop != nBit) {
            nRegister ^= ft::kCrcPolynomial;
        }
    };
    for (int nBit = 15; nBit >= 0; --nBit) {
        feed((dwHeader >> nBit) & 1);
    }
    for (std::size_t nBit = nFrom; nBit < nTo; ++nBit) {
        feed(static_cast<unsigned>(bits.Bit(nBit)));
    }
    return static_cast<uint16_t>(nRegister);
}

}  // namespace

uint32_t SilenceCode(const CFrameShape& shape, int sb, int nAlloc) {
    if (shape.nLayer == 1) {
        return (1u << (nAlloc & 15)) - 1;
    }
    const ft::CSubbandRun& run = RunOf(*LayoutOf(shape).pTable, sb);
    const ft::CQuantisation& quant =
        QuantisationOf(run.nSteps[nAlloc & ((1 << run.nAllocationBits) - 1)]);
    const auto nMiddle = static_cast<uint32_t>(quant.nSteps / 2);
    if (quant.bGrouped) {
        const auto nSteps = static_cast<uint32_t>(quant.nSteps);
        return nMiddle + nMiddle * nSteps + nMiddle * nSteps * nSteps;
    }
    return nMiddle;
}

std::vector<uint8_t> BuildFrame(const CFrameShape& shape) {
    const uint32_t dwHeader = HeaderWord(shape);
    CBitWriter bits;
    bits.Put(dwHeader, 32);
    if (shape.bProtected) {
        bits.Put(0, 16);
    }
    const std::size_t nAudioStart = bits.BitCount();
    std::size_t nProtectedEnd = nAudioStart;
    const CLayout layout = LayoutOf(shape);
    if (shape.nLayer == 1) {
        WriteLayer1(shape, layout, bits, nProtectedEnd);
    } else if (shape.nLayer == 2) {
        WriteLayer2(shape, layout, bits, nProtectedEnd);
    }
    std::vector<uint8_t> bytes = bits.Bytes();
    if (shape.bProtected) {
        uint16_t wCrc = CheckWord(dwHeader, bits, nAudioStart, nProtectedEnd);
        if (shape.bWrongCrc) {
            wCrc ^= 0x0001;
        }
        bytes[4] = static_cast<uint8_t>(wCrc >> 8);
        bytes[5] = static_cast<uint8_t>(wCrc);
    }
    const int nFrameBytes = FrameLength(shape);
    if (nFrameBytes > 0) {
        bytes.resize(static_cast<std::size_t>(nFrameBytes), 0);
    }
    return bytes;
}

std::vector<uint8_t> BuildStream(const CFrameShape& shape, int nFrames) {
    const std::vector<uint8_t> frame = BuildFrame(shape);
    std::vector<uint8_t> bytes;
    for (int i = 0; i < nFrames; ++i) {
        Append(bytes, frame);
    }
    return bytes;
}

void Append(std::vector<uint8_t>& bytes, const std::vector<uint8_t>& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
}
