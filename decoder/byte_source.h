// Where the decoder's bytes come from: a file, standard input or a pipe, a
// block of memory, or a demultiplexer over another source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "decoder/audio_track.h"

namespace corvina {

struct CTrackInfo;

class CByteSource {
  public:
    virtual ~CByteSource() = default;

    // Reads up to nBytes into pBuffer; the count read, 0 at the end of the
    // source (or after a read error, which ends it too).
    virtual std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) = 0;
    // Whether Seek and Size can be used. A source that cannot seek is read
    // from start to end once.
    virtual bool CanSeek() const { return false; }
    // Bytes in the whole source; -1 when unknown.
    virtual int64_t Size() const { return -1; }
    // Offset of the next byte Read gives.
    virtual int64_t Position() const = 0;
    // Moves to nOffset (0 .. Size()); false when the source cannot seek or the
    // move failed, the position then being unchanged.
    virtual bool Seek(int64_t /*nOffset*/) { return false; }
    // A second source, independent of this one, over the file (or memory)
    // that this source reads, under any demultiplexer in between, standing
    // where this one started: what a walk on another thread reads. Null
    // where there is none, as for pipes and standard input.
    virtual std::unique_ptr<CByteSource> ReopenFile() const { return nullptr; }
    // Takes the index that a walk over the same container built in walked
    // (a source over ReopenFile's copy), so that this source, read on as
    // before, can seek from now on; false, leaving it as it is, where the two
    // are not alike or walked has no index.
    virtual bool AdoptIndex(CByteSource& /*walked*/) { return false; }
    // What a container read whole tells of the track it carries (its own
    // tags); null where the file's tags are read by the tag reader instead.
    virtual const CTrackInfo* ContainerTrackInfo() const { return nullptr; }
    // Grows each time what ContainerTrackInfo tells changes as the source is
    // read (a broadcast's programme on air, a server's station name).
    virtual uint64_t TrackInfoRevision() const { return 0; }
    // The Layer I/II tracks of the container read, in its order; empty for
    // a source that is no such container (one track, then).
    virtual std::vector<CAudioTrack> AudioTracks() const { return {}; }
};

// Reads until nBytes are in pBuffer or the source ends; the count read.
inline std::size_t ReadFully(CByteSource& source, uint8_t* pBuffer, std::size_t nBytes) {
    std::size_t nDone = 0;
    while (nDone < nBytes) {
        const std::size_t nRead = source.Read(pBuffer + nDone, nBytes - nDone);
        if (nRead == 0) {
            break;
        }
        nDone += nRead;
    }
    return nDone;
}

}  // namespace corvina
