// One frame of MPEG audio Layer I or II decoded from the caller's bytes into
// the caller's interleaved 16-bit PCM: no files, no threads, no allocation
// after the decoder is made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace corvina {

// What one call did with the bytes it was given.
enum class EFrameResult {
    Decoded,        // a frame was decoded into the PCM
    NeedMoreBytes,  // a frame starts here but is not all there; nothing consumed
    SkippedJunk,    // bytes that start no frame were passed
    CrcError,       // a frame failed its check; the PCM holds the last good frame fading out
    NotLayer12,     // a Layer III frame was passed
};

// What a call found, filled on every result.
struct CFrameInfo {
    std::size_t nBytes = 0;  // consumed: the caller moves on by this many
    int nLayer = 0;          // 1 or 2; 3 for a frame passed as NotLayer12
    int nChannels = 0;       // of the PCM written: 1 or 2
    int nSampleRate = 0;     // Hz
    int nBitrate = 0;        // bit/s
    int nSamples = 0;        // per channel written: 384 or 1152, 0 where none
};

// The longest frame's interleaved samples: 1152 per channel, two channels.
inline constexpr std::size_t kMaxFrameSamples = 2 * 1152;

class CFrameDecoder {
  public:
    CFrameDecoder();
    ~CFrameDecoder();
    CFrameDecoder(CFrameDecoder&&) noexcept;
    CFrameDecoder& operator=(CFrameDecoder&&) noexcept;

    // Decodes the first frame in bytes into pcm (kMaxFrameSamples at least),
    // or passes what comes before it. A frame is taken once its whole length
    // is there; the caller gives the bytes that follow a frame on the next
    // call.
    EFrameResult DecodeFrame(std::span<const uint8_t> bytes, std::span<int16_t> pcm,
                             CFrameInfo& info);
    // The same without decoding: finds the first frame and tells its length
    // and format; the synthesis history is not touched.
    EFrameResult PeekFrame(std::span<const uint8_t> bytes, CFrameInfo& info);
    // Forgets the synthesis history and the free-format length, as for a
    // new stream.
    void Reset();

  private:
    struct CState;
    std::unique_ptr<CState> m_pState;
};

// DecodeFrame as a free function, in the shape of other frame decoders.
inline EFrameResult DecodeFrame(CFrameDecoder& state, std::span<const uint8_t> bytes,
                                std::span<int16_t> pcm, CFrameInfo& info) {
    return state.DecodeFrame(bytes, pcm, info);
}

}  // namespace corvina
