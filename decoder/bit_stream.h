// The stream file: header words and bytes for the frame search, one frame's
// payload at a time, and bit fields of up to 16 bits from that payload.
#pragma once

#include <cstdint>
#include <cstdio>

class CBitStream {
  public:
    // The payload of the longest frame accepted (Layer II, 384 kbit/s, 32 kHz)
    // is 1724 bytes; the buffer holds a little more.
    static constexpr uint32_t kBufferBytes = 1732;

    // Opens the file and looks at its start; every failure is told as a
    // warning and leaves an object whose reads all fail.
    explicit CBitStream(const char* pszFileName);
    ~CBitStream();
    CBitStream(const CBitStream&) = delete;
    CBitStream& operator=(const CBitStream&) = delete;

    bool IsOpen() const { return m_pFile != nullptr; }

    // The next four bytes as a big-endian word; 0 when fewer are left.
    int ReadWord(uint32_t& dwWord);
    // The next byte, 0..255, or -1 at the end.
    int ReadByte();
    // Loads the next nBytes bytes as the frame payload and puts the cursor on
    // its first bit; 0 when they are not all there.
    int LoadFrame(uint32_t nBytes);
    // The next nBits (0..16) bits of the payload, first bit most significant;
    // 0 once the cursor has moved onto a word beyond the payload.
    uint32_t GetBits(int nBits) {
        if (nBits <= 0 || m_nWord * 4 > m_nLoaded) {
            return 0;
        }
        // The field lies within the cursor word and the one after it, which
        // the buffer always has (see m_dwBuffer).
        const uint32_t nEnd = m_nBitOffset + static_cast<uint32_t>(nBits);
        const uint64_t qwWindow =
            (static_cast<uint64_t>(m_dwBuffer[m_nWord]) << 32) | m_dwBuffer[m_nWord + 1];
        const uint32_t dwResult =
            static_cast<uint32_t>(qwWindow >> (64 - nEnd)) & ((1u << nBits) - 1);
        // Without a branch on whether the field ends in the next word: the
        // answer is a coin toss for the processor's predictor.
        m_nWord += nEnd >> 5;
        m_nBitOffset = nEnd & 31;
        return m_nWord * 4 > m_nLoaded ? 0 : dwResult;
    }
    // Puts the cursor back on the first bit of the payload in the buffer.
    void RewindPayload() {
        m_nWord = 0;
        m_nBitOffset = 0;
    }

    // Moves the file to nPercent (0..100) of its length and puts the cursor
    // back on the payload's first bit; 0 (with a warning) when the move fails.
    int SeekPercent(int nPercent);

    // Byte offset of the next read in the file.
    int64_t Position() const { return m_nPosition; }
    // Byte length of the file; 0 when it could not be taken.
    int64_t Length() const { return m_nFileLength; }
    // Bytes that can hold audio: the file less a leading ID3v2 tag and a
    // trailing ID3v1 block.
    int64_t AudioBytes() const { return m_nAudioEnd - m_nAudioStart; }
    // Whole percent of the file's bytes read, truncated; 0 for an empty file.
    int PositionPercent() const;

  private:
    void Open(const char* pszFileName);
    void FindTags();
    int SeekTo(int64_t nOffset);

    std::FILE* m_pFile = nullptr;
    // Two spare words after the payload: a cursor standing exactly at the end
    // of a full buffer still reads inside it, and so does the word after it.
    uint32_t m_dwBuffer[kBufferBytes / 4 + 2] = {};
    uint32_t m_nLoaded = 0;
    uint32_t m_nWord = 0;
    uint32_t m_nBitOffset = 0;
    int64_t m_nFileLength = 0;
    int64_t m_nPosition = 0;
    int64_t m_nAudioStart = 0;
    int64_t m_nAudioEnd = 0;
};
