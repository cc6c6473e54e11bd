// The decoding of one loaded frame: allocation, CRC check, scalefactors and
// samples of its layer, the synthesis of its slots and channels, and the hand
// over of its PCM to a sink.
#pragma once

#include <cstdint>
#include <memory>

#include "decoder/decode_choices.h"
#include "decoder/frame_header.h"
#include "decoder/subband_frame.h"
#include "synth/audio_sink.h"

namespace corvina {

class CBitReader;
class CCrc16;
class CDecoderWarnings;
class CFrameHeader;
class CSynthesisFilter;

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
    // unprotected frame). The sink gets the frame's samples in Channels()
    // channels: a single-channel frame is heard on both channels of a
    // two-channel output; a one-channel output takes channel 0 only. A
    // forbidden code decoded as it stands is told to pWarnings, where given.
    EOutcome Decode(const CFrameHeader& header, CBitReader& reader, CCrc16* pCrc, CAudioSink& sink,
                    CDecoderWarnings* pWarnings = nullptr);
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
    // Reads the scalefactors and samples of the frame's layer into frame.
    void ReadSamples(const CFrameHeader& header, CBitReader& reader, CSubbandFrame& frame);
    // Whether the frame fills both filters, run as a pair.
    bool SynthesizesPair(const CFrameHeader& header) const;
    // Runs the filters over the first nSlots slots of frame and hands the
    // PCM to the sink.
    void Synthesize(const CFrameHeader& header, const CSubbandFrame& frame, int nSlots,
                    CAudioSink& sink);
    // nSamples of silence on every output channel.
    void OutputSilence(int nSamples, CAudioSink& sink);
    // The last good frame's slots, fading out, through the filters.
    void Conceal(const CFrameHeader& header, CAudioSink& sink);
    // Puts the chosen programme of a dual-channel frame into both channels.
    void ChooseChannel(CSubbandFrame& frame, int nSlots) const;

    CScaleInfo m_info;
    std::unique_ptr<CSynthesisFilter> m_pFilter0;
    std::unique_ptr<CSynthesisFilter> m_pFilter1;

    CDecodeChoices m_Choices;
    // The frame being decoded and the last good one, which concealment
    // repeats: a good frame becomes the kept one, and the other is written
    // next. The kept frame holds m_nKeptSlots slots (0 for none), both
    // channels where m_bKeptPair.
    CSubbandFrame m_frames[2] = {};
    int m_nKept = 0;
    int m_nKeptSlots = 0;
    bool m_bKeptPair = false;
    // Damaged frames since the last good one; those since ForgetLastFrame
    // while no good frame has come since.
    int m_nBadRun = 0;
    int m_nBadSinceForget = 0;
    bool m_bForgotten = false;
    int64_t m_nGuessedFrames = 0;
    // The frame's PCM as the sink gets it, the channels interleaved.
    alignas(64) int16_t m_nPcm[2 * kMaxSamplesPerFrame] = {};
};

}  // namespace corvina
