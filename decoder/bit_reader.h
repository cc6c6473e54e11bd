// The bit reader: one frame's payload, held as big-endian words, read as bit
// fields of up to 32 bits, first bit most significant.
#pragma once

#include <cstdint>

namespace corvina {

// The four bytes at pBytes as a big-endian word.
inline uint32_t ReadBigEndian32(const uint8_t* pBytes) {
    return (static_cast<uint32_t>(pBytes[0]) << 24) | (static_cast<uint32_t>(pBytes[1]) << 16) |
           (static_cast<uint32_t>(pBytes[2]) << 8) | static_cast<uint32_t>(pBytes[3]);
}

class CBitReader {
  public:
    // The payload of the longest frame accepted: a free-format frame of 4 KiB
    // less its header (the longest of a standard bitrate, Layer II at
    // 384 kbit/s and 32 kHz, has 1724 bytes).
    static constexpr uint32_t kMaxBytes = 4092;

    // Where a payload of up to kMaxBytes is put before Take.
    uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(m_dwBuffer); }
    // Takes the nBytes (at most kMaxBytes) put at Bytes() as the payload and
    // puts the cursor on its first bit.
    void Take(uint32_t nBytes);
    // Copies nBytes (at most kMaxBytes) from pBytes and takes them.
    void Load(const uint8_t* pBytes, uint32_t nBytes);

    // The next nBits (0..32) bits of the payload; 0 once the cursor has
    // moved onto a word beyond the payload.
    uint32_t GetBits(int nBits) {
        if (nBits <= 0 || m_nWord * 4 > m_nLoaded) {
            return 0;
        }
        const uint32_t nEnd = m_nBitOffset + static_cast<uint32_t>(nBits);
        const uint32_t dwResult = FieldAt(m_nWord, nEnd, nBits);
        // Without a branch on whether the field ends in the next word: the
        // answer is a coin toss for the processor's predictor.
        m_nWord += nEnd >> 5;
        m_nBitOffset = nEnd & 31;
        return m_nWord * 4 > m_nLoaded ? 0 : dwResult;
    }
    // Where the cursor stands: bits from the payload's first.
    uint32_t BitPosition() const { return m_nWord * 32 + m_nBitOffset; }
    // The nBits (1..32) bits that GetBits would give with the cursor at bit
    // nBit of the payload; the cursor stays where it is. Unchecked, the
    // caller has made sure with HoldsBits that the field ends in time.
    template <bool bChecked = true>
    uint32_t PeekBitsAt(uint32_t nBit, int nBits) const {
        const uint32_t nEnd = (nBit & 31) + static_cast<uint32_t>(nBits);
        const uint32_t nWord = nBit >> 5;
        if (bChecked && (nWord + (nEnd >> 5)) * 4 > m_nLoaded) {
            return 0;
        }
        return FieldAt(nWord, nEnd, nBits);
    }
    // Whether every field that ends by bit nEndBit of the payload is read
    // as it stands (and not as 0).
    bool HoldsBits(uint32_t nEndBit) const { return (nEndBit >> 5) * 4 <= m_nLoaded; }
    // Puts the cursor at bit nBit of the payload.
    void MoveToBit(uint32_t nBit) {
        m_nWord = nBit >> 5;
        m_nBitOffset = nBit & 31;
    }
    // Puts the cursor back on the first bit of the payload.
    void Rewind() { MoveToBit(0); }

  private:
    // The nBits bits that end nEnd bits after the start of word nWord: the
    // field lies within that word and the one after it, which the buffer
    // always has (see m_dwBuffer) for a word no further than the payload's.
    uint32_t FieldAt(uint32_t nWord, uint32_t nEnd, int nBits) const {
        const uint64_t qwWindow =
            (static_cast<uint64_t>(m_dwBuffer[nWord]) << 32) | m_dwBuffer[nWord + 1];
        return static_cast<uint32_t>((qwWindow >> (64 - nEnd)) & ((uint64_t{1} << nBits) - 1));
    }

    // Two spare words after the payload: a cursor standing exactly at the end
    // of a full buffer still reads inside it, and so does the word after it.
    uint32_t m_dwBuffer[kMaxBytes / 4 + 2] = {};
    uint32_t m_nLoaded = 0;
    uint32_t m_nWord = 0;
    uint32_t m_nBitOffset = 0;
};

}  // namespace corvina
