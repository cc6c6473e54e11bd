// The polyphase synthesis filterbank of one channel: 32 subband samples in,
// 32 PCM samples out per time slot.
#pragma once

#include <cstdint>

#include "synth/audio_sink.h"

class CSynthesisFilter {
  public:
    CSynthesisFilter(int nChannel, float fScale);
    CSynthesisFilter(const CSynthesisFilter&) = delete;
    CSynthesisFilter& operator=(const CSynthesisFilter&) = delete;

    // Runs one time slot on m_fInput, hands its 32 samples to the sink and
    // clears m_fInput for the next slot.
    void Synthesize(CAudioSink& sink);

  private:
    void Matrixing();
    void Windowing(CAudioSink& sink);
    template <int S>
    void WindowSlot(CAudioSink& sink);

    // Two banks of 32 rows by 16 ring slots; row r of column c is at 16 r + c.
    float m_fBank[2][512];
    float* m_pBank;
    int m_nSlot;

  public:
    // The subband samples of the coming slot, written by the layer decoders.
    float m_fInput[32];
    int m_nChannel;
    float m_fScale;
};
