// The walk over a stream's frame headers, without decoding: how many frames
// and samples it holds, whether its bitrate is constant, and where every
// sixteenth frame starts, so that a time can be found without a guess.
#pragma once

#include <cstdint>
#include <vector>

#include "synth/caller_hooks.h"

namespace corvina {

class CBitStream;

class CFrameIndex {
  public:
    // Walks from the stream's position to its end and moves it back; false
    // when the stream cannot seek, or fnStop or more than nBudget bytes
    // (where not negative) cut the walk short.
    bool Build(CBitStream& stream, const StopRequest& fnStop, int64_t nBudget = -1);

    bool IsBuilt() const { return m_bBuilt; }
    // Whether the last Build stopped at its budget, the stream going on.
    bool WasCutShort() const { return m_bCutShort; }
    // Whether every frame has the first one's bitrate (and layer and rate).
    bool IsConstantBitrate() const { return m_bConstant; }
    int64_t Frames() const { return m_nFrames; }
    // Samples per channel in the whole stream.
    int64_t Samples() const { return m_nSamples; }
    // Bytes from the first frame counted to the end of the last.
    int64_t WalkedBytes() const { return m_offsets.empty() ? 0 : m_nEndOffset - m_offsets[0]; }
    // The first frame's sampling frequency; 0 for an empty stream.
    int SampleRate() const { return m_nSampleRate; }

    // Moves the stream to the first frame that starts at or after sample
    // nSample (or to the end); nStartSample is where that frame starts.
    // False when the stream could not be moved.
    bool MoveTo(CBitStream& stream, int64_t nSample, int64_t& nStartSample,
                const StopRequest& fnStop) const;
    // The first sample of the frame that starts nearest to byte nOffset, as
    // far as the entries tell without reading the stream: within a frame
    // where the frames of an entry are alike in length.
    int64_t SampleNear(int64_t nOffset) const;

  private:
    static constexpr int64_t kFramesPerEntry = 16;

    bool m_bBuilt = false;
    bool m_bCutShort = false;
    bool m_bConstant = true;
    int64_t m_nFrames = 0;
    int64_t m_nSamples = 0;
    int m_nSampleRate = 0;
    // Byte offset and first sample of frames 0, 16, 32 and so on.
    std::vector<int64_t> m_offsets;
    std::vector<int64_t> m_firstSamples;
    // Where the last frame ends.
    int64_t m_nEndOffset = 0;
};

}  // namespace corvina
