// MPEG transport streams (DVB recordings) of 188-byte packets, or 192 with a
// time code before each, or 204 with check bytes after: the program map of
// the first program names the audio stream (the one chosen of its MPEG-1 and MPEG-2
// audio, else the first private-data stream whose PES packets carry an MPEG
// audio stream id), whose PES packets are put together again. A packet marked broken
// is left out, one sent twice is taken once, and after bytes lost or cut the
// packet starts are found again. The service information (SDT, EIT) names
// the first program's service, its provider and the event on air.
#pragma once

#include <array>
#include <string>

#include "decoder/demux_source.h"
#include "decoder/dvb_service_info.h"
#include "decoder/track_info.h"

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
    // The service's names as read so far, with what the source below tells.
    const CTrackInfo* ContainerTrackInfo() const override;
    uint64_t TrackInfoRevision() const override;

  protected:
    bool ReadPayload(std::vector<uint8_t>& payload, int64_t& nResumeAt) override;
    void Restart(bool bFromStart) override;

  private:
    void TakeSection(int nPid, bool bStart, const uint8_t* pData, std::size_t nBytes);
    // Adds to section what of nBytes belongs to it, reading it once whole;
    // the count of bytes taken.
    std::size_t AddToSection(int nPid, std::vector<uint8_t>& section, const uint8_t* pData,
                             std::size_t nBytes);
    // Takes the names of the chosen program's service into m_info.
    void NameService();
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
    // The sections being put together: of the PAT, the PMT, the SDT and the EIT.
    std::array<std::vector<uint8_t>, 4> m_sections;
    int m_nProgram = -1;
    std::vector<CDvbService> m_services;
    std::string m_strProgramme;
    CTrackInfo m_info;
    uint64_t m_nInfoRevision = 0;
    mutable CTrackInfo m_shown;
    CTrackChoice m_choice;
    std::vector<CAudioTrack> m_tracks;
};

}  // namespace corvina
