// A PCM sink that keeps nothing: for reading a stream's header without
// playing it.
#pragma once

#include "synth/audio_sink.h"

class CDiscardSink : public corvina::CAudioSink {
  public:
    void WriteSample(int16_t, int16_t) override {}
    void WriteSamples(int16_t, const int16_t*, int) override {}
    int32_t EndFrame() override { return 1; }
};
