// MPEG-1 system streams and MPEG-2 program streams (video CD, DVD): the
// payloads of the first audio stream's packets, joined; packs, system
// headers and every other stream skipped.
#pragma once

#include "decoder/demux_source.h"

namespace corvina {

class CProgramStreamSource : public CDemuxSource {
  public:
    using CDemuxSource::CDemuxSource;

  protected:
    bool ReadPayload(std::vector<uint8_t>& payload, int64_t& nResumeAt) override;
    void Restart(bool bFromStart) override;

  private:
    // Moves to the next start code of a pack, header or packet; false at the
    // end.
    bool FindStartCode();

    int m_nStreamId = -1;
    std::vector<uint8_t> m_packet;
};

}  // namespace corvina
