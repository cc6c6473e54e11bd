// A stream handle in the shape of libmpg123's: opened over a file, a block
// of memory or bytes pushed in as they come, read as interleaved signed
// 16-bit PCM at the stream's own rate, moved to any sample and measured in
// samples. The whole decoder stands behind it: tags skipped, the container
// readers of the library (WAVE, program and transport streams, CD sectors)
// and the one a program has registered for the rest. It also tells what the
// stream is (its description, tracks and tags) and decodes a whole file on
// several cores.
#pragma once

#include <corvina/audio_track.h>
#include <corvina/decode_choices.h>
#include <corvina/start_point.h>
#include <corvina/track_info.h>
#include <corvina/warnings.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace corvina {

class CByteSource;

// What a call did; the errors are negative. The values are those of the C
// interface's results (ErrDecode comes from a call that it does not have).
enum class EStreamResult {
    Ok = 0,         // done; Read gave samples (maybe none)
    NewFormat = 1,  // the format is known or changed: ask Format, read on
    NeedMore = 2,   // a fed stream has used up its bytes: feed more
    Done = 3,       // the stream has ended
    ErrArgument = -1,
    ErrMemory = -2,
    ErrOpen = -3,      // the file could not be opened or read
    ErrSeek = -4,      // this stream cannot move, or not there
    ErrNoStream = -5,  // no Layer I/II frame was found
    ErrDecode = -6     // a decode on several threads failed: FailureReason says why
};

// The samples Read gives from the last NewFormat on.
struct CPcmFormat {
    long nRate = 0;     // Hz
    int nChannels = 0;  // 1 or 2
};

// The frame in hand as the description names its parts: "48 kHz", "joint
// stereo", "192 kbit/s"; empty where a field holds a reserved value.
struct CFrameNames {
    std::string strSampleRate;
    std::string strMode;
    std::string strBitrate;
};

// Takes the samples of whole frames in order, interleaved in format; false
// stops the decode (the samples still under way are dropped).
using BlockWriter = std::function<bool(std::span<const int16_t> samples, const CPcmFormat& format)>;

class CStream {
  public:
    // Threads DecodeOnThreads runs at most: each holds a segment or two of
    // samples in memory, and more would cost more memory than any machine
    // gains.
    static constexpr int kMaxThreads = 64;

    CStream();
    ~CStream();
    CStream(CStream&&) noexcept;
    CStream& operator=(CStream&&) noexcept;

    // Where the warnings go from now on; empty: dropped.
    void SetWarningHandler(WarningHandler fnHandler);
    // Whether a long file's frames are counted on a thread of their own
    // while it plays (its length and seeks go by the bitrate until that
    // walk comes in) instead of before the open returns. Off by default:
    // Length and Seek are exact at once. For the streams opened from now on.
    void SetBackgroundWalk(bool bBackground);
    // Whether the frames of a stream that can seek are counted at all. On by
    // default; a caller that only reads on from the start saves the walk
    // over the file (Length is then -1, and moves go by the bitrate). For
    // the streams opened from now on.
    void SetCountFrames(bool bCount);
    // Whether Read keeps the first frame's format for the whole stream, as
    // a file with one header written ahead needs: no NewFormat follows the
    // first, frames of another channel count come in the first one's
    // channels and other rates come unmarked. Off by default. For the
    // streams opened from now on.
    void SetKeepFormat(bool bKeep);
    // The track to decode of a container that holds several; for the
    // streams opened from now on. Tracks tells which there are.
    void SetTrackChoice(const CTrackChoice& choice);
    // Whether damaged frames are concealed and what a dual-channel stream
    // gives; from the next frame decoded on, and for later streams.
    void SetDecodeChoices(const CDecodeChoices& choices);

    // Each open closes what was open. A stream with no Layer I/II frame in
    // it gives ErrNoStream, from the open or from the first Read.
    EStreamResult OpenFile(const std::string& strPath);
    // Over a copy of bytes.
    EStreamResult OpenMemory(std::span<const uint8_t> bytes);
    // Over bytes given by Feed as they come; it cannot seek or tell its
    // length.
    EStreamResult OpenFeed();
    // Over the library's own byte sources (a demultiplexer, a network
    // source): what the player engine uses. strName names it in warnings.
    EStreamResult OpenSource(std::unique_ptr<CByteSource> pSource, std::string strName);
    void Close();

    EStreamResult Feed(std::span<const uint8_t> bytes);
    // The fed input is complete: its last frame is decoded, then Done.
    EStreamResult EndFeed();

    // Reads up to pcm.size() interleaved samples into pcm, nRead telling how
    // many: as many as the stream gives in one format (a fed stream: as its
    // bytes go). NewFormat comes before the first samples and before those
    // of a new rate or channel count, with none read; the warnings raised by
    // the frames after a change come once it has been read.
    EStreamResult Read(std::span<int16_t> pcm, std::size_t& nRead);
    // The format of what Read gives; NeedMore before the first NewFormat.
    EStreamResult Format(CPcmFormat& format) const;
    // Samples per channel of the whole stream; -1 where not known (a fed
    // stream, a pipe, a long file still walked in the background).
    int64_t Length();
    // Moves to sample nSample per channel; the next Read gives the samples
    // from there on exactly as a continuous decode does. A move past the end
    // ends the stream.
    EStreamResult Seek(int64_t nSample);
    // Moves to a start point as the command line's --start does: to sample
    // round(seconds x rate), or to a percentage of the playing time; a
    // stream that cannot seek reads on from where it stands. ErrSeek, not
    // moved, where it cannot get there (a percentage of a playing time not
    // known); Done where the stream ended on the way. A NewFormat comes
    // before the samples from there, as after Seek. Not for a fed stream.
    EStreamResult MoveToStart(const CStartPoint& start);
    // Seconds the whole stream lasts: its counted frames, else its bytes at
    // the first frame's bitrate; 0 where not known.
    double PlayingTime() const;
    // Waits for the frames being counted in the background (see
    // SetBackgroundWalk), so that Length, PlayingTime and the moves go by
    // them; at once where no count runs.
    EStreamResult AwaitLength();

    // What the open found. The text that describes the stream by the frame
    // read last (the first, after the open): name, layer, mode, CRC, rate,
    // bitrate, copy and copyright flags, each line ending in a newline;
    // empty where no frame was found.
    std::string Description() const;
    // The open's error where it found no frame.
    EStreamResult FrameNames(CFrameNames& names) const;
    // The Layer I/II tracks as the container lists them (a transport stream,
    // the containers of the registered reader), in order; empty where it
    // lists none (an elementary or a program stream).
    std::vector<CAudioTrack> Tracks() const;
    // What plays as the container or the file's tags tell it, with its
    // ReplayGain; empty where nothing is told. Valid until the next open.
    const CTrackInfo& TrackInfo() const;
    // Why the open found nothing to decode (the container holds no Layer
    // I/II track, the stream is Layer III), or why DecodeOnThreads failed,
    // as a sentence; empty where not known.
    std::string FailureReason() const;
    // Whether the connection of a stream read from an address was lost on
    // the way, so that its end is not the stream's own.
    bool ConnectionLost() const;

    // Whether DecodeOnThreads would split this stream: a file opened by its
    // path that can seek, at its start or start point with nothing read, and
    // long enough for two segments of samples (a quarter of a million
    // samples per channel each).
    bool CanSplit() const;
    // Decodes the rest of the stream from its start point on up to nThreads
    // threads (at most kMaxThreads) into fnWrite, the samples exactly those
    // that Read would give, as whole runs of frames; the stream has ended
    // after it. Each warning comes once, before the samples of the segment
    // that raised it. ErrArgument where the stream cannot be split,
    // ErrDecode where a thread could not read the file again or start.
    EStreamResult DecodeOnThreads(int nThreads, const BlockWriter& fnWrite);

    // The text of a result.
    static const char* ResultText(EStreamResult eResult);

  private:
    struct CImpl;
    std::unique_ptr<CImpl> m_pImpl;
};

}  // namespace corvina
