// A stream handle in the shape of libmpg123's: opened over a file, a block
// of memory or bytes pushed in as they come, read as interleaved signed
// 16-bit PCM at the stream's own rate, moved to any sample and measured in
// samples. The whole decoder stands behind it: tags skipped, the container
// readers of the library (WAVE, program and transport streams, CD sectors)
// and the one a program has registered for the rest.
#pragma once

#include <corvina/warnings.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace corvina {

class CByteSource;

// What a call did; the errors are negative. The values are those of the C
// interface's results.
enum class EStreamResult {
    Ok = 0,         // done; Read gave samples (maybe none)
    NewFormat = 1,  // the format is known or changed: ask Format, read on
    NeedMore = 2,   // a fed stream has used up its bytes: feed more
    Done = 3,       // the stream has ended
    ErrArgument = -1,
    ErrMemory = -2,
    ErrOpen = -3,     // the file could not be opened or read
    ErrSeek = -4,     // this stream cannot move, or not there
    ErrNoStream = -5  // no Layer I/II frame was found
};

// The samples Read gives from the last NewFormat on.
struct CPcmFormat {
    long nRate = 0;     // Hz
    int nChannels = 0;  // 1 or 2
};

class CStream {
  public:
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
    // many. NewFormat comes before the first samples and before those of a
    // new rate or channel count, with none read.
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

    // The text of a result.
    static const char* ResultText(EStreamResult eResult);

  private:
    struct CImpl;
    std::unique_ptr<CImpl> m_pImpl;
};

}  // namespace corvina
