// A PCM sink that keeps every sample per channel, and a decode of a whole
// stream into one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decoder/audio_decoder.h"
#include "synth/audio_sink.h"
#include "synth/caller_hooks.h"

struct CRecording {
    int nChannels = 0;
    int nFrames = 0;  // EndFrame calls
    std::vector<int16_t> nSamples[2];
};

// Records into a CRecording that outlives it (the decoder deletes its sink
// at the end of the stream).
class CRecordingSink : public corvina::CAudioSink {
  public:
    explicit CRecordingSink(CRecording& recording) : m_recording(recording) {}
    void WriteFrame(std::span<const int16_t> samples, int nChannels) override {
        for (std::size_t i = 0; i < samples.size(); ++i) {
            m_recording.nSamples[i % static_cast<std::size_t>(nChannels)].push_back(samples[i]);
        }
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

// Makes recording sinks into recording, telling it the channel count.
corvina::CAudioDecoder::SinkFactory RecordingSinkFactory(CRecording& recording);

// Decodes the bytes (read from memory) or the file to the end through
// CAudioDecoder, warnings going to fnReport; nMaxFrames bounds the
// DecodeFrame calls (a hang shows as a failed bound, not a stuck test).
CDecodeResult DecodeBytes(std::vector<uint8_t> bytes, corvina::WarningReporter fnReport = {},
                          int nMaxFrames = 1000000, const corvina::CDecodeChoices& choices = {});
CDecodeResult DecodeFile(const std::string& strPath, corvina::WarningReporter fnReport = {},
                         int nMaxFrames = 1000000, const corvina::CDecodeChoices& choices = {});
