// The polyphase synthesis filterbank of one channel: 32 subband samples in,
// 32 PCM samples out per time slot.
#pragma once

#include <cstdint>

#include "synth/dsp_routines.h"

namespace corvina {

class CSynthesisFilter {
  public:
    explicit CSynthesisFilter(float fScale);
    CSynthesisFilter(const CSynthesisFilter&) = delete;
    CSynthesisFilter& operator=(const CSynthesisFilter&) = delete;

    // Runs one time slot on the subband samples in and writes its 32 PCM
    // samples to pOut, nStride apart.
    void Synthesize(const float in[32], int16_t* pOut, int nStride = 1);
    // first.Synthesize(in0, ...) and second.Synthesize(in1, ...) with the
    // window read once for both: the two channels of a stereo slot, written
    // interleaved (first's to pOut[0], pOut[2] ..., second's to pOut[1] ...).
    static void SynthesizePair(CSynthesisFilter& first, const float in0[32],
                               CSynthesisFilter& second, const float in1[32], int16_t* pOut);
    // Two slots in turn, in0's and then in1's, with the transforms of both
    // run at once: 64 samples to pOut, nStride apart.
    void SynthesizeTwoSlots(const float in0[32], const float in1[32], int16_t* pOut,
                            int nStride = 1);
    // Slots run since the filter was made. Every output depends on the last
    // sixteen slots only, so two filters that have both run the same sixteen
    // slots (or more) are in the same state.
    int64_t SlotsRun() const { return m_nSlotsRun; }
    static constexpr int kHistorySlots = 16;
    // Forgets the history, as at the start of a stream (the slots run stay
    // counted).
    void Reset();

  private:
    // Writes the V vector that follows from the transform fX into the banks.
    void StoreVector(const float* pX);
    void Windowing(int16_t* pOut, int nStride);
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
    float m_fScale;
};

}  // namespace corvina
