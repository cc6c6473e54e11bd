// The decoding of one loaded frame: allocation, CRC check, scalefactors and
// samples of its layer, with one synthesis run per time slot and channel.
#pragma once

#include <cstdint>
#include <memory>

#include "decoder/decode_choices.h"
#include "decoder/subband_decoder.h"
#include "synth/audio_sink.h"

namespace corvina {

class CBitReader;
class CCrc16;
class CFrameHeader;
class CSynthesisFilter;
struct CSubbandSet;

class CLayerDecoder {
  public:
    // What Decode did with the frame.
    enum EOutcome {
        DECODED,    // its samples went to the sink
        CRC_ERROR,  // it failed its check: a frame's worth of silence went instead
        EMPTY,      // it codes no subband: nothing went to the sink
        // It failed its check or holds a forbidden code, and the last good
        // frame's subband samples went in its place, fading out.
        CONCEALED,
        CONCEALED_FORBIDDEN,
    };

    // Decodes frames into nChannels (1 or 2) output channels; false from
    // IsReady when the memory for it could not be had.
    explicit CLayerDecoder(int nChannels);
    ~CLayerDecoder();
    CLayerDecoder(const CLayerDecoder&) = delete;
    CLayerDecoder& operator=(const CLayerDecoder&) = delete;

    bool IsReady() const;
    int Channels() const { return m_pFilter1 != nullptr ? 2 : 1; }
    // Decodes the frame of header whose payload reader holds, the cursor
    // after the CRC word; pCrc is the register to check (null for an
    // unprotected frame). A single-channel frame is heard on both channels of
    // a two-channel output; a one-channel output takes channel 0 only.
    EOutcome Decode(CFrameHeader& header, CBitReader& reader, CCrc16* pCrc, CAudioSink& sink);
    // Slots the synthesis filter of output channel nChannel has run; -1
    // where there is no such filter.
    int64_t FilterSlotsRun(int nChannel) const;
    // Clears the synthesis history, as at the start of a stream.
    void ResetFilters();

    // Takes effect from the next frame on.
    void SetChoices(const CDecodeChoices& choices) { m_Choices = choices; }
    // The frames before the next are not those decoded last (the stream has
    // been moved): a damaged frame has nothing to repeat until a good one.
    void ForgetLastFrame();
    // Damaged frames concealed by what was forgotten rather than by a frame
    // decoded since: their samples differ from those of a decode that never
    // forgot.
    int64_t GuessedFrames() const { return m_nGuessedFrames; }

  private:
    // Points m_pSubbands at the decoders of the frame's layer, mode and bound
    // when those differ from the last frame's.
    void SelectSubbands(const CFrameHeader& header);
    void DecodeAudio(const CFrameHeader& header, CBitReader& reader, CAudioSink& sink);
    // The scalefactors and the sample loop of one frame whose subbands below
    // nBound are pLow's and the rest pHigh's: every call of the sample loop
    // names its class, so none needs a look-up in the virtual table.
    template <class TLow, class THigh>
    void DecodeLayer1(const CFrameHeader& header, CBitReader& reader, CAudioSink& sink, TLow* pLow,
                      THigh* pHigh, int nBound, int nSblimit);
    template <class TLow, class THigh>
    void DecodeLayer2(const CFrameHeader& header, CBitReader& reader, CAudioSink& sink, TLow* pLow,
                      THigh* pHigh, int nBound, int nSblimit);
    template <class TLow, class THigh>
    static void ReadScalefactorsOf(const CFrameHeader& header, CBitReader& reader, TLow* pLow,
                                   THigh* pHigh, int nBound, int nSblimit);
    // Whether the frame fills both filters, run as a pair.
    bool SynthesizesPair(const CFrameHeader& header) const;
    // Runs the filters over the slot just stored and hands it to the sink.
    void Synthesize(const CFrameHeader& header, bool bSecond, CAudioSink& sink);
    // A frame's worth of silence on every output channel.
    void OutputSilence(const CFrameHeader& header, CAudioSink& sink) const;
    // The last good frame's slots, fading out, through the filters.
    void Conceal(const CFrameHeader& header, CAudioSink& sink);
    // Puts the chosen programme of a dual-channel slot into both inputs.
    void ChooseChannel(float* pIn0, float* pIn1) const;
    // Keeps the filters' input of slot nSlot for concealment.
    void KeepSlot(int nSlot, const float* pIn0, const float* pIn1);

    std::unique_ptr<CSubbandSet> m_pSubbandSet;
    CSubbandDecoder* m_pSubbands[32] = {};
    int m_nSubbands = 0;
    // What SelectSubbands chose for: the layer, whether the frame is single
    // channel, and the first subband of the joint class.
    int m_nSubbandLayer = 0;
    bool m_bSubbandSingle = false;
    int m_nSubbandBound = -1;
    std::unique_ptr<CSynthesisFilter> m_pFilter0;
    std::unique_ptr<CSynthesisFilter> m_pFilter1;

    CDecodeChoices m_Choices;
    // Whether the frame in hand is dual channel with one programme chosen.
    bool m_bChoosing = false;
    // The subband samples of the last good frame, channel, slot, subband:
    // m_nKeptSlots of them (0 for none), both channels where m_bKeptPair.
    alignas(64) float m_fKept[2][36][32] = {};
    int m_nKeptSlots = 0;
    bool m_bKeptPair = false;
    // Damaged frames since the last good one; those since ForgetLastFrame
    // while no good frame has come since.
    int m_nBadRun = 0;
    int m_nBadSinceForget = 0;
    bool m_bForgotten = false;
    int64_t m_nGuessedFrames = 0;
};

}  // namespace corvina
