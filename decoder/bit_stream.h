// The stream: the bytes of the audio between its tags, buffered, for the
// frame search; one frame's payload at a time for the bit reader; and the
// moves.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "decoder/bit_reader.h"
#include "decoder/byte_source.h"
#include "decoder/tag_skipping_source.h"
#include "synth/caller_hooks.h"

namespace corvina {

class CBitStream {
  public:
    static constexpr uint32_t kBufferBytes = CBitReader::kMaxBytes;

    // Reads pAudio, the Layer I/II audio of a source opened already (see
    // OpenBitStream), between its tags. A null source (one that could not be
    // opened) leaves an object whose reads all fail. choice and strVerdict
    // are what the opening was asked and told.
    explicit CBitStream(std::unique_ptr<CByteSource> pAudio, WarningReporter fnReport = {},
                        CTrackChoice choice = {}, std::string strVerdict = {});
    ~CBitStream();
    CBitStream(CBitStream&&) noexcept;
    CBitStream(const CBitStream&) = delete;
    CBitStream& operator=(const CBitStream&) = delete;

    bool IsOpen() const { return m_pSource != nullptr; }
    // Whether the stream can be moved (SeekPercent) and its length is known.
    bool CanSeek() const { return m_pSource != nullptr && m_pSource->CanSeek(); }

    // The next four bytes as a big-endian word; 0 when fewer are left.
    int ReadWord(uint32_t& dwWord);
    // The next byte, 0..255, or -1 at the end.
    int ReadByte() {
        if (m_nInPos < m_nInEnd && m_nPosition < m_nAudioEnd) {
            ++m_nPosition;
            return m_bIn[m_nInPos++];
        }
        return ReadByteSlow();
    }
    // Copies up to nBytes of what comes next without reading past it; the
    // count copied, less than nBytes only where the stream ends sooner.
    std::size_t Peek(uint8_t* pTarget, std::size_t nBytes) { return PeekAt(0, pTarget, nBytes); }
    // The same for the bytes nOffset ahead; nOffset + nBytes at most
    // kLookAheadBytes.
    std::size_t PeekAt(std::size_t nOffset, uint8_t* pTarget, std::size_t nBytes);
    static constexpr std::size_t kLookAheadBytes = 32 * 1024;
    // Moves on over bytes other than bValue, at most nLimit of them; the
    // count passed. Fewer than nLimit where bValue or the end comes first.
    std::size_t SkipUntil(uint8_t bValue, std::size_t nLimit);
    // Moves on over nBytes bytes; false where the stream ends sooner.
    bool Skip(std::size_t nBytes) {
        return SeekTo(m_nPosition + static_cast<int64_t>(nBytes)) != 0;
    }
    // Loads the next nBytes bytes as the frame payload and puts the cursor on
    // its first bit; 0 when they are not all there.
    int LoadFrame(uint32_t nBytes);
    // The payload loaded last, read bit by bit.
    CBitReader& Reader() { return m_Reader; }
    // Puts the cursor back on the first bit of the payload in the buffer.
    void RewindPayload() { m_Reader.Rewind(); }

    // Moves the stream to nPercent (0..100) of its length and puts the cursor
    // back on the payload's first bit; 0 (with a warning) when the move fails.
    int SeekPercent(int nPercent);
    // Moves to dFraction (0..1) of the audio bytes, between the tags; 0 when
    // the stream cannot be moved there.
    int SeekFraction(double dFraction);
    // Moves to the byte offset nOffset (as Position gives it); 0 when the
    // stream cannot be moved there.
    int SeekOffset(int64_t nOffset) {
        RewindPayload();
        return CanSeek() ? SeekTo(nOffset) : 0;
    }

    // Byte offset of the next read in the stream.
    int64_t Position() const { return m_nPosition; }
    // Byte length of the stream; 0 when it is not known.
    int64_t Length() const { return m_nLength; }
    // Bytes that can hold audio: the stream less a leading ID3v2 tag and a
    // trailing ID3v1 block; 0 when the length is not known.
    int64_t AudioBytes() const { return m_nLength > 0 ? m_nAudioEnd - m_nAudioStart : 0; }
    // Byte offset of the first byte that can hold audio.
    int64_t AudioStart() const { return m_nAudioStart; }
    // Whole percent of the stream's bytes read, truncated; 0 for an empty or
    // unknown length.
    int PositionPercent() const;
    // The source read (a demultiplexer, a file, ...), under the tag
    // skipping; null when none opened.
    CByteSource* Source() const { return m_pAudio; }
    // The leading ID3v2 tag (CTagSkippingSource::LeadingTag).
    std::vector<uint8_t> LeadingTag();
    // Takes the length of a source that has come to seek since the stream
    // was opened (a container whose index has come in).
    void UpdateLength();
    // Why the stream holds nothing to play, where its container told
    // (a container without a Layer I/II track); empty otherwise.
    const std::string& ContainerVerdict() const { return m_strVerdict; }
    // The track choice the stream was opened with.
    const CTrackChoice& TrackChoice() const { return m_choice; }

  private:
    int SeekTo(int64_t nOffset);
    // Refills the input buffer; false at the end of the source.
    bool Fill();
    int ReadByteSlow();
    // Copies the next nBytes into pTarget; false when fewer are left.
    bool ReadBytes(uint8_t* pTarget, std::size_t nBytes);
    void Warn(const std::string& strText) const { ReportWarning(m_fnReport, strText); }
    std::string m_strVerdict;
    CTrackChoice m_choice;
    // The tag skipping over m_pAudio, the source opened.
    std::unique_ptr<CTagSkippingSource> m_pSource;
    CByteSource* m_pAudio = nullptr;
    WarningReporter m_fnReport;
    std::unique_ptr<CPayloadBuffer> m_pPayload;
    CBitReader m_Reader;
    int64_t m_nLength = 0;
    int64_t m_nPosition = 0;
    // Where the tag skipping found the audio; the end moves to where the
    // source gave out, where that comes sooner.
    int64_t m_nAudioStart = 0;
    int64_t m_nAudioEnd = INT64_MAX;
    // Bytes read from the source and not yet handed out.
    static constexpr std::size_t kInputBytes = 64 * 1024;
    std::unique_ptr<uint8_t[]> m_bIn;
    std::size_t m_nInPos = 0;
    std::size_t m_nInEnd = 0;
};

// The stream of the Layer I/II audio that pSource carries, opening the
// container it may be (see OpenContainedAudio): strName names it in
// warnings, a long walk over a container gives up once fnStop says so, or
// after nWalkBudget bytes where not negative, and choice picks the track of
// a container that holds several.
CBitStream OpenBitStream(std::unique_ptr<CByteSource> pSource, const std::string& strName,
                         const WarningReporter& fnReport = {}, const StopRequest& fnStop = {},
                         int64_t nWalkBudget = -1, const CTrackChoice& choice = {});
// The stream of the file at pszFileName; a failure is told as a warning.
CBitStream OpenBitStream(const char* pszFileName, const WarningReporter& fnReport = {});

}  // namespace corvina
