// MPEG transport streams (DVB recordings) of 188-byte packets, or 192 with a
// time code before each, or 204 with check bytes after: the program map of
// the first program names the audio stream (the one chosen of its MPEG-1 and MPEG-2
// audio, else the first private-data stream whose PES packets carry an MPEG
// audio stream id), whose PES packets are put together again. A packet marked broken
// is left out, one sent twice is taken once, and after bytes lost or cut the
// packet starts are found again.
#pragma once

#include "decoder/demux_source.h"

namespace corvina {

class CTransportStreamSource : public CDemuxSource {
  public:
    // Of several MPEG audio streams in the map, choice picks one.
    CTransportStreamSource(std::unique_ptr<CByteSource> pInner, StopRequest fnStop,
                           int nPacketBytes, CTrackChoice choice = {});

    // The packet size (188, 192 or 204) whose sync bytes the start shows; 0
    // for none.
    static int DetectPacketBytes(const uint8_t* pStart, std::size_t nBytes);

    // The MPEG audio streams of the map, once it has been read.
    std::vector<CAudioTrack> AudioTracks() const override { return m_tracks; }

  protected:
    bool ReadPayload(std::vector<uint8_t>& payload, int64_t& nResumeAt) override;
    void Restart(bool bFromStart) override;

  private:
    void TakeSection(int nPid, bool bStart, const uint8_t* pData, std::size_t nBytes);
    void ParseSection(int nPid, const uint8_t* pSection, std::size_t nBytes);
    void TakeAudio(const uint8_t* pPacket, const uint8_t* pData, std::size_t nBytes,
                   std::vector<uint8_t>& payload, bool& bResume);
    // Moves to the next place where packets start again; false at the end.
    bool Resync();
    bool IsPrivateAudio(int nPid, const uint8_t* pData, std::size_t nBytes) const;
    // The language and kind that the descriptors from pInfo to pEnd tell.
    static CAudioTrack DescribeTrack(const uint8_t* pInfo, const uint8_t* pEnd);

    int m_nPacketBytes;
    int m_nSyncAt;
    int m_nPmtPid = -1;
    int m_nAudioPid = -1;
    // Where the map names no MPEG audio: its private-data streams.
    std::vector<int> m_privatePids;
    int m_nLastCounter = -1;
    bool m_bDropping = true;
    // Payload bytes of the current PES packet still to come; -1: unbounded.
    int64_t m_nPesLeft = -1;
    int m_nSectionPid = -1;
    std::vector<uint8_t> m_section;
    CTrackChoice m_choice;
    std::vector<CAudioTrack> m_tracks;
};

}  // namespace corvina
