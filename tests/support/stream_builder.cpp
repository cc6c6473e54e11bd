// The test stream builder.
#include "tests/support/stream_builder.h"

#include <algorithm>

#include "decoder/crc16.h"
#include "decoder/frame_header.h"
#include "decoder/layer2_tables.h"

using namespace corvina;

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

struct CLayout {
    int nSblimit;
    int nBound;  // subbands below it carry two channels apart
    int nCoded;  // channels coded below the bound: 1 or 2
};

CLayout LayoutOf(const CFrameHeader& header) {
    const bool bSingle = header.Mode() == 3;
    const int nBound = bSingle ? 0 : header.Mode() == 1 ? header.Bound() : header.Sblimit();
    return {header.Sblimit(), nBound, bSingle ? 1 : 2};
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

int Allocation(const CFrameShape& shape, const CLayout& layout, int ch, int sb) {
    return sb < layout.nBound ? shape.nAllocation[ch][sb] : shape.nAllocation[0][sb];
}

void WriteLayer1(const CFrameShape& shape, const CLayout& layout, CBitWriter& bits,
                 std::size_t& nProtectedEnd) {
    for (int sb = 0; sb < 32; ++sb) {
        for (int ch = 0; ch < WrittenChannels(layout, sb); ++ch) {
            bits.Put(static_cast<uint32_t>(shape.nAllocation[ch][sb]), 4);
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
                const int nAlloc = shape.nAllocation[ch][sb];
                if (nAlloc != 0) {
                    bits.Put(shape.dwSampleCode[ch][sb], nAlloc + 1);
                }
            }
        }
    }
}

void WriteLayer2(const CFrameShape& shape, const CFrameHeader& header, const CLayout& layout,
                 CBitWriter& bits, std::size_t& nProtectedEnd) {
    const CLayer2Table& table = header.Layer2Table();
    for (int sb = 0; sb < layout.nSblimit; ++sb) {
        for (int ch = 0; ch < WrittenChannels(layout, sb); ++ch) {
            bits.Put(static_cast<uint32_t>(shape.nAllocation[ch][sb]), table.nAllocationBits[sb]);
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
            for (int ch = 0; ch < WrittenChannels(layout, sb); ++ch) {
                const int nAlloc = shape.nAllocation[ch][sb];
                if (nAlloc == 0) {
                    continue;
                }
                const CQuantClass& quant = table.pRows[sb][nAlloc];
                const int nCodes = quant.pGroups != nullptr ? 1 : 3;
                for (int i = 0; i < nCodes; ++i) {
                    bits.Put(shape.dwSampleCode[ch][sb], quant.nCodeWidth);
                }
            }
        }
    }
}

}  // namespace

std::vector<uint8_t> BuildFrame(const CFrameShape& shape) {
    const uint32_t dwHeader = HeaderWord(shape);
    CFrameHeader header;
    header.ParseWord(dwHeader);
    CBitWriter bits;
    bits.Put(dwHeader, 32);
    if (shape.bProtected) {
        bits.Put(0, 16);
    }
    const std::size_t nAudioStart = bits.BitCount();
    std::size_t nProtectedEnd = nAudioStart;
    const CLayout layout = LayoutOf(header);
    if (shape.nLayer == 1) {
        WriteLayer1(shape, layout, bits, nProtectedEnd);
    } else if (shape.nLayer == 2) {
        WriteLayer2(shape, header, layout, bits, nProtectedEnd);
    }
    std::vector<uint8_t> bytes = bits.Bytes();
    if (shape.bProtected) {
        CCrc16 crc;
        crc.Update(dwHeader & 0xFFFF, 16);
        for (std::size_t nBit = nAudioStart; nBit < nProtectedEnd; ++nBit) {
            crc.Update(static_cast<uint32_t>(bits.Bit(nBit)), 1);
        }
        uint16_t wCrc = crc.Value();
        if (shape.bWrongCrc) {
            wCrc ^= 0x0001;
        }
        bytes[4] = static_cast<uint8_t>(wCrc >> 8);
        bytes[5] = static_cast<uint8_t>(wCrc);
    }
    const int nFrameBytes = header.FrameBytes() + 4;
    if (nFrameBytes > 4 && (shape.nLayer == 1 || shape.nLayer == 2)) {
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
