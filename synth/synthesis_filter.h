// The polyphase synthesis filterbank of one channel: 32 subband samples in,
// 32 PCM samples out per time slot.
#pragma once

#include <cstdint>

#include "synth/audio_sink.h"
#include "synth/dsp_routines.h"

namespace corvina {

class CSynthesisFilter {
  public:
    CSynthesisFilter(int nChannel, float fScale);
    CSynthesisFilter(const CSynthesisFilter&) = delete;
    CSynthesisFilter& operator=(const CSynthesisFilter&) = delete;

    // Runs one time slot on m_fInput, hands its 32 samples to the sink and
    // clears m_fInput for the next slot.
    void Synthesize(CAudioSink& sink);
    // first.Synthesize(sink) and then second.Synthesize(sink), with the window
    // read once for both: the two channels of a stream.
    static void SynthesizePair(CSynthesisFilter& first, CSynthesisFilter& second, CAudioSink& sink);
    // The same for subband samples that stand elsewhere: pIn0 for first,
    // pIn1 for second; m_fInput is left as it is.
    static void SynthesizePair(CSynthesisFilter& first, const float* pIn0, CSynthesisFilter& second,
                               const float* pIn1, CAudioSink& sink);
    // Two slots in turn, pIn0's and then pIn1's, with the transforms of both
    // run at once; m_fInput is left as it is.
    void SynthesizeTwoSlots(const float* pIn0, const float* pIn1, CAudioSink& sink);
    // Slots run since the filter was made. Every output depends on the last
    // sixteen slots only, so two filters that have both run the same sixteen
    // slots (or more) are in the same state.
    int64_t SlotsRun() const { return m_nSlotsRun; }
    static constexpr int kHistorySlots = 16;
    // Forgets the history, as at the start of a stream (the slots run stay
    // counted).
    void Reset();

  private:
    void Matrixing();
    // Writes the V vector that follows from the transform fX into the banks.
    void StoreVector(const float* pX);
    void Windowing(CAudioSink& sink);
    // Moves to the next ring column and bank and clears the input.
    void Advance();
    // Moves to the next ring column and bank.
    void NextSlot();

    // Two banks of 16 ring columns by 32 rows; row r of column c is at
    // 32 c + r, so that a column is written and read as one run. The values
    // are single-precision results, kept as doubles for the window sums.
    alignas(64) double m_dBank[2][512];
    double* m_pBank;
    int m_nSlot;
    int64_t m_nSlotsRun = 0;
    const CDspRoutines& m_dsp;

  public:
    // The subband samples of the coming slot, written by the layer decoders.
    float m_fInput[32];
    int m_nChannel;
    float m_fScale;
};

}  // namespace corvina
