// Video-CD files in RIFF CDXA form: raw 2352-byte sectors, each with 24 bytes
// of sync and headers before its payload of 2324 (form 2) or 2048 (form 1)
// bytes. This source joins the payloads; a program stream source reads them.
#pragma once

#include "decoder/demux_source.h"

namespace corvina {

class CCdxaSource : public CDemuxSource {
  public:
    // pInner stands at the RIFF header.
    CCdxaSource(std::unique_ptr<CByteSource> pInner, StopRequest fnStop);

  protected:
    bool ReadPayload(std::vector<uint8_t>& payload, int64_t& nResumeAt) override;
    void Restart(bool bFromStart) override;

  private:
    // Container offsets of the first sector and of the end of the data.
    int64_t m_nDataStart = -1;
    int64_t m_nDataEnd = -1;
    bool m_bRiffRead = false;
};

}  // namespace corvina
