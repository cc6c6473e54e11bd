// The decoder of one stream file: finds the frames, decodes their subbands,
// runs the synthesis filters and hands the PCM to a sink.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "decoder/bit_stream.h"
#include "decoder/frame_header.h"

class CAudioSink;
class CCrc16;
class CSubbandDecoder;
class CSynthesisFilter;

class CAudioDecoder {
  public:
    // Makes the PCM sink once the first frame tells the channel count, the
    // layer and the sampling frequency; a null result ends the stream.
    using SinkFactory =
        std::function<std::unique_ptr<CAudioSink>(int16_t nChannels, const CFrameHeader& header)>;

    // An empty factory plays through the wave output.
    explicit CAudioDecoder(const char* pszFileName, SinkFactory fnMakeSink = {});
    ~CAudioDecoder();
    CAudioDecoder(const CAudioDecoder&) = delete;
    CAudioDecoder& operator=(const CAudioDecoder&) = delete;

    // Finds the first frame and builds the filters and the sink; 0 when the
    // file holds no stream that can be decoded.
    int Initialize();
    // Decodes the frame in hand and reads the next; 0 once the stream ended.
    int DecodeFrame();
    // Moves to nPercent of the file between two frames: the frame in hand is
    // still decoded whole, and the next one is the first found at or after
    // the new offset. 0 when the file could not be moved.
    int SeekPercent(int nPercent);
    // Drops the frame in hand unheard and reads the next; 0 once the stream
    // ended (the sink is then closed, as at the end of DecodeFrame).
    int SkipFrame();

    CBitStream& Stream() { return m_Stream; }
    const CBitStream& Stream() const { return m_Stream; }
    const CFrameHeader& Header() const { return m_Header; }
    // Output channels: 1 or 2 once initialised.
    int Channels() const { return m_pFilter1 != nullptr ? 2 : 1; }

    // Seconds the whole file lasts at the first frame's bitrate; 0 until
    // initialised. Safe to call from any thread.
    float PlayingTime() const { return m_fPlayingTime.load(std::memory_order_relaxed); }
    // The information text of the current frame. Safe to call from any thread
    // while the decoder lives.
    std::string FormatStreamInfo() const;
    // Shows FormatStreamInfo as information.
    void ShowStreamInfo() const;

    // Bytes of storage for one subband decoder of any class.
    static constexpr std::size_t kSubbandBytes = 256;

  private:
    void CreateSubbands();
    void DestroySubbands();
    void DecodeAudio();
    // The scalefactors and the sample loop of one frame whose subbands below
    // nBound are of class TLow and the rest of class THigh: the calls of the
    // sample loop need no look-up in the virtual table.
    template <class TLow, class THigh>
    void DecodeAudioOf(int nBound, int nSblimit);

    int m_nLayer = 0;
    int m_nInitialMode = 0;
    int m_nInitialFrequencyIndex = 0;
    std::atomic<float> m_fPlayingTime{0.0f};
    int m_nChannelSelector = 0;
    std::string m_strFileName;
    SinkFactory m_fnMakeSink;
    CBitStream m_Stream;
    CFrameHeader m_Header;
    CCrc16* m_pCrc = nullptr;
    CSubbandDecoder* m_pSubbands[32] = {};
    int m_nSubbands = 0;
    // What CreateSubbands made: the layer, whether the frame is single
    // channel, and the first subband of the joint class.
    int m_nSubbandLayer = 0;
    bool m_bSubbandSingle = false;
    int m_nSubbandBound = 0;
    std::unique_ptr<CSynthesisFilter> m_pFilter0;
    std::unique_ptr<CSynthesisFilter> m_pFilter1;
    std::unique_ptr<CAudioSink> m_pSink;
    // The subband decoders of a frame live here rather than on the heap.
    alignas(std::max_align_t) unsigned char m_bSubbandStorage[32][kSubbandBytes];
};
