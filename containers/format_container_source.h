// The frames of the chosen MPEG audio track of a container that libavformat
// reads, as one byte source: the track's packets, joined. libavformat reads
// the container through our own byte source and opens nothing by name.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "decoder/byte_source.h"
#include "decoder/track_info.h"
#include "synth/caller_hooks.h"

struct AVFormatContext;
struct AVInputFormat;
struct AVIOContext;
struct AVPacket;

namespace corvina {

class CFormatContainerSource : public CByteSource {
  public:
    // Reads pInner, standing at its start, as a container of pFormat.
    // Of several Layer I/II tracks, choice picks one.
    CFormatContainerSource(std::unique_ptr<CByteSource> pInner, const AVInputFormat* pFormat,
                           StopRequest fnStop, CTrackChoice choice = {});
    ~CFormatContainerSource() override;
    CFormatContainerSource(const CFormatContainerSource&) = delete;
    CFormatContainerSource& operator=(const CFormatContainerSource&) = delete;

    // Whether libavformat could read the container's header; the error
    // otherwise.
    bool IsOpen() const { return m_pFormat != nullptr; }
    const std::string& OpenError() const { return m_strError; }
    // Gives the container back at its start, where it can be moved there
    // (else null), this source then giving nothing.
    std::unique_ptr<CByteSource> ReleaseInner();
    // Whether a track of MPEG audio was found (Layer I or II, or one that
    // the container names MPEG audio of any layer, as MP4 does).
    bool HasTrack() const { return m_nTrack >= 0; }
    // The tracks there are, for a sentence: "AAC audio and H.264 video".
    std::string DescribeTracks() const;
    // "AAC" where the container is that codec's own elementary stream (a
    // single track under a reader named after its codec); empty otherwise.
    std::string ElementaryCodec() const;
    // Reads the whole container once where it can seek and holds at most
    // nBudget bytes (where not negative), to measure and index the track;
    // false where it cannot or a stop cut it short: the source is then read
    // once, as a pipe.
    bool BuildIndex(int64_t nBudget);
    // Reads the track's first packet ahead, to be given as ever; false
    // where there is none to read. An MP4 read from a pipe with its index
    // after its media has none: the packets were passed on the way.
    bool ReadAheadFirstPacket();
    // Whether the container is MP4 or QuickTime (libavformat's mov reader).
    bool IsMovFamily() const;

    std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) override;
    bool CanSeek() const override { return m_bIndexed; }
    int64_t Size() const override { return m_bIndexed ? m_nTotal : -1; }
    int64_t Position() const override { return m_nPosition; }
    bool Seek(int64_t nOffset) override;
    std::unique_ptr<CByteSource> ReopenFile() const override {
        return m_pInner != nullptr ? m_pInner->ReopenFile() : nullptr;
    }
    bool AdoptIndex(CByteSource& walked) override;
    const CTrackInfo* ContainerTrackInfo() const override {
        return HasTrack() ? &m_TrackInfo : nullptr;
    }
    std::vector<CAudioTrack> AudioTracks() const override { return m_tracks; }

  private:
    struct CPacketEntry {
        int64_t nAudio;  // audio offset of its first byte
        int64_t nPos;    // container offset, -1 where unknown
        int64_t nDts;    // decoding time stamp, INT64_MIN where unknown
        int nBytes;
    };
    // Opens libavformat on the container from its start; false on failure.
    bool OpenDemuxer();
    void CloseDemuxer();
    // Reads packets until the streams show an MPEG audio track (a container
    // that tells its streams only as their packets come), keeping the
    // packets read.
    void FindTrack();
    // The next packet of the track into m_packet; false at the end.
    bool NextPacket();
    // The next packet of the track from the container into m_packet.
    bool ReadTrackPacket(CPacketEntry& entry);
    // Puts packet nEntry of the index into m_packet: by a seek of the
    // container where it lands before that packet, else read from the start.
    bool LoadEntry(std::size_t nEntry);

    static int ReadIo(void* pOpaque, uint8_t* pBuffer, int nBytes);
    static int64_t SeekIo(void* pOpaque, int64_t nOffset, int nWhence);

    std::unique_ptr<CByteSource> m_pInner;
    const AVInputFormat* m_pInputFormat;
    StopRequest m_fnStop;
    int64_t m_nInnerStart;
    AVFormatContext* m_pFormat = nullptr;
    AVIOContext* m_pIo = nullptr;
    AVPacket* m_pPacket = nullptr;
    std::string m_strError;
    int m_nTrack = -1;
    CTrackChoice m_choice;
    std::vector<CAudioTrack> m_tracks;
    // Packets of the track read while looking for it, handed out first.
    std::deque<std::vector<uint8_t>> m_pending;
    std::vector<uint8_t> m_packet;
    std::size_t m_nPacketPos = 0;
    // Index in m_index of the packet after the one in m_packet.
    std::size_t m_nNextEntry = 0;
    int64_t m_nPosition = 0;
    bool m_bEnded = false;
    bool m_bIndexed = false;
    int64_t m_nTotal = 0;
    std::vector<CPacketEntry> m_index;
    CTrackInfo m_TrackInfo;
};

}  // namespace corvina
