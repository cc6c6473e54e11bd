// The bit reader: bit fields of up to 32 bits, first bit most significant,
// read over one frame's payload; and the buffer that holds a payload for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "decoder/byte_order.h"

namespace corvina {

class CBitReader {
  public:
    // The payload of the longest frame accepted: the longest free-format
    // frame the search takes, 4 KiB after its header, with a Layer I padding
    // slot (the longest of a standard bitrate, Layer II at 384 kbit/s and
    // 32 kHz, has 1724 bytes).
    static constexpr uint32_t kMaxBytes = 4100;
    // Bytes after a payload that reads touch: a cursor standing at the end of
    // the payload's last word still reads eight bytes from there.
    static constexpr std::size_t kSlackBytes = 16;

    // A reader of no payload.
    CBitReader();
    // Reads the first nBytes of padded, which holds kSlackBytes more after
    // them that read as zeros (CPayloadBuffer keeps them so); a span too
    // short for that gives a reader of no payload. The cursor is on the
    // first bit.
    CBitReader(std::span<const uint8_t> padded, uint32_t nBytes);

    // The next nBits (0..32) bits of the payload; 0 once the cursor has
    // moved onto a word beyond the payload.
    uint32_t GetBits(int nBits) {
        if (nBits <= 0 || IsPastPayload(m_nBit)) {
            return 0;
        }
        const uint32_t dwResult = FieldAt(m_nBit, nBits);
        m_nBit += static_cast<uint32_t>(nBits);
        return IsPastPayload(m_nBit) ? 0 : dwResult;
    }
    // Where the cursor stands: bits from the payload's first.
    uint32_t BitPosition() const { return m_nBit; }
    // The nBits (1..32) bits that GetBits would give with the cursor at bit
    // nBit of the payload; the cursor stays where it is. Unchecked, the
    // caller has made sure with HoldsBits that the field ends in time.
    template <bool bChecked = true>
    uint32_t PeekBitsAt(uint32_t nBit, int nBits) const {
        if (bChecked && IsPastPayload(nBit + static_cast<uint32_t>(nBits))) {
            return 0;
        }
        return FieldAt(nBit, nBits);
    }
    // The 64 bits from bit nBit of the payload on, first bit most
    // significant; the first 57 are the payload's (or the zeros after it).
    // Unchecked, as PeekBitsAt<false>.
    uint64_t WindowAt(uint32_t nBit) const {
        return ReadBigEndian64(m_pBytes + (nBit >> 3)) << (nBit & 7);
    }
    // Whether every field that ends by bit nEndBit of the payload is read
    // as it stands (and not as 0).
    bool HoldsBits(uint32_t nEndBit) const { return !IsPastPayload(nEndBit); }
    // Puts the cursor at bit nBit of the payload.
    void MoveToBit(uint32_t nBit) { m_nBit = nBit; }
    // Puts the cursor back on the first bit of the payload.
    void Rewind() { MoveToBit(0); }

  private:
    // Whether bit nBit lies in a word (of four bytes) that begins after the
    // payload's end: fields are read whole words at a time, so a field that
    // ends in the last, partial word is read with zeros after the payload.
    bool IsPastPayload(uint32_t nBit) const { return (nBit >> 5) * 4 > m_nBytes; }
    // The nBits bits from bit nBit on: they lie within the eight bytes from
    // its byte, which the slack holds for any bit in a word of the payload.
    uint32_t FieldAt(uint32_t nBit, int nBits) const {
        return static_cast<uint32_t>(WindowAt(nBit) >> (64 - nBits));
    }

    const uint8_t* m_pBytes;
    uint32_t m_nBytes = 0;
    uint32_t m_nBit = 0;
};

// One payload's bytes, with the zeros after them that a reader touches.
class CPayloadBuffer {
  public:
    // Where up to kMaxBytes bytes of a payload are put before Take.
    uint8_t* Bytes() { return m_bBytes; }
    // A reader of the nBytes (at most kMaxBytes) put at Bytes().
    CBitReader Take(uint32_t nBytes);
    // Copies nBytes (at most kMaxBytes) from pBytes and takes them.
    CBitReader Load(const uint8_t* pBytes, uint32_t nBytes);

  private:
    uint8_t m_bBytes[CBitReader::kMaxBytes + CBitReader::kSlackBytes] = {};
};

}  // namespace corvina
