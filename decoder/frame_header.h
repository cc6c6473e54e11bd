// A frame's header: the fields of its 32-bit word, what they give (rates,
// length, subband limits), and the facts of the frame in hand that the layer
// decoding reads beside them (the CRC word, a forbidden code).
#pragma once

#include <cstdint>
#include <optional>

#include "decoder/decoder_warnings.h"

namespace corvina {

struct CLayer2Table;

// The channel modes as the header codes them.
enum EChannelMode : int {
    MODE_STEREO = 0,
    MODE_JOINT_STEREO = 1,
    MODE_DUAL_CHANNEL = 2,
    MODE_SINGLE_CHANNEL = 3,
};

// Samples per channel in one frame of the layer: 384 for Layer I, 1152 for
// Layer II (and Layer III but at the low sampling rates, 576).
constexpr int SamplesPerFrame(int nLayer, bool bLowSamplingRate) {
    return nLayer == 1 ? 384 : nLayer == 3 && bLowSamplingRate ? 576 : 1152;
}
// The most samples per channel that a Layer I or II frame holds.
constexpr int kMaxSamplesPerFrame = SamplesPerFrame(2, false);

class CFrameHeader {
  public:
    // No frame yet: every field 0.
    CFrameHeader();
    // Every field from a header word (bit 31 is the frame's first bit),
    // without judging whether the frame can be decoded; nFreeFormatBytes is
    // the payload of an unpadded frame where the word is of free format.
    explicit CFrameHeader(uint32_t dwWord, int nFreeFormatBytes = 0);
    // The header of a word that is a sync whose layer, bitrate index and
    // sampling frequency are not reserved; none for any other word.
    static std::optional<CFrameHeader> Parse(uint32_t dwWord, int nFreeFormatBytes = 0);
    static bool IsPlausibleWord(uint32_t dwWord);

    // Sets every field from dwWord as the constructor does; the frame's CRC
    // word, forbidden-code note and warnings stay.
    void ParseWord(uint32_t dwWord);
    uint32_t Word() const { return m_dwWord; }

    // Payload bytes of the frame after its four header bytes; 0 for a
    // reserved sampling frequency or a free-format length not known.
    int FrameBytes() const;
    // Bit/s of the frame; for free format, from the frame length (0 where
    // it is not known).
    int Bitrate() const;

    // Constant texts for the fields; null for a value outside the tables.
    const char* LayerName() const;
    const char* ModeName() const;
    const char* SampleRateName() const;
    const char* BitrateName() const;

    int Layer() const { return m_nLayer; }
    int ProtectionBit() const { return Field(16, 1); }
    int BitrateIndex() const { return Field(12, 15); }
    int PaddingBit() const { return Field(9, 1); }
    int ModeExtension() const { return Field(4, 3); }
    int Mode() const { return Field(6, 3); }
    int Sblimit() const { return m_nSblimit; }
    // The Layer II allocation table of the frame (any header has one).
    const CLayer2Table& Layer2Table() const { return *m_pLayer2Table; }
    int Bound() const { return m_nBound; }
    int Copyright() const { return Field(3, 1); }
    int Original() const { return Field(2, 1); }
    int IdBit() const { return Field(19, 1); }
    int SampleFrequencyIndex() const { return Field(10, 3); }
    // 44100, 48000 or 32000 (their halves at the low rates); 0 for the
    // reserved index.
    int SampleFrequency() const;
    // True for the low sampling rates of MPEG-2 (the ID bit is 0).
    bool IsLowSamplingRate() const { return IdBit() == 0; }
    int SamplesPerFrame() const { return corvina::SamplesPerFrame(m_nLayer, IsLowSamplingRate()); }
    bool IsSingleChannel() const { return Mode() == MODE_SINGLE_CHANNEL; }

    // The frame in hand: its CRC word (read after the header where the frame
    // is protected) and the warnings of the run through the file it belongs
    // to.
    uint16_t CrcWord() const { return m_wCrcWord; }
    void SetCrcWord(uint16_t wCrcWord) { m_wCrcWord = wCrcWord; }
    // Where none are attached (a header parsed alone), warnings go to no one.
    CDecoderWarnings& Warnings();
    void AttachWarnings(CDecoderWarnings* pWarnings) { m_pWarnings = pWarnings; }

  private:
    int Field(int nShift, uint32_t dwMask) const {
        return static_cast<int>((m_dwWord >> nShift) & dwMask);
    }
    int SlotBytes() const { return m_nLayer == 1 ? 4 : 1; }

    uint32_t m_dwWord = 0;
    int m_nLayer = 0;
    // Payload bytes of an unpadded frame of a free-format stream.
    int m_nFreeFormatBytes = 0;
    int m_nSblimit = 0;
    int m_nBound = 0;
    const CLayer2Table* m_pLayer2Table = nullptr;
    uint16_t m_wCrcWord = 0;
    CDecoderWarnings* m_pWarnings = nullptr;
};

}  // namespace corvina
