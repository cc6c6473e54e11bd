// Bytes already read from a source that cannot go back, given again before
// the rest of it: what the look at a pipe's first bytes took.
#pragma once

#include <memory>
#include <vector>

#include "decoder/byte_source.h"

namespace corvina {

class CReplaySource : public CByteSource {
  public:
    CReplaySource(std::vector<uint8_t> taken, std::unique_ptr<CByteSource> pInner)
        : m_taken(std::move(taken)), m_pInner(std::move(pInner)) {}

    std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) override;
    int64_t Position() const override { return m_nPosition; }
    const CTrackInfo* ContainerTrackInfo() const override { return m_pInner->ContainerTrackInfo(); }
    uint64_t TrackInfoRevision() const override { return m_pInner->TrackInfoRevision(); }

  private:
    std::vector<uint8_t> m_taken;
    std::size_t m_nTakenPos = 0;
    std::unique_ptr<CByteSource> m_pInner;
    int64_t m_nPosition = 0;
};

}  // namespace corvina
