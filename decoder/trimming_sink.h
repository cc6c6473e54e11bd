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
    // Drops nDrop samples of each channel and hands the rest to pTarget;
    // a null pTarget takes everything, end of frame included.
    CTrimmingSink(CAudioSink* pTarget, int64_t nDrop) : m_pTarget(pTarget), m_nDrop{nDrop, nDrop} {}

    void WriteSample(int16_t nChannel, int16_t nSample) override {
        WriteSamples(nChannel, &nSample, 1);
    }
    void WriteSamples(int16_t nChannel, const int16_t* pSamples, int nCount) override {
        int64_t& nDrop = m_nDrop[nChannel & 1];
        const int nDropped = static_cast<int>(std::clamp<int64_t>(nDrop, 0, nCount));
        nDrop -= nDropped;
        if (m_pTarget != nullptr && nDropped < nCount) {
            m_pTarget->WriteSamples(nChannel, pSamples + nDropped, nCount - nDropped);
        }
    }
    int32_t EndFrame() override { return m_pTarget != nullptr ? m_pTarget->EndFrame() : 1; }

  private:
    CAudioSink* m_pTarget;
    int64_t m_nDrop[2];
};

}  // namespace corvina
