// The decoder of one stream: finds the frames, decodes their subbands, runs
// the synthesis filters and hands the PCM to a sink. It reaches for nothing
// of its callers': they hand it the bytes, a stop request, a reporter for its
// warnings and the maker of its sink.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <corvina/start_point.h>

#include "decoder/bit_stream.h"
#include "decoder/decode_choices.h"
#include "decoder/decoder_warnings.h"
#include "decoder/frame_header.h"
#include "decoder/frame_index.h"
#include "decoder/frame_sync.h"
#include "decoder/track_info.h"
#include "synth/audio_sink.h"
#include "synth/caller_hooks.h"

namespace corvina {

class CCrc16;
class CHeaderWalker;
class CLayerDecoder;

class CAudioDecoder {
  public:
    // Makes the PCM sink once the first frame tells the format; a null result
    // (or an empty factory) ends the stream.
    using SinkFactory = std::function<std::unique_ptr<CAudioSink>(const CStreamFormat& format)>;

    // What the caller gives: the frame search gives up once fnStopRequested
    // says so, warnings go to fnReportWarning, and fnMakeSink makes the sink.
    // fnPlayingTimeChanged hears, on the decoder's thread, that the walk over
    // a long stream has come in from the background and changed the playing
    // time; the stream can seek from then on.
    struct CHooks {
        StopRequest fnStopRequested;
        WarningReporter fnReportWarning;
        SinkFactory fnMakeSink;
        std::function<void(float fPlayingTime)> fnPlayingTimeChanged = {};
        // Whether Initialize reads what plays (TrackInfo); a decoder of one
        // piece of a file among several has no use for it.
        bool bReadTrackInfo = true;
        // Whether Initialize walks the headers of a stream that can seek (for
        // the playing time and the moves); a decoder that only reads the file
        // on from its start has no use for the walk.
        bool bWalk = true;
        // Hears, on the decoder's thread, that what plays changed as the
        // stream went on (a broadcast's programme on air).
        std::function<void(const CTrackInfo& info)> fnTrackInfoChanged = {};
        // What a stream read from an address tells as it plays.
        CLiveHooks live = {};
        // The track to play of a container that holds several.
        CTrackChoice track = {};
        // Where set, every warning comes here with its code instead of to
        // fnReportWarning; those of the byte sources and containers come as
        // WARN_INPUT.
        WarningHandler fnReportCodedWarning = {};
    };

    // Bytes of the file that the walks over the container and the frame
    // headers read before the first frame; the rest is walked on a thread of
    // its own. 16 MiB take a few milliseconds from the cache and a fraction
    // of a second from a cold disk, and hold over ten minutes of Layer II at
    // 192 kbit/s: whole songs are walked before they start, as ever, and a
    // film or a recording starts at once.
    static constexpr int64_t kWalkBudget = int64_t{16} << 20;

    // Reads the file at pszFileName, opened at once; a file that cannot be
    // opened is told as a warning and makes Initialize fail.
    CAudioDecoder(const char* pszFileName, CHooks hooks, int64_t nWalkBudget = kWalkBudget);
    // Reads pSource; strName names the stream in warnings and the information
    // text.
    CAudioDecoder(std::unique_ptr<CByteSource> pSource, std::string strName, CHooks hooks,
                  int64_t nWalkBudget = kWalkBudget);
    ~CAudioDecoder();
    CAudioDecoder(const CAudioDecoder&) = delete;
    CAudioDecoder& operator=(const CAudioDecoder&) = delete;

    // Finds the first frame and builds the filters and the sink; 0 when the
    // file holds no stream that can be decoded. A stream longer than the
    // walk budget is measured in the background from here on: until that
    // walk comes in, the playing time and the moves go by the first frame's
    // bitrate, and a container that is not yet measured cannot seek.
    int Initialize();
    // Waits for the walk still under way in the background, if any, and
    // takes its result: a start point then lands on the same frame on every
    // run. False when the stop request cut the wait short.
    bool AwaitWalk();
    // Decodes the frame in hand and reads the next; 0 once the stream ended.
    int DecodeFrame();
    // Moves to nPercent of the playing time between two frames: the frame in
    // hand is still decoded whole, and the next one heard is the one that
    // holds the new place (from that sample on where the frames are
    // counted), the frames before it decoded unheard so that the filters
    // sound as in a continuous decode. 0 when the file could not be moved.
    int SeekPercent(int nPercent);
    // Whole percent of the playing time up to the end of the frame in hand;
    // of the stream's bytes where the bitrate is constant or the frames
    // could not be counted.
    int PositionPercent() const;
    // Drops the frame in hand unheard and reads the next; 0 once the stream
    // ended (the sink is then closed, as at the end of DecodeFrame).
    int SkipFrame();
    // Drops the frame in hand and moves to the frame that holds start: by a
    // seek where the stream can seek, else by reading on (which cannot reach
    // a percentage of an unknown playing time). The frames before it are
    // decoded unheard, so the filters hold what a continuous decode gives
    // them, and the next DecodeFrame hands over that frame from the start's
    // sample on (round(seconds x rate), where the frames are counted). 0 when
    // the point cannot be reached; the stream may then have ended.
    int MoveToStart(const CStartPoint& start);
    // The same to sample nSample per channel where the frames are counted
    // (CountedSamples), from the first frame's sample on; else as
    // MoveToStart at that many seconds of the first frame's rate.
    int MoveToSample(int64_t nSample);
    // Drops the frame in hand and goes on with the frame at byte nOffset, a
    // start that a walk over this stream from its beginning found, whose
    // first sample is nSample. The filters and the format stay as they are:
    // the frames decoded next fill the history. 0 when the stream could not
    // be moved or has ended there.
    int MoveToFrameAt(int64_t nOffset, int64_t nSample);
    // The byte offset where the frame in hand starts, and its first sample.
    int64_t FrameStart() const { return m_Stream.Position() - (m_Header.FrameBytes() + 4); }
    int64_t FrameSample() const { return m_nNextSample - m_Header.SamplesPerFrame(); }
    // Samples per channel of the whole stream where its frames were
    // counted; -1 where they were not (yet).
    int64_t CountedSamples() const { return m_bTimed ? m_Index.Samples() : -1; }

    // True once the stream has ended and the sink is closed.
    bool HasEnded() const { return m_pSink == nullptr; }
    CBitStream& Stream() { return m_Stream; }
    const CBitStream& Stream() const { return m_Stream; }
    // The header of the frame in hand.
    const CFrameHeader& Header() const { return m_Header; }
    // The header word of the frame last read; safe to read from any thread.
    uint32_t FrameWord() const { return m_Sync.FrameWord(); }
    // Output channels: 1 or 2 once initialised.
    int Channels() const;
    // Slots the synthesis filter of output channel nChannel has run; -1
    // where there is no such filter.
    int64_t FilterSlotsRun(int nChannel) const;
    // Takes effect from the next frame decoded on.
    void SetChoices(const CDecodeChoices& choices);
    const CDecodeChoices& Choices() const { return m_Choices; }
    // Damaged frames concealed since the start with what a move forgot
    // (see CLayerDecoder::GuessedFrames).
    int64_t GuessedFrames() const;

    // Seconds the whole file lasts: its frames counted where the stream can
    // seek and its bitrate varies, else its audio bytes at the first frame's
    // bitrate; 0 until initialised. Safe to call from any thread.
    float PlayingTime() const { return m_fPlayingTime.load(std::memory_order_relaxed); }
    // Why Initialize found nothing to play, as a sentence, where it is known
    // (the container holds no Layer I/II track, the stream is Layer III);
    // empty otherwise.
    std::string FailureReason() const;
    // The information text of the current frame. Safe to call from any thread
    // while the decoder lives.
    std::string FormatStreamInfo() const;
    // What plays, as the container or the file's tags tell it; read by
    // Initialize and unchanged after it. Safe to call from any thread while
    // the decoder lives, once Initialize has returned.
    const CTrackInfo& TrackInfo() const { return m_TrackInfo; }

  private:
    // Walks the rest of the stream from nStart on a thread of its own, or
    // here where the file cannot be read a second time.
    void StartWalk(int64_t nStart);
    // Takes the background walk's result once it is there: the container's
    // index, the frame count and the playing time.
    void AdoptWalk();
    // Seconds by the counted frames, else by the audio bytes at the first
    // frame's bitrate; 0 where neither is known.
    float MeasurePlayingTime() const;
    // Moves by the frame index to a frame far enough before nSample that
    // the frames up to it fill the filters' history; the frames read after
    // the one in hand lead up to the frame holding nSample.
    int SeekSample(int64_t nSample);
    // Fills m_TrackInfo from the container, else from the file's tags.
    void ReadTrackInfo();
    // Takes what the source tells of the track anew where it changed.
    void FollowTrackInfo();
    // Asks the sink to go on in the format of the frame in hand, which has
    // another channel count or rate than the frames before; false where it
    // keeps the old one. Without the memory for new filters the layer
    // decoder is gone.
    bool FollowFormat(bool bModeSwitch, bool bRateSwitch);
    // The hooks with fnReportWarning taking the sources' texts to
    // fnReportCodedWarning, where that is set.
    static CHooks RouteWarnings(CHooks hooks);
    void Warn(EDecoderWarning eWarning, const std::string& strText) const;
    // Tells of a burst of damaged frames starting with the frame in hand.
    void ReportConcealment(bool bForbidden) const;
    // Moves to dFraction of the audio bytes, a few frames early for the
    // history; the frames read there are decoded unheard.
    int SeekBytes(double dFraction);
    // Reads the next frame into hand and, after a move, on to the frame of
    // its target; 0 once the stream ended (the sink is then closed).
    int ReadNextFrame();
    // Decodes, unheard, the frames read after a move whose samples the
    // filters' history holds, and passes the rest up to the target.
    int WarmUp();
    int m_nLayer = 0;
    int m_nInitialMode = 0;
    int m_nInitialSampleRate = 0;
    int m_nInitialBitrate = 0;
    std::atomic<float> m_fPlayingTime{0.0f};
    int m_nChannelSelector = 0;
    std::string m_strFileName;
    // Whether m_strFileName is a path that the tag reader may open.
    bool m_bNamedFile = false;
    CTrackInfo m_TrackInfo;
    uint64_t m_nTrackInfoRevision = 0;
    CHooks m_Hooks;
    int64_t m_nWalkBudget;
    CBitStream m_Stream;
    CFrameSync m_Sync;
    CFrameHeader m_Header;
    // Where the bitrate varies, time comes from the counted frames:
    // m_nNextSample is where the frame after the one in hand starts.
    CFrameIndex m_Index;
    bool m_bTimed = false;
    int64_t m_nNextSample = 0;
    // Whether m_nNextSample was counted from the start: a move by the bytes
    // while the walk ran leaves it to be found from the index.
    bool m_bSampleCounted = true;
    // A move under way: the sample that the frames read next lead up to (-1
    // for none), or, where the samples are not counted, the byte offset
    // moved to, before which the frames read fill the history unheard;
    // whether the history is to start from silence, the move having gone
    // back to the first frame.
    int64_t m_nSeekTarget = -1;
    int64_t m_nWarmUntil = -1;
    bool m_bResetFilters = false;
    // Samples per channel at the start of the frame in hand that lie before
    // the target of a move and are not heard.
    int64_t m_nTrim = 0;
    // The walk under way in the background; null once taken or where none.
    std::unique_ptr<CHeaderWalker> m_pWalker;
    CCrc16* m_pCrc = nullptr;
    CDecodeChoices m_Choices;
    // The last frame decoded was concealed: the burst has been told of.
    bool m_bConcealing = false;
    std::unique_ptr<CLayerDecoder> m_pLayerDecoder;
    std::unique_ptr<CAudioSink> m_pSink;
};

}  // namespace corvina
