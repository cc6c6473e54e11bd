// RIFF and RF64 WAVE files with MPEG audio in them (broadcast WAVE among
// them): the bytes of the data chunk, whatever chunks stand before or after
// it.
#pragma once

#include <memory>

#include "decoder/byte_source.h"
#include "decoder/track_info.h"

namespace corvina {

class CWaveSource : public CByteSource {
  public:
    // pInner stands at the RIFF header.
    explicit CWaveSource(std::unique_ptr<CByteSource> pInner);

    // Whether a data chunk was found.
    bool HasData() const { return m_nDataStart >= 0; }
    // Gives the file back, moved to where this source started in it; null
    // when it cannot be moved there.
    std::unique_ptr<CByteSource> ReleaseInner();
    // What a broadcast wave's bext chunk before the data says: its
    // description as the title, its originator as the artist, its
    // origination date as the date.
    const CTrackInfo& BroadcastInfo() const { return m_Broadcast; }

    std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) override;
    bool CanSeek() const override { return m_pInner->CanSeek() && HasData(); }
    int64_t Size() const override { return CanSeek() ? m_nDataEnd - m_nDataStart : -1; }
    int64_t Position() const override { return m_nPosition; }
    bool Seek(int64_t nOffset) override;
    std::unique_ptr<CByteSource> ReopenFile() const override { return m_pInner->ReopenFile(); }

  private:
    // Reads the chunk headers up to the data chunk.
    void FindData();
    bool ReadAll(uint8_t* pTarget, std::size_t nBytes);
    bool SkipBytes(int64_t nBytes);
    // Takes the names of a bext chunk's first bytes.
    void ReadBroadcastNames(const uint8_t* pChunk);

    std::unique_ptr<CByteSource> m_pInner;
    int64_t m_nStart = 0;
    int64_t m_nOffset = 0;
    int64_t m_nDataStart = -1;
    int64_t m_nDataEnd = INT64_MAX;
    int64_t m_nPosition = 0;
    CTrackInfo m_Broadcast;
};

}  // namespace corvina
