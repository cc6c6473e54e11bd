// The frame search.
#include "decoder/frame_sync.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "decoder/bit_stream.h"
#include "decoder/byte_order.h"

namespace corvina {

namespace {

// A free-format frame is at least and at most this long, header included,
// its padding slot not.
constexpr int kMinFreeFormatBytes = 32;
constexpr int kMaxFreeFormatBytes = 4096 + 4;
// Every frame of such a stream fits the payload buffer, padded or not.
static_assert(kMaxFreeFormatBytes - 4 + 4 <= static_cast<int>(CBitReader::kMaxBytes));
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

constexpr int kWait = CFrameSync::kWait;

// The caller's bytes, read as the search reads a stream: from a place on,
// each look ahead as far as they go. More may come after them.
class CSpanBytes {
  public:
    explicit CSpanBytes(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    std::size_t PeekAt(std::size_t nOffset, uint8_t* pTarget, std::size_t nBytes) const {
        if (nOffset >= Left()) {
            return 0;
        }
        const std::size_t nCount = std::min(nBytes, Left() - nOffset);
        std::memcpy(pTarget, m_bytes.data() + m_nPosition + nOffset, nCount);
        return nCount;
    }
    std::size_t Peek(uint8_t* pTarget, std::size_t nBytes) const {
        return PeekAt(0, pTarget, nBytes);
    }
    std::size_t SkipUntil(uint8_t bValue, std::size_t nLimit) {
        const std::size_t nSpan = std::min(nLimit, Left());
        if (nSpan == 0) {
            return 0;
        }
        const uint8_t* pStart = m_bytes.data() + m_nPosition;
        const auto* pFound = static_cast<const uint8_t*>(std::memchr(pStart, bValue, nSpan));
        const std::size_t nStep =
            pFound != nullptr ? static_cast<std::size_t>(pFound - pStart) : nSpan;
        m_nPosition += nStep;
        return nStep;
    }
    bool Skip(std::size_t nBytes) {
        const bool bThere = nBytes <= Left();
        m_nPosition += std::min(nBytes, Left());
        return bThere;
    }
    std::size_t Position() const { return m_nPosition; }
    std::size_t Left() const { return m_bytes.size() - m_nPosition; }

  private:
    std::span<const uint8_t> m_bytes;
    std::size_t m_nPosition = 0;
};

// Where the bytes searched end: a stream's end, or, of the caller's bytes,
// a wait for more.
template <class TBytes>
constexpr int kEndOf = std::is_same_v<TBytes, CSpanBytes> ? kWait : 0;

// What a look nAt bytes ahead for a header word tells where it got only
// nGot bytes of it: 1 where a frame may end the bytes there, else 0, or kWait.
// A stream ends where it gives none; the caller's bytes may go on, so only
// their very end is taken as one.
int ShortLook(const CBitStream&, std::size_t, std::size_t nGot) {
    return nGot == 0 ? 1 : 0;
}
int ShortLook(const CSpanBytes& bytes, std::size_t nAt, std::size_t nGot) {
    return nGot == 0 && nAt == bytes.Left() ? 1 : kWait;
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
template <class TBytes>
int CFrameSync::FindFreeFormatBytes(TBytes& stream, std::size_t nOffset, uint32_t dwHeader) {
    uint8_t bAhead[kMaxFreeFormatBytes + 4];
    const std::size_t nAhead = stream.PeekAt(nOffset + 4, bAhead, sizeof bAhead);
    const int nBytes = FreeFormatBytesIn(std::span<const uint8_t>(bAhead, nAhead), dwHeader);
    // Bytes that end within the look ahead may hold the next header later.
    return nBytes == 0 && nAhead < sizeof bAhead ? kEndOf<TBytes> : nBytes;
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
    const int nLongest = kMaxFreeFormatBytes - 4 + nPadding;
    for (int k = kMinFreeFormatBytes - 4 + nPadding; k + 4 <= nAhead && k <= nLongest; ++k) {
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
template <class TBytes>
int CFrameSync::FrameLengthAt(TBytes& stream, std::size_t nOffset, uint32_t dwHeader) {
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
            return nFreeFormatBytes;  // 0 or kWait
        }
    }
    return CFrameHeader(dwHeader, nFreeFormatBytes).FrameBytes() + 4;
}

// A header at a place where the stream gave no sync is taken only when the
// header after its frame agrees with it (or the stream ends after a whole
// frame of it): a false sync in junk or in a frame's data cannot then start,
// end or change the stream.
template <class TBytes>
int CFrameSync::IsConfirmed(TBytes& stream, uint32_t dwHeader, int nLength) {
    uint8_t bNext[4];
    const auto nAt = static_cast<std::size_t>(nLength);
    const std::size_t nGot = stream.PeekAt(nAt, bNext, sizeof bNext);
    if (nGot < sizeof bNext) {
        return ShortLook(stream, nAt, nGot);
    }
    const uint32_t dwNext = ReadBigEndian32(bNext);
    if (!CFrameHeader::IsPlausibleWord(dwNext) || !AreOfOneStream(dwHeader, dwNext)) {
        return 0;
    }
    const int nNext = FrameLengthAt(stream, nAt, dwNext);
    return nNext > 0 ? 1 : nNext;
}

template <class TBytes>
int CFrameSync::IsFollowed(TBytes& stream, int nLength) {
    uint8_t bNext[4];
    const auto nAt = static_cast<std::size_t>(nLength);
    const std::size_t nGot = stream.PeekAt(nAt, bNext, sizeof bNext);
    if (nGot < sizeof bNext) {
        return ShortLook(stream, nAt, nGot);
    }
    return CFrameHeader::IsPlausibleWord(ReadBigEndian32(bNext)) ? 1 : 0;
}

// Moves the stream to the next confirmed header: 1 there; 0 at the end of
// the stream, at a confirmed Layer III stream, or once a stop is requested.
template <class TBytes>
int CFrameSync::FindConfirmedFrame(TBytes& stream) {
    std::size_t nWork = 0;
    for (;;) {
        if (nWork >= kStopCheckBytes) {
            nWork = 0;
            if (IsStopRequested(m_fnStop)) {
                return 0;
            }
        }
        nWork += stream.SkipUntil(0xFF, kStopCheckBytes) + 1;
        uint8_t bHead[4];
        const std::size_t nGot = stream.Peek(bHead, sizeof bHead);
        if (nGot < sizeof bHead) {
            return kEndOf<TBytes>;
        }
        const uint32_t dwHeader = ReadBigEndian32(bHead);
        if (CFrameHeader::IsPlausibleWord(dwHeader)) {
            const int nLength = FrameLengthAt(stream, 0, dwHeader);
            nWork += 64;
            const int nConfirmed = nLength > 0 ? IsConfirmed(stream, dwHeader, nLength) : nLength;
            if (nConfirmed == kWait) {
                return kWait;
            }
            if (nConfirmed > 0) {
                if (LayerOf(dwHeader) == 3) {
                    m_dwLayer3Word = dwHeader;
                    return 0;
                }
                return 1;
            }
        }
        if (!stream.Skip(1)) {
            return 0;
        }
    }
}

template <class TBytes>
int CFrameSync::FindNextFrame(TBytes& stream, uint32_t& dwHeader) {
    for (;;) {
        if (!m_bSynced) {
            const int nFound = FindConfirmedFrame(stream);
            if (nFound <= 0) {
                return nFound;
            }
        }
        uint8_t bHead[4];
        if (stream.Peek(bHead, sizeof bHead) < sizeof bHead) {
            return kEndOf<TBytes>;
        }
        dwHeader = ReadBigEndian32(bHead);
        const int nLength = CFrameHeader::IsPlausibleWord(dwHeader) && LayerOf(dwHeader) != 3
                                ? FrameLengthAt(stream, 0, dwHeader)
                                : 0;
        // Where the last frame ended, a header that goes on with the stream
        // is taken as it stands, and one that changes it (a new layer, mode
        // or rate) when a header follows it; anything else is a loss of sync.
        const int nTaken = nLength > 0 && m_bSynced && !AreAlike(m_dwHeader, dwHeader)
                               ? IsFollowed(stream, nLength)
                               : nLength;
        if (kEndOf<TBytes> == kWait && nTaken == kWait) {
            return kWait;
        }
        if (nTaken <= 0) {
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

int CFrameSync::FindFrame(std::span<const uint8_t> bytes, std::size_t& nAt, CFrameHeader& header) {
    CSpanBytes span(bytes);
    uint32_t dwHeader = 0;
    m_dwLayer3Word = 0;
    int nLength = FindNextFrame(span, dwHeader);
    nAt = span.Position();
    if (nLength == 0 && m_dwLayer3Word != 0) {
        dwHeader = m_dwLayer3Word;
        nLength = CFrameHeader(dwHeader).FrameBytes() + 4;
    }
    if (nLength <= 0) {
        return kWait;
    }
    header = CFrameHeader(dwHeader, m_nFreeFormatBytes);
    header.AttachWarnings(&m_Warnings);
    return nLength;
}

}  // namespace corvina
