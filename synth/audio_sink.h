// The PCM sink: where the decoder hands each frame's 16-bit samples.
#pragma once

#include <cstdint>
#include <span>

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
    // A frame's samples in time order, nChannels (1 or 2) interleaved: left,
    // right, left ... The decoder's channels are those of the sink's format.
    // Once per frame before EndFrame; a frame cut at a seek's target is
    // shorter.
    virtual void WriteFrame(std::span<const int16_t> samples, int nChannels) = 0;
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
