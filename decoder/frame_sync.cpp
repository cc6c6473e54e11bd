// The frame search.
#include "decoder/frame_sync.h"

#include <algorithm>

#include "decoder/bit_stream.h"
#include "decoder/byte_order.h"

namespace corvina {

namespace {

// A free-format frame is at least and at most this long, header included.
constexpr int kMinFreeFormatBytes = 32;
constexpr int kMaxFreeFormatBytes = static_cast<int>(CBitReader::kMaxBytes) + 4;
// The fields that stay the same from one free-format frame to the next: sync,
// version, layer, protection, bitrate index and sampling frequency.
constexpr uint32_t kFreeFormatMask = 0xFFFFFC00;

// Bytes of a frame search between two looks at a stop request.
constexpr uint32_t kStopCheckBytes = 64 * 1024;

int LayerOf(uint32_t dwHeader) {
    return 4 - static_cast<int>((dwHeader >> 17) & 3);
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

CCrc16* StartCheck(CFrameHeader& header, CBitReader& reader, CCrc16& crc) {
    crc.Reset();
    if (header.ProtectionBit() != 0) {
        return nullptr;
    }
    header.SetCrcWord(static_cast<uint16_t>(reader.GetBits(16)));
    // The check covers the header from the bitrate index on.
    crc.Update(header.Word() & 0xFFFF, 16);
    return &crc;
}

void CFrameSync::SetCaller(StopRequest fnStop, WarningReporter fnReport) {
    m_fnStop = std::move(fnStop);
    m_Warnings.SetReporter(std::move(fnReport));
}

// The distance from the free-format header nOffset bytes ahead to the next
// header like it gives the length of every frame of the stream (but for
// padding): the payload bytes of an unpadded frame, 0 when no such header
// follows within the longest frame.
int CFrameSync::FindFreeFormatBytes(CBitStream& stream, std::size_t nOffset, uint32_t dwHeader) {
    uint8_t bAhead[kMaxFreeFormatBytes + 4];
    const std::size_t nAhead = stream.PeekAt(nOffset + 4, bAhead, sizeof bAhead);
    return FreeFormatBytesIn(std::span<const uint8_t>(bAhead, nAhead), dwHeader);
}

int CFrameSync::FreeFormatBytesIn(std::span<const uint8_t> ahead, uint32_t dwHeader) {
    const int nAhead =
        static_cast<int>(std::min<std::size_t>(ahead.size(), kMaxFreeFormatBytes + 4));
    const uint8_t* bAhead = ahead.data();
    const int nSlotBytes = LayerOf(dwHeader) == 1 ? 4 : 1;
    const int nPadding = ((dwHeader >> 9) & 1) != 0 ? nSlotBytes : 0;
    // k bytes after this header stands the next: the frame is k + 4 long,
    // and even without its padding slot no shorter than the shortest frame
    // of a listed bitrate.
    for (int k = kMinFreeFormatBytes - 4 + nPadding; k + 4 <= nAhead; ++k) {
        if ((k + 4) % nSlotBytes != 0 || bAhead[k] != 0xFF) {
            continue;
        }
        if ((ReadBigEndian32(bAhead + k) & kFreeFormatMask) == (dwHeader & kFreeFormatMask)) {
            return k - nPadding;
        }
    }
    return 0;
}

// Whole bytes of the frame whose header is dwHeader, header included: 0 for
// a reserved field or a free-format length not found. Layer III frames are
// measured too, to tell a Layer III stream from junk.
int CFrameSync::FrameLengthAt(CBitStream& stream, std::size_t nOffset, uint32_t dwHeader) {
    const CFrameHeader header(dwHeader);
    if (header.Layer() == 4 || header.BitrateIndex() == 15 || header.SampleFrequency() == 0) {
        return 0;
    }
    if (header.BitrateIndex() != 0) {
        return header.FrameBytes() + 4;
    }
    if (header.Layer() == 3) {
        return 0;
    }
    int nFreeFormatBytes = m_nFreeFormatBytes;
    if ((dwHeader & kFreeFormatMask) != m_dwFreeFormatHeader || m_nFreeFormatBytes <= 0) {
        nFreeFormatBytes = FindFreeFormatBytes(stream, nOffset, dwHeader);
        if (nFreeFormatBytes <= 0) {
            return 0;
        }
    }
    return CFrameHeader(dwHeader, nFreeFormatBytes).FrameBytes() + 4;
}

// A header at a place where the stream gave no sync is taken only when the
// header after its frame agrees with it (or the stream ends after a whole
// frame of it): a false sync in junk or in a frame's data cannot then start,
// end or change the stream.
bool CFrameSync::IsConfirmed(CBitStream& stream, uint32_t dwHeader, int nLength) {
    uint8_t bNext[4];
    const std::size_t nGot = stream.PeekAt(static_cast<std::size_t>(nLength), bNext, sizeof bNext);
    if (nGot == 0) {
        return true;
    }
    const uint32_t dwNext = ReadBigEndian32(bNext);
    return nGot == sizeof bNext && CFrameHeader::IsPlausibleWord(dwNext) &&
           AreOfOneStream(dwHeader, dwNext) &&
           FrameLengthAt(stream, static_cast<std::size_t>(nLength), dwNext) > 0;
}

bool CFrameSync::IsFollowed(CBitStream& stream, int nLength) {
    uint8_t bNext[4];
    const std::size_t nGot = stream.PeekAt(static_cast<std::size_t>(nLength), bNext, sizeof bNext);
    return nGot == 0 ||
           (nGot == sizeof bNext && CFrameHeader::IsPlausibleWord(ReadBigEndian32(bNext)));
}

// Moves the stream to the next confirmed header; false at the end of the
// stream, at a confirmed Layer III stream, or once a stop is requested.
bool CFrameSync::FindConfirmedFrame(CBitStream& stream) {
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
        const uint32_t dwHeader = ReadBigEndian32(bHead);
        if (CFrameHeader::IsPlausibleWord(dwHeader)) {
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

int CFrameSync::FindNextFrame(CBitStream& stream, uint32_t& dwHeader) {
    for (;;) {
        if (!m_bSynced && !FindConfirmedFrame(stream)) {
            return 0;
        }
        uint8_t bHead[4];
        if (stream.Peek(bHead, sizeof bHead) < sizeof bHead) {
            return 0;
        }
        dwHeader = ReadBigEndian32(bHead);
        const int nLength = CFrameHeader::IsPlausibleWord(dwHeader) && LayerOf(dwHeader) != 3
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

int CFrameSync::PassFrame(CBitStream& stream, uint32_t& dwHeader) {
    const int nLength = FindNextFrame(stream, dwHeader);
    if (nLength <= 0 || !stream.Skip(static_cast<std::size_t>(nLength))) {
        return 0;
    }
    m_bSynced = true;
    return nLength;
}

int CFrameSync::ReadFrame(CBitStream& stream, CFrameHeader& header, CCrc16** ppCrc) {
    uint32_t dwHeader = 0;
    const int nLength = FindNextFrame(stream, dwHeader);
    if (nLength <= 0) {
        return 0;
    }
    header = CFrameHeader(dwHeader, m_nFreeFormatBytes);
    header.AttachWarnings(&m_Warnings);
    if (!stream.Skip(4) || stream.LoadFrame(static_cast<uint32_t>(nLength - 4)) == 0) {
        return 0;
    }
    m_bSynced = true;
    *ppCrc = StartCheck(header, stream.Reader(), m_Crc);
    m_dwFrameWord.store(dwHeader, std::memory_order_release);
    return 1;
}

}  // namespace corvina
