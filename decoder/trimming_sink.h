// A sink in front of another that drops the first samples of every channel:
// the part of a frame that lies before a seek's target, or, with no sink
// behind it, a whole frame decoded only to fill the synthesis history.
#pragma once

#include <algorithm>
#include <cstdint>

#include "synth/audio_sink.h"

namespace corvina {

class CTrimmingSink : public CAudioSink {
  public:
    // Drops nDrop samples of each channel and hands the rest to pTarget; a
    // null pTarget takes everything, end of frame included.
    CTrimmingSink(CAudioSink* pTarget, int64_t nDrop) : m_pTarget(pTarget), m_nDrop(nDrop) {}

    void WriteFrame(std::span<const int16_t> samples, int nChannels) override {
        const auto nStride = static_cast<std::size_t>(nChannels);
        const auto nDropped = static_cast<std::size_t>(
            std::clamp<int64_t>(m_nDrop, 0, static_cast<int64_t>(samples.size() / nStride)));
        m_nDrop -= static_cast<int64_t>(nDropped);
        if (m_pTarget != nullptr && nDropped * nStride < samples.size()) {
            m_pTarget->WriteFrame(samples.subspan(nDropped * nStride), nChannels);
        }
    }
    int32_t EndFrame() override { return m_pTarget != nullptr ? m_pTarget->EndFrame() : 1; }

  private:
    CAudioSink* m_pTarget;
    int64_t m_nDrop;
};

}  // namespace corvina
