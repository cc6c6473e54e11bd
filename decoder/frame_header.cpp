// The frame search and the header parse.
#include "decoder/frame_header.h"

#include <algorithm>
#include <new>

#include "decoder/bit_stream.h"
#include "decoder/crc16.h"
#include "decoder/layer2_tables.h"

namespace corvina {

namespace {

constexpr uint32_t kSyncMask = 0xFFF00000;

// By version (the ID bit: 1 for MPEG-1, 0 for the low sampling rates of
// MPEG-2), layer and bitrate index. Layer III is here only so that a Layer III
// stream can be told from junk.
constexpr int kBitrates[2][3][16] = {
    {
        {0, 32000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 144000, 160000, 176000,
         192000, 224000, 256000, 0},
        {0, 8000, 16000, 24000, 32000, 40000, 48000, 56000, 64000, 80000, 96000, 112000, 128000,
         144000, 160000, 0},
        {0, 8000, 16000, 24000, 32000, 40000, 48000, 56000, 64000, 80000, 96000, 112000, 128000,
         144000, 160000, 0},
    },
    {
        {0, 32000, 64000, 96000, 128000, 160000, 192000, 224000, 256000, 288000, 320000, 352000,
         384000, 416000, 448000, 0},
        {0, 32000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 160000, 192000, 224000,
         256000, 320000, 384000, 0},
        {0, 32000, 40000, 48000, 56000, 64000, 80000, 96000, 112000, 128000, 160000, 192000, 224000,
         256000, 320000, 0},
    },
};

constexpr int kSampleFrequencies[2][4] = {{22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};

// A free-format frame is at least and at most this long, header included.
constexpr int kMinFreeFormatBytes = 32;
constexpr int kMaxFreeFormatBytes = static_cast<int>(CBitStream::kBufferBytes) + 4;
// The fields that stay the same from one free-format frame to the next: sync,
// version, layer, protection, bitrate index and sampling frequency.
constexpr uint32_t kFreeFormatMask = 0xFFFFFC00;

// Bytes of a frame search between two looks at a stop request.
constexpr uint32_t kStopCheckBytes = 64 * 1024;

bool IsSync(uint32_t dwWord) {
    return (dwWord & kSyncMask) == kSyncMask;
}

// A sync whose layer, bitrate index and sampling frequency are not reserved.
bool IsPlausibleHeader(uint32_t dwWord) {
    return IsSync(dwWord) && ((dwWord >> 17) & 3) != 0 && ((dwWord >> 12) & 15) != 15 &&
           ((dwWord >> 10) & 3) != 3;
}

uint32_t BigEndian(const uint8_t* pBytes) {
    return (static_cast<uint32_t>(pBytes[0]) << 24) | (static_cast<uint32_t>(pBytes[1]) << 16) |
           (static_cast<uint32_t>(pBytes[2]) << 8) | static_cast<uint32_t>(pBytes[3]);
}

int LayerOf(uint32_t dwHeader) {
    return 4 - static_cast<int>((dwHeader >> 17) & 3);
}

int SlotBytesOf(uint32_t dwHeader) {
    return LayerOf(dwHeader) == 1 ? 4 : 1;
}

// Two headers of one stream: the same version, layer and sampling frequency,
// and both single channel or both not.
bool AreAlike(uint32_t dwFirst, uint32_t dwSecond) {
    constexpr uint32_t kStreamFields = 0x000E0C00;
    const bool bFirstSingle = ((dwFirst >> 6) & 3) == 3;
    const bool bSecondSingle = ((dwSecond >> 6) & 3) == 3;
    return (dwFirst & kStreamFields) == (dwSecond & kStreamFields) && bFirstSingle == bSecondSingle;
}

// Headers that confirm each other: alike, and with the same protection,
// private, copyright, original and emphasis fields, which encoders keep
// for a whole stream. Junk before a stream seldom agrees with it in all.
bool AreOfOneStream(uint32_t dwFirst, uint32_t dwSecond) {
    constexpr uint32_t kFixedFields = 0x0001010F;
    return AreAlike(dwFirst, dwSecond) && (dwFirst & kFixedFields) == (dwSecond & kFixedFields);
}

}  // namespace

// In the body, where every field already has its value: the table is
// chosen from them.
CFrameHeader::CFrameHeader() {
    m_pLayer2Table = &Layer2TableOf(*this);
}

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
    const int nLayer = m_nLayer >= 1 && m_nLayer <= 3 ? m_nLayer : 2;
    return kBitrates[m_nIdBit & 1][nLayer - 1][m_nBitrateIndex & 15];
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

// The distance from the free-format header nOffset bytes ahead to the next
// header like it gives the length of every frame of the stream (but for
// padding): the payload bytes of an unpadded frame, 0 when no such header
// follows within the longest frame.
int CFrameHeader::FindFreeFormatBytes(CBitStream& stream, std::size_t nOffset,
                                      uint32_t dwHeader) const {
    uint8_t bAhead[kMaxFreeFormatBytes + 4];
    const std::size_t nAhead = stream.PeekAt(nOffset + 4, bAhead, sizeof bAhead);
    return FreeFormatBytesIn(std::span<const uint8_t>(bAhead, nAhead), dwHeader);
}

int CFrameHeader::FreeFormatBytesIn(std::span<const uint8_t> ahead, uint32_t dwHeader) {
    const int nAhead =
        static_cast<int>(std::min<std::size_t>(ahead.size(), kMaxFreeFormatBytes + 4));
    const uint8_t* bAhead = ahead.data();
    const int nSlotBytes = SlotBytesOf(dwHeader);
    const int nPadding = ((dwHeader >> 9) & 1) != 0 ? nSlotBytes : 0;
    // k bytes after this header stands the next: the frame is k + 4 long,
    // and even without its padding slot no shorter than the shortest frame
    // of a listed bitrate.
    for (int k = kMinFreeFormatBytes - 4 + nPadding; k + 4 <= nAhead; ++k) {
        if ((k + 4) % nSlotBytes != 0 || bAhead[k] != 0xFF) {
            continue;
        }
        if ((BigEndian(bAhead + k) & kFreeFormatMask) == (dwHeader & kFreeFormatMask)) {
            return k - nPadding;
        }
    }
    return 0;
}

bool CFrameHeader::IsPlausibleWord(uint32_t dwWord) {
    return IsPlausibleHeader(dwWord);
}

void CFrameHeader::DropReadAhead() {
    m_bSynced = false;
}

// Whole bytes of the frame whose header is dwHeader, header included: 0 for
// a reserved field or a free-format length not found. Layer III frames are
// measured too, to tell a Layer III stream from junk.
int CFrameHeader::FrameLengthAt(CBitStream& stream, std::size_t nOffset, uint32_t dwHeader) {
    CFrameHeader header;
    header.ParseWord(dwHeader);
    if (header.m_nLayer == 4 || header.m_nBitrateIndex == 15 || header.SampleFrequency() == 0) {
        return 0;
    }
    if (header.m_nBitrateIndex == 0) {
        if (header.m_nLayer == 3) {
            return 0;
        }
        if ((dwHeader & kFreeFormatMask) == m_dwFreeFormatHeader && m_nFreeFormatBytes > 0) {
            header.m_nFreeFormatBytes = m_nFreeFormatBytes;
        } else {
            header.m_nFreeFormatBytes = FindFreeFormatBytes(stream, nOffset, dwHeader);
            if (header.m_nFreeFormatBytes <= 0) {
                return 0;
            }
        }
    }
    return header.FrameBytes() + 4;
}

// A header at a place where the stream gave no sync is taken only when the
// header after its frame agrees with it (or the stream ends after a whole
// frame of it): a false sync in junk or in a frame's data cannot then start,
// end or change the stream.
bool CFrameHeader::IsConfirmed(CBitStream& stream, uint32_t dwHeader, int nLength) {
    uint8_t bNext[4];
    const std::size_t nGot = stream.PeekAt(static_cast<std::size_t>(nLength), bNext, sizeof bNext);
    if (nGot == 0) {
        return true;
    }
    const uint32_t dwNext = BigEndian(bNext);
    return nGot == sizeof bNext && IsPlausibleHeader(dwNext) && AreOfOneStream(dwHeader, dwNext) &&
           FrameLengthAt(stream, static_cast<std::size_t>(nLength), dwNext) > 0;
}

bool CFrameHeader::IsFollowed(CBitStream& stream, int nLength) {
    uint8_t bNext[4];
    const std::size_t nGot = stream.PeekAt(static_cast<std::size_t>(nLength), bNext, sizeof bNext);
    return nGot == 0 || (nGot == sizeof bNext && IsPlausibleHeader(BigEndian(bNext)));
}

// Moves the stream to the next confirmed header; false at the end of the
// stream, at a confirmed Layer III stream, or once a stop is requested.
bool CFrameHeader::FindConfirmedFrame(CBitStream& stream) {
    std::size_t nWork = 0;
    for (;;) {
        if (nWork >= kStopCheckBytes) {
            nWork = 0;
            if (IsStopRequested(m_fnStop)) {
                return false;
            }
        }
        nWork += stream.SkipUntil(0xFF, kStopCheckBytes) + 1;
        uint8_t bHead[4];
        const std::size_t nGot = stream.Peek(bHead, sizeof bHead);
        if (nGot < sizeof bHead) {
            return false;
        }
        const uint32_t dwHeader = BigEndian(bHead);
        if (IsPlausibleHeader(dwHeader)) {
            const int nLength = FrameLengthAt(stream, 0, dwHeader);
            nWork += 64;
            if (nLength > 0 && IsConfirmed(stream, dwHeader, nLength)) {
                if (LayerOf(dwHeader) == 3) {
                    m_dwLayer3Word = dwHeader;
                    return false;
                }
                return true;
            }
        }
        if (!stream.Skip(1)) {
            return false;
        }
    }
}

int CFrameHeader::FindNextFrame(CBitStream& stream, uint32_t& dwHeader) {
    for (;;) {
        if (!m_bSynced && !FindConfirmedFrame(stream)) {
            return 0;
        }
        uint8_t bHead[4];
        if (stream.Peek(bHead, sizeof bHead) < sizeof bHead) {
            return 0;
        }
        dwHeader = BigEndian(bHead);
        const int nLength = IsPlausibleHeader(dwHeader) && LayerOf(dwHeader) != 3
                                ? FrameLengthAt(stream, 0, dwHeader)
                                : 0;
        // Where the last frame ended, a header that goes on with the stream
        // is taken as it stands, and one that changes it (a new layer, mode
        // or rate) when a header follows it; anything else is a loss of sync.
        if (nLength <= 0 ||
            (m_bSynced && !AreAlike(m_dwHeader, dwHeader) && !IsFollowed(stream, nLength))) {
            m_bSynced = false;
            continue;
        }
        m_dwHeader = dwHeader;
        if ((dwHeader & 0xF000) == 0 && (dwHeader & kFreeFormatMask) != m_dwFreeFormatHeader) {
            m_dwFreeFormatHeader = dwHeader & kFreeFormatMask;
            m_nFreeFormatBytes = FindFreeFormatBytes(stream, 0, dwHeader);
        }
        return nLength;
    }
}

int CFrameHeader::PassFrame(CBitStream& stream, uint32_t& dwHeader) {
    const int nLength = FindNextFrame(stream, dwHeader);
    if (nLength <= 0 || !stream.Skip(static_cast<std::size_t>(nLength))) {
        return 0;
    }
    m_bSynced = true;
    return nLength;
}

int CFrameHeader::ReadFrame(CBitStream& stream, CCrc16** ppCrc) {
    uint32_t dwHeader = 0;
    const int nLength = FindNextFrame(stream, dwHeader);
    if (nLength <= 0) {
        return 0;
    }
    ParseWord(dwHeader);
    if (m_nBitrateIndex == 0) {
        // The table follows the bitrate, known only now.
        SelectTable();
    }
    if (!stream.Skip(4) || stream.LoadFrame(static_cast<uint32_t>(nLength - 4)) == 0) {
        return 0;
    }
    m_bSynced = true;
    return StartFrame(stream.Reader(), ppCrc, dwHeader);
}

int CFrameHeader::StartFrame(uint32_t dwHeader, CBitReader& reader, CCrc16** ppCrc) {
    m_dwHeader = dwHeader;
    return StartFrame(reader, ppCrc, dwHeader);
}

int CFrameHeader::StartFrame(CBitReader& reader, CCrc16** ppCrc, uint32_t dwFrameWord) {
    if (m_pCrc != nullptr) {
        m_pCrc->Reset();
    }
    if (m_nProtectionBit != 0) {
        *ppCrc = nullptr;
    } else {
        m_wCrcWord = static_cast<uint16_t>(reader.GetBits(16));
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
    m_dwFrameWord.store(dwFrameWord, std::memory_order_release);
    return 1;
}

}  // namespace corvina
