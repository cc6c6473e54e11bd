// The header record of the frame in hand, and the frame search that fills it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

#include "decoder/decoder_warnings.h"
#include "synth/caller_hooks.h"

namespace corvina {

class CBitReader;
class CBitStream;
class CCrc16;
struct CLayer2Table;

// The channel modes as the header codes them.
enum EChannelMode : int {
    MODE_STEREO = 0,
    MODE_JOINT_STEREO = 1,
    MODE_DUAL_CHANNEL = 2,
    MODE_SINGLE_CHANNEL = 3,
};

class CFrameHeader {
  public:
    CFrameHeader();
    ~CFrameHeader();
    CFrameHeader(const CFrameHeader&) = delete;
    CFrameHeader& operator=(const CFrameHeader&) = delete;

    // The search through bytes that hold no frame gives up once fnStop says
    // so; warnings go to fnReport.
    void SetCaller(StopRequest fnStop, WarningReporter fnReport);

    // Finds the next frame, parses its header and loads its payload. 1 when a
    // frame is ready with the cursor after its CRC word; ppCrc then names the
    // register to check (null for an unprotected frame). 0 at the end, at a
    // free-format or a Layer III header.
    int ReadFrame(CBitStream& stream, CCrc16** ppCrc);
    // Finds the next frame as ReadFrame does and moves over it without
    // loading it; its length (0 at the end) and its header word.
    int PassFrame(CBitStream& stream, uint32_t& dwHeader);
    // After the file has been moved: the word read ahead before the move is
    // not a header of the new place, so the next ReadFrame searches from the
    // new offset on.
    void DropReadAhead();

    // Takes the frame of header word dwHeader (parsed already) whose payload
    // reader holds: reads its CRC word and points *ppCrc at the register to
    // check (null for an unprotected frame). 0 when memory ran out.
    int StartFrame(uint32_t dwHeader, CBitReader& reader, CCrc16** ppCrc);
    // Payload bytes of an unpadded frame of the free-format stream whose
    // header is dwHeader, found by the next header in ahead (the bytes after
    // this header); 0 where none stands there.
    static int FreeFormatBytesIn(std::span<const uint8_t> ahead, uint32_t dwHeader);
    // Sets the free-format length that FrameBytes and Bitrate go by.
    void SetFreeFormatBytes(int nBytes) { m_nFreeFormatBytes = nBytes; }
    // A sync whose layer, bitrate index and sampling frequency are not
    // reserved.
    static bool IsPlausibleWord(uint32_t dwWord);

    // Sets every field from a 32-bit header word (bit 31 is the frame's first
    // bit), without judging whether the frame can be decoded.
    void ParseWord(uint32_t dwHeader);
    // The header word of the frame last loaded; safe to read from any thread.
    uint32_t FrameWord() const { return m_dwFrameWord.load(std::memory_order_acquire); }

    // Payload bytes of the current frame after its four header bytes.
    int FrameBytes() const;
    // Bit/s of the current frame; for free format, from the frame length
    // found (0 until then).
    int Bitrate() const;

    // Constant texts for the fields; null for a value outside the tables.
    const char* LayerName() const;
    const char* ModeName() const;
    const char* SampleRateName() const;
    const char* BitrateName() const;

    int Layer() const { return m_nLayer; }
    int ProtectionBit() const { return m_nProtectionBit; }
    int BitrateIndex() const { return m_nBitrateIndex; }
    int PaddingBit() const { return m_nPaddingBit; }
    int ModeExtension() const { return m_nModeExtension; }
    int Mode() const { return m_nMode; }
    int Sblimit() const { return m_nSblimit; }
    // The Layer II allocation table of the frame (any header has one).
    const CLayer2Table& Layer2Table() const { return *m_pLayer2Table; }
    int Bound() const { return m_nBound; }
    int Copyright() const { return m_nCopyright; }
    int Original() const { return m_nOriginal; }
    int IdBit() const { return m_nIdBit; }
    int SampleFrequencyIndex() const { return m_nSampleFrequencyIndex; }
    // 44100, 48000 or 32000; 0 for the reserved index.
    int SampleFrequency() const;
    // True for the low sampling rates of MPEG-2 (the ID bit is 0).
    bool IsLowSamplingRate() const { return m_nIdBit == 0; }
    // Samples per channel in one frame: 384 for Layer I, 1152 for Layer II.
    int SamplesPerFrame() const {
        return m_nLayer == 1 ? 384 : m_nLayer == 3 && IsLowSamplingRate() ? 576 : 1152;
    }
    bool IsSingleChannel() const { return m_nMode == MODE_SINGLE_CHANNEL; }
    uint16_t CrcWord() const { return m_wCrcWord; }

    // The header word of a Layer III stream that the search confirmed and
    // stopped at; 0 where it met none.
    uint32_t Layer3Word() const { return m_dwLayer3Word; }

    // The warnings of this run through the file.
    CDecoderWarnings& Warnings() { return m_Warnings; }
    // Whether the frame in hand holds a code the standard forbids (a Layer I
    // allocation of 15), as its allocations have been read so far.
    bool HasForbiddenCode() const { return m_bForbiddenCode; }
    void NoteForbiddenCode(bool bForbidden = true) { m_bForbiddenCode = bForbidden; }

  private:
    int StartFrame(CBitReader& reader, CCrc16** ppCrc, uint32_t dwFrameWord);
    // Stops the stream at the next frame to take; its length, 0 at the end.
    int FindNextFrame(CBitStream& stream, uint32_t& dwHeader);
    bool FindConfirmedFrame(CBitStream& stream);
    bool IsConfirmed(CBitStream& stream, uint32_t dwHeader, int nLength);
    // Whether a plausible header, or the end, stands nLength bytes ahead.
    static bool IsFollowed(CBitStream& stream, int nLength);
    int FrameLengthAt(CBitStream& stream, std::size_t nOffset, uint32_t dwHeader);
    int ComputeSblimit() const;
    void SelectTable();
    int SlotBytes() const { return m_nLayer == 1 ? 4 : 1; }
    int FindFreeFormatBytes(CBitStream& stream, std::size_t nOffset, uint32_t dwHeader) const;

    int m_nLayer = 0;
    int m_nProtectionBit = 0;
    int m_nBitrateIndex = 0;
    int m_nPaddingBit = 0;
    int m_nModeExtension = 0;
    int m_nMode = 0;
    int m_nSblimit = 0;
    const CLayer2Table* m_pLayer2Table = nullptr;
    int m_nBound = 0;
    int m_nCopyright = 0;
    int m_nOriginal = 0;
    int m_nIdBit = 0;
    CCrc16* m_pCrc = nullptr;
    uint16_t m_wCrcWord = 0;
    uint32_t m_dwHeader = 0;
    // The last frame was taken and the next is looked for where it ended.
    bool m_bSynced = false;
    int m_nSampleFrequencyIndex = 0;
    std::atomic<uint32_t> m_dwFrameWord{0};
    CDecoderWarnings m_Warnings;
    StopRequest m_fnStop;
    // Payload bytes of an unpadded frame of the free-format stream whose
    // header fields (under the free-format mask) are m_dwFreeFormatHeader.
    int m_nFreeFormatBytes = 0;
    uint32_t m_dwFreeFormatHeader = 0;
    uint32_t m_dwLayer3Word = 0;
    bool m_bForbiddenCode = false;
};

}  // namespace corvina
