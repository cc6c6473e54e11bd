// The PCM sink: where the synthesis filters hand their 16-bit samples.
#pragma once

#include <cstdint>

namespace corvina {

// What a sink is made for: the stream as its first frame describes it.
struct CStreamFormat {
    int nChannels = 2;            // 1 or 2
    int nSampleRate = 44100;      // Hz
    int nSamplesPerFrame = 1152;  // per channel: 384 for Layer I, 1152 for Layer II
};

class CAudioSink {
  public:
    virtual ~CAudioSink() = default;
    // One sample of one channel (0 or 1); the filters of a two-channel stream
    // alternate 32 samples of channel 0 with 32 samples of channel 1.
    virtual void WriteSample(int16_t nChannel, int16_t nSample) = 0;
    // nCount samples of one channel in time order, as the filters hand over
    // a whole slot; the same as that many WriteSample calls.
    virtual void WriteSamples(int16_t nChannel, const int16_t* pSamples, int nCount) {
        for (int i = 0; i < nCount; ++i) {
            WriteSample(nChannel, pSamples[i]);
        }
    }
    // Called once after every decoded frame; 0 when a wait was given up for a stop.
    virtual int32_t EndFrame() = 0;
    // Whether the sink goes on in a new sample rate or channel count when the
    // stream changes to it (a device reopened, a file continued in another);
    // one that does not keeps its first format, and the decoder goes on in
    // that. The same answer for the sink's whole life.
    virtual bool FollowsFormat() const { return false; }
    // The frames from here on are in format; called where FollowsFormat.
    virtual void ChangeFormat(const CStreamFormat& /*format*/) {}
};

}  // namespace corvina
