// A PCM sink that keeps every sample per channel, and a decode of a whole
// file into one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "synth/audio_sink.h"

struct CRecording {
    int nChannels = 0;
    int nFrames = 0;  // EndFrame calls
    std::vector<int16_t> nSamples[2];
};

// Records into a CRecording that outlives it (the decoder deletes its sink
// at the end of the stream).
class CRecordingSink : public CAudioSink {
  public:
    explicit CRecordingSink(CRecording& recording) : m_recording(recording) {}
    void WriteSample(int16_t nChannel, int16_t nSample) override {
        m_recording.nSamples[nChannel == 0 ? 0 : 1].push_back(nSample);
    }
    int32_t EndFrame() override {
        ++m_recording.nFrames;
        return 1;
    }

  private:
    CRecording& m_recording;
};

struct CDecodeResult : CRecording {
    int nInitialized = 0;
    int nDecodeCalls = 0;  // DecodeFrame calls that returned 1
};

// Decodes the file to its end through CAudioDecoder; nMaxFrames bounds the
// DecodeFrame calls (a hang shows as a failed bound, not a stuck test).
CDecodeResult DecodeFile(const std::string& strPath, int nMaxFrames = 1000000);
