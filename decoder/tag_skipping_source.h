// The audio between a file's tags: reads start after a leading ID3v2 tag and,
// where the source can seek, end before the tags at its end (ID3v1, APEv1 or
// APEv2, Lyrics3v2, an ID3v2 tag with a footer, in any order). Offsets stay
// those of the source under it, so positions and percents count the whole
// file.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "decoder/byte_source.h"

namespace corvina {

class CTagSkippingSource : public CByteSource {
  public:
    // Looks at pInner from where it stands and stands after the leading tag.
    explicit CTagSkippingSource(std::unique_ptr<CByteSource> pInner);

    std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) override;
    bool CanSeek() const override { return m_pInner->CanSeek(); }
    int64_t Size() const override { return m_pInner->Size(); }
    int64_t Position() const override { return m_nPosition; }
    bool Seek(int64_t nOffset) override;
    std::unique_ptr<CByteSource> ReopenFile() const override { return m_pInner->ReopenFile(); }
    bool AdoptIndex(CByteSource& walked) override { return m_pInner->AdoptIndex(walked); }
    const CTrackInfo* ContainerTrackInfo() const override { return m_pInner->ContainerTrackInfo(); }
    uint64_t TrackInfoRevision() const override { return m_pInner->TrackInfoRevision(); }
    std::vector<CAudioTrack> AudioTracks() const override { return m_pInner->AudioTracks(); }

    // Offset of the first byte that can hold audio, and of the byte after
    // the last (INT64_MAX where the end is not known).
    int64_t AudioStart() const { return m_nAudioStart; }
    int64_t AudioEnd() const { return m_nAudioEnd; }
    CByteSource& Inner() const { return *m_pInner; }
    // The leading ID3v2 tag, header and all: kept as it was read from a
    // source that cannot seek, read again from one that can. Empty where
    // there is none, it is cut short or longer than kMaxKeptTagBytes.
    std::vector<uint8_t> LeadingTag();
    static constexpr int64_t kMaxKeptTagBytes = 16 << 20;

  private:
    void SkipLeadingTag();
    void FindTrailingTags();
    int64_t TagBytesBefore(int64_t nEnd);
    // The nBytes at nOffset of the source under this one.
    bool ReadAt(int64_t nOffset, uint8_t* pTarget, std::size_t nBytes);
    std::size_t ReadInner(uint8_t* pTarget, std::size_t nBytes);

    std::unique_ptr<CByteSource> m_pInner;
    // The first bytes of a source that cannot seek, read to look at them and
    // given again.
    std::vector<uint8_t> m_head;
    std::size_t m_nHeadPos = 0;
    std::vector<uint8_t> m_leadingTag;
    int64_t m_nPosition = 0;
    int64_t m_nAudioStart = 0;
    int64_t m_nAudioEnd = INT64_MAX;
};

}  // namespace corvina
