// The frame search and the header parse.
#include "decoder/frame_header.h"

#include <new>

#include "decoder/bit_stream.h"
#include "decoder/crc16.h"
#include "decoder/layer2_tables.h"

namespace {

constexpr uint32_t kSyncMask = 0xFFF00000;

// By version (the ID bit: 1 for MPEG-1, 0 for the low sampling rates of
// MPEG-2), layer and bitrate index.
constexpr int kBitrates[2][2][16] = {
    {
        {0, 32000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 144000, 160000, 176000,
         192000, 224000, 256000, 0},
        {0, 8000, 16000, 24000, 32000, 40000, 48000, 56000, 64000, 80000, 96000, 112000, 128000,
         144000, 160000, 0},
    },
    {
        {0, 32000, 64000, 96000, 128000, 160000, 192000, 224000, 256000, 288000, 320000, 352000,
         384000, 416000, 448000, 0},
        {0, 32000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 160000, 192000, 224000,
         256000, 320000, 384000, 0},
    },
};

constexpr int kSampleFrequencies[2][4] = {{22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};

// A free-format frame is at most this long, header included.
constexpr int kMaxFreeFormatBytes = static_cast<int>(CBitStream::kBufferBytes) + 4;
// The fields that stay the same from one free-format frame to the next: sync,
// version, layer, protection, bitrate index and sampling frequency.
constexpr uint32_t kFreeFormatMask = 0xFFFFFC00;

// Bytes of a frame search between two looks at a stop request.
constexpr uint32_t kStopCheckBytes = 64 * 1024;

bool IsSync(uint32_t dwWord) {
    return (dwWord & kSyncMask) == kSyncMask;
}

}  // namespace

CFrameHeader::CFrameHeader() : m_pLayer2Table(&Layer2TableOf(*this)) {}

CFrameHeader::~CFrameHeader() {
    delete m_pCrc;
}

void CFrameHeader::SetCaller(StopRequest fnStop, WarningReporter fnReport) {
    m_fnStop = std::move(fnStop);
    m_Warnings.SetReporter(std::move(fnReport));
}

void CFrameHeader::ParseWord(uint32_t dwHeader) {
    m_nIdBit = static_cast<int>((dwHeader >> 19) & 1);
    m_nLayer = 4 - static_cast<int>((dwHeader >> 17) & 3);
    m_nProtectionBit = static_cast<int>((dwHeader >> 16) & 1);
    m_nBitrateIndex = static_cast<int>((dwHeader >> 12) & 15);
    m_nSampleFrequencyIndex = static_cast<int>((dwHeader >> 10) & 3);
    m_nPaddingBit = static_cast<int>((dwHeader >> 9) & 1);
    m_nMode = static_cast<int>((dwHeader >> 6) & 3);
    m_nModeExtension = static_cast<int>((dwHeader >> 4) & 3);
    m_nCopyright = static_cast<int>((dwHeader >> 3) & 1);
    m_nOriginal = static_cast<int>((dwHeader >> 2) & 1);
    SelectTable();
}

void CFrameHeader::SelectTable() {
    m_nBound = m_nMode == MODE_JOINT_STEREO ? 4 * (m_nModeExtension + 1) : 0;
    m_pLayer2Table = &Layer2TableOf(*this);
    m_nSblimit = ComputeSblimit();
    if (m_nBound > m_nSblimit) {
        m_nBound = m_nSblimit;
    }
}

// Reserved values are skipped by the search; Layer III ends the stream.
// Layer II bitrate and mode pairs that the standard leaves out are decoded
// with the table of their bitrate per channel, as encoders write them.
CFrameHeader::EVerdict CFrameHeader::Judge() const {
    if (m_nLayer == 4) {
        return kSkip;
    }
    if (m_nLayer == 3) {
        return kEndOfStream;
    }
    if (m_nBitrateIndex == 15 || m_nSampleFrequencyIndex == 3) {
        return kSkip;
    }
    return kDecodable;
}

int CFrameHeader::ComputeSblimit() const {
    return m_nLayer == 1 ? 32 : m_pLayer2Table->nSblimit;
}

int CFrameHeader::SampleFrequency() const {
    return kSampleFrequencies[m_nIdBit & 1][m_nSampleFrequencyIndex & 3];
}

int CFrameHeader::Bitrate() const {
    if (m_nBitrateIndex == 0) {
        // Free format: the bitrate that the frame length found gives.
        const int nFrequency = SampleFrequency();
        if (m_nFreeFormatBytes <= 0 || nFrequency == 0) {
            return 0;
        }
        return static_cast<int>(static_cast<int64_t>(m_nFreeFormatBytes + 4) * 8 * nFrequency /
                                SamplesPerFrame());
    }
    return kBitrates[m_nIdBit & 1][m_nLayer == 1 ? 0 : 1][m_nBitrateIndex & 15];
}

int CFrameHeader::FrameBytes() const {
    const int nFrequency = SampleFrequency();
    if (nFrequency == 0) {
        return 0;
    }
    const int nPadding = m_nPaddingBit != 0 ? SlotBytes() : 0;
    if (m_nBitrateIndex == 0) {
        return m_nFreeFormatBytes > 0 ? m_nFreeFormatBytes + nPadding : 0;
    }
    // Bytes per frame are the bitrate times the frame's duration, in whole
    // slots of 4 bytes (Layer I) or 1 byte (Layer II).
    const int nSlotBytes = SlotBytes();
    const int nSlots = static_cast<int>(static_cast<int64_t>(Bitrate()) * SamplesPerFrame() / 8 /
                                        nSlotBytes / nFrequency);
    return nSlots * nSlotBytes + nPadding - 4;
}

// The distance from this free-format header to the next one like it gives
// the length of every frame of the stream (but for padding); 0 when no such
// header follows within the longest frame.
int CFrameHeader::FindFreeFormatBytes(CBitStream& stream) const {
    uint8_t bAhead[kMaxFreeFormatBytes + 4];
    const int nAhead = static_cast<int>(stream.Peek(bAhead, sizeof bAhead));
    const int nSlotBytes = SlotBytes();
    const int nPadding = m_nPaddingBit != 0 ? nSlotBytes : 0;
    // k bytes after this header stands the next: the frame is k + 4 long.
    for (int k = nSlotBytes; k + 4 <= nAhead; ++k) {
        if ((k + 4) % nSlotBytes != 0 || bAhead[k] != 0xFF) {
            continue;
        }
        const uint32_t dwNext = (static_cast<uint32_t>(bAhead[k]) << 24) |
                                (static_cast<uint32_t>(bAhead[k + 1]) << 16) |
                                (static_cast<uint32_t>(bAhead[k + 2]) << 8) | bAhead[k + 3];
        if ((dwNext & kFreeFormatMask) == (m_dwHeader & kFreeFormatMask)) {
            return k - nPadding;
        }
    }
    return 0;
}

void CFrameHeader::DropReadAhead() {
    m_bSearchFirst = 1;
}

// Looks for the next byte pair 0xFF, >= 0xF0 and takes the four bytes that
// start there as the header word. A search through gigabytes without a sync
// gives up when a stop is requested, so that a stop or quit never waits for
// it; the stream then ends there.
int CFrameHeader::Scan(CBitStream& stream) {
    uint32_t nSinceCheck = 0;
    for (;;) {
        int nByte = stream.ReadByte();
        while (nByte != 0xFF) {
            if (nByte < 0) {
                return 0;
            }
            if (++nSinceCheck == kStopCheckBytes) {
                nSinceCheck = 0;
                if (IsStopRequested(m_fnStop)) {
                    return 0;
                }
            }
            nByte = stream.ReadByte();
        }
        const int nSecond = stream.ReadByte();
        if (nSecond < 0) {
            return 0;
        }
        if (nSecond < 0xF0) {
            continue;
        }
        const int nThird = stream.ReadByte();
        if (nThird < 0) {
            return 0;
        }
        const int nFourth = stream.ReadByte();
        if (nFourth < 0) {
            return 0;
        }
        m_dwHeader = 0xFF000000u | (static_cast<uint32_t>(nSecond) << 16) |
                     (static_cast<uint32_t>(nThird) << 8) | static_cast<uint32_t>(nFourth);
        if (m_pCrc != nullptr) {
            m_pCrc->Reset();
        }
        return 1;
    }
}

int CFrameHeader::ReadFrame(CBitStream& stream, CCrc16** ppCrc) {
    bool bScan = false;
    if (m_bSearchFirst != 0) {
        m_bSearchFirst = 0;
        bScan = true;
    } else if (m_bReadAhead == 0) {
        if (stream.ReadWord(m_dwHeader) == 0) {
            return 0;
        }
    }
    for (;; bScan = true) {
        if (bScan || !IsSync(m_dwHeader)) {
            if (Scan(stream) == 0) {
                return 0;
            }
        }
        ParseWord(m_dwHeader);
        const EVerdict eVerdict = Judge();
        if (eVerdict == kEndOfStream) {
            return 0;
        }
        if (eVerdict == kSkip) {
            continue;
        }
        if (m_nBitrateIndex == 0 &&
            (m_nFreeFormatBytes <= 0 || m_dwFreeFormatHeader != (m_dwHeader & kFreeFormatMask))) {
            m_nFreeFormatBytes = FindFreeFormatBytes(stream);
            m_dwFreeFormatHeader = m_dwHeader & kFreeFormatMask;
            if (m_nFreeFormatBytes <= 0) {
                continue;
            }
        }
        if (m_nBitrateIndex == 0) {
            // The table follows the bitrate, known only now.
            SelectTable();
        }
        if (stream.LoadFrame(static_cast<uint32_t>(FrameBytes())) == 0) {
            return 0;
        }
        if (m_nProtectionBit != 0) {
            *ppCrc = nullptr;
        } else {
            m_wCrcWord = static_cast<uint16_t>(stream.GetBits(16));
            if (m_pCrc == nullptr) {
                m_pCrc = new (std::nothrow) CCrc16;
                if (m_pCrc == nullptr) {
                    return 0;
                }
            }
            // The check covers the header from the bitrate index on.
            m_pCrc->Reset();
            m_pCrc->Update(m_dwHeader & 0xFFFF, 16);
            *ppCrc = m_pCrc;
        }
        const uint32_t dwFrame = m_dwHeader;
        uint32_t dwNext = 0;
        if (stream.ReadWord(dwNext) == 0) {
            m_dwFrameWord.store(dwFrame, std::memory_order_release);
            return 1;
        }
        m_dwHeader = dwNext;
        if (IsSync(dwNext)) {
            m_bReadAhead = 1;
            m_dwFrameWord.store(dwFrame, std::memory_order_release);
            return 1;
        }
        // Not followed by a frame: this one was a false sync or is damaged.
    }
}
