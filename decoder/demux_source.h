// The common part of the demultiplexers that join the audio payloads of a
// packetised container (program streams, transport streams, CD sectors) into
// one byte source: buffered reading of the container, and, where the
// container can seek, an index of audio offsets and the container offsets to
// resume at, so that the audio can be measured and moved in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decoder/byte_source.h"
#include "synth/caller_hooks.h"

namespace corvina {

class CDemuxSource : public CByteSource {
  public:
    CDemuxSource(std::unique_ptr<CByteSource> pInner, StopRequest fnStop);

    // Walks the whole container once where it can seek, to measure and index
    // its audio; false when it cannot seek, or a stop or nBudget container
    // bytes (where not negative) cut the walk short: the source is then read
    // once from its start, as a pipe, until an index is adopted.
    bool BuildIndex(int64_t nBudget = -1);
    // Takes the index that walked built over the same container (and the
    // ones of the demultiplexers below, layer by layer), so that this source,
    // read on as before, can seek from now on; false, leaving it as it is,
    // where the two are not alike or walked has no index.
    bool AdoptIndex(CDemuxSource& walked);
    bool AdoptIndex(CByteSource& walked) override {
        auto* pWalked = dynamic_cast<CDemuxSource*>(&walked);
        return pWalked != nullptr && AdoptIndex(*pWalked);
    }
    // Audio bytes the walk found; -1 without a walk.
    int64_t AudioBytes() const { return m_bIndexed ? m_nTotal : -1; }

    // Gives the container back, moved to where this source started in it;
    // null when it cannot be moved there.
    std::unique_ptr<CByteSource> ReleaseInner();
    // Warned once at the end when no audio byte came, on a source that could
    // not be measured beforehand.
    void SetNoAudioWarning(std::string strText, WarningReporter fnReport) {
        m_strNoAudio = std::move(strText);
        m_fnReport = std::move(fnReport);
    }

    std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) override;
    bool CanSeek() const override { return m_bIndexed; }
    int64_t Size() const override { return m_bIndexed ? m_nTotal : -1; }
    int64_t Position() const override { return m_nPosition; }
    bool Seek(int64_t nOffset) override;
    std::unique_ptr<CByteSource> ReopenFile() const override { return m_pInner->ReopenFile(); }

  protected:
    // Puts the next run of audio bytes into payload (which may stay empty);
    // nResumeAt is the container offset at which parsing can start again
    // and give these bytes first, or -1 where it cannot. False at the end.
    virtual bool ReadPayload(std::vector<uint8_t>& payload, int64_t& nResumeAt) = 0;
    // Forgets what was being parsed: the container was moved to a resume
    // point, or back to its start (where even the choice of stream is made
    // again, so that a second run gives the same bytes as the first).
    virtual void Restart(bool bFromStart) = 0;

    // The container, buffered. Reads give the count copied, short at its end.
    std::size_t ReadIn(uint8_t* pTarget, std::size_t nBytes);
    // Copies what comes next without reading past it; short at the end.
    std::size_t PeekIn(uint8_t* pTarget, std::size_t nBytes);
    // Moves on over nBytes; false where the container ends sooner.
    bool SkipIn(int64_t nBytes);
    // Offset in the container of the next byte ReadIn gives.
    int64_t InOffset() const { return m_nInOffset; }
    // The container's source; null once released.
    const CByteSource* Inner() const { return m_pInner.get(); }

  private:
    struct CEntry {
        int64_t nAudio;
        int64_t nContainer;
    };
    bool SeekIn(int64_t nOffset);
    bool FillIn(std::size_t nWanted);
    // The next payload into m_payload; false at the end.
    bool NextPayload();

    std::unique_ptr<CByteSource> m_pInner;
    StopRequest m_fnStop;
    // Container offset past which the walk reads no further.
    int64_t m_nWalkLimit = INT64_MAX;
    std::vector<uint8_t> m_in;
    std::size_t m_nInPos = 0;
    int64_t m_nInOffset = 0;
    int64_t m_nStart = 0;
    std::vector<uint8_t> m_payload;
    std::size_t m_nPayloadPos = 0;
    int64_t m_nPosition = 0;
    bool m_bEnded = false;
    bool m_bDelivered = false;
    bool m_bIndexed = false;
    int64_t m_nTotal = 0;
    std::vector<CEntry> m_index;
    std::string m_strNoAudio;
    WarningReporter m_fnReport;
};

}  // namespace corvina
