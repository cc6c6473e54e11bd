// A PCM sink that keeps nothing: for reading a stream's header without
// playing it.
#pragma once

#include "synth/audio_sink.h"

class CDiscardSink : public corvina::CAudioSink {
  public:
    void WriteFrame(std::span<const int16_t>, int) override {}
    int32_t EndFrame() override { return 1; }
};
