// The frame search over a stream, and over the caller's bytes for the frame
// decoder: the next sync, confirmed by the header after it where the bytes
// gave none, the free-format length, the stop request and the warnings of
// the run; and the CRC register of the frame handed out.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

#include "decoder/crc16.h"
#include "decoder/decoder_warnings.h"
#include "decoder/frame_header.h"
#include "synth/caller_hooks.h"

namespace corvina {

class CBitReader;
class CBitStream;

// Takes the frame of header whose payload reader holds: reads its CRC word
// into header and readies crc for the check. The register to check, or null
// for an unprotected frame.
CCrc16* StartCheck(CFrameHeader& header, CBitReader& reader, CCrc16& crc);

class CFrameSync {
  public:
    // The search through bytes that hold no frame gives up once fnStop says
    // so; warnings go to fnReport.
    void SetCaller(StopRequest fnStop, WarningReporter fnReport);

    // Finds the next frame, parses its header into header and loads its
    // payload into the stream's reader. 1 when a frame is ready with the
    // cursor after its CRC word; ppCrc then names the register to check (null
    // for an unprotected frame). 0 at the end, at a free-format or a Layer III
    // header.
    int ReadFrame(CBitStream& stream, CFrameHeader& header, CCrc16** ppCrc);
    // Finds the next frame as ReadFrame does and moves over it without
    // loading it; its length (0 at the end) and its header word.
    int PassFrame(CBitStream& stream, uint32_t& dwHeader);
    // After the file has been moved: the header read before the move is not
    // one of the new place, so the next ReadFrame searches from there on.
    void DropReadAhead() { m_bSynced = false; }

    // The same search over the caller's bytes, which start where the frame
    // taken last (TakeFrame) ended: the length of the frame nAt bytes in,
    // all there or not, of a confirmed Layer III one too, with its header
    // parsed into header; kWait where the bytes end before the search can
    // tell, nAt then being where it waits for more.
    int FindFrame(std::span<const uint8_t> bytes, std::size_t& nAt, CFrameHeader& header);
    static constexpr int kWait = -1;
    // The frame FindFrame found is taken: the next search starts at its end.
    void TakeFrame() { m_bSynced = true; }

    // Payload bytes of an unpadded frame of the free-format stream whose
    // header is dwHeader, found by the next header in ahead (the bytes after
    // this header); 0 where none stands there.
    static int FreeFormatBytesIn(std::span<const uint8_t> ahead, uint32_t dwHeader);

    // The header word of the frame last loaded; safe to read from any thread.
    uint32_t FrameWord() const { return m_dwFrameWord.load(std::memory_order_acquire); }
    // The header word of a Layer III stream that the search confirmed and
    // stopped at; 0 where it met none.
    uint32_t Layer3Word() const { return m_dwLayer3Word; }
    // The warnings of this run through the file.
    CDecoderWarnings& Warnings() { return m_Warnings; }

  private:
    // The search over TBytes, a CBitStream or the caller's bytes, whose
    // answers are kWait where these end too soon. Stops the stream at the
    // next frame to take; its length, 0 at the end.
    template <class TBytes>
    int FindNextFrame(TBytes& stream, uint32_t& dwHeader);
    template <class TBytes>
    int FindConfirmedFrame(TBytes& stream);
    template <class TBytes>
    int IsConfirmed(TBytes& stream, uint32_t dwHeader, int nLength);
    // Whether a plausible header, or the end, stands nLength bytes ahead.
    template <class TBytes>
    static int IsFollowed(TBytes& stream, int nLength);
    template <class TBytes>
    int FrameLengthAt(TBytes& stream, std::size_t nOffset, uint32_t dwHeader);
    template <class TBytes>
    static int FindFreeFormatBytes(TBytes& stream, std::size_t nOffset, uint32_t dwHeader);

    uint32_t m_dwHeader = 0;
    // The last frame was taken and the next is looked for where it ended.
    bool m_bSynced = false;
    std::atomic<uint32_t> m_dwFrameWord{0};
    CDecoderWarnings m_Warnings;
    StopRequest m_fnStop;
    // Payload bytes of an unpadded frame of the free-format stream whose
    // header fields (under the free-format mask) are m_dwFreeFormatHeader.
    int m_nFreeFormatBytes = 0;
    uint32_t m_dwFreeFormatHeader = 0;
    uint32_t m_dwLayer3Word = 0;
    CCrc16 m_Crc;
};

}  // namespace corvina
