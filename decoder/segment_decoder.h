// Decodes one stream file on several threads. Frames carry nothing from one
// to the next but the synthesis filters' history, so the stream is cut into
// segments of consecutive frames, and each worker decodes those it takes
// with a decoder of its own: a thread beside them walks the frame headers
// once and tells the workers where every frame starts, a worker moves to a
// few frames before its segment, decodes those unheard to restore the
// filters, and records what the segment gives. The caller's thread hands
// the recordings to the sink in order, so the sink receives exactly the
// samples of a one-thread decode.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <utility>

#include <corvina/stream.h>

#include "decoder/audio_decoder.h"
#include "synth/audio_sink.h"
#include "synth/caller_hooks.h"

namespace corvina {

class CSegmentDecoder {
  public:
    // Samples per channel of a segment: enough that the frames decoded twice
    // and the hand-over cost nothing, few enough that the segments in flight
    // stay a megabyte or two each. Layer I has a third of Layer II's samples
    // per frame, and so three times its frames per segment.
    static constexpr int kSegmentSamples = 256 * 1152;
    // The stream handle's bound, which runs this decoder for its callers.
    static constexpr int kMaxThreads = CStream::kMaxThreads;

    // Takes the samples of whole frames at once, nChannels interleaved, as
    // a WriteFrame and an EndFrame call for each frame would; false where
    // the sink wants them frame by frame after all.
    using BlockWriter = std::function<bool(std::span<const int16_t> samples, int nChannels)>;

    // Frames per segment for frames of nSamplesPerFrame samples.
    static int SegmentFrames(int nSamplesPerFrame);

    // strPath names a file that every worker opens for itself; start is
    // where the one-thread decode began (every worker moves there too).
    // Warnings go to fnReport, each text once; every worker decodes track
    // with choices.
    CSegmentDecoder(std::string strPath, CStartPoint start, WarningReporter fnReport,
                    const CDecodeChoices& choices = {}, CTrackChoice track = {});

    // Whether the stream that decoder has opened from strPath (and started)
    // is worth splitting: a file that can be opened again, with at least two
    // segments' worth of frames.
    // nSegmentFrames 0: by SegmentFrames.
    static bool CanSplit(const CAudioDecoder& decoder, const std::string& strPath,
                         int nSegmentFrames = 0);

    // Where set, runs of frames alike go to fnWrite rather than to the sink
    // frame by frame (the sink given to Run is the one fnWrite writes to).
    void SetBlockWriter(BlockWriter fnWrite) { m_fnBlockWriter = std::move(fnWrite); }
    // Where set, the warnings come here with their codes instead of to the
    // reporter given at construction.
    void SetWarningHandler(WarningHandler fnHandler) { m_fnCoded = std::move(fnHandler); }

    // Decodes the stream on nThreads workers (at most kMaxThreads) into
    // sink, nSegmentFrames frames a segment (0: by SegmentFrames); stops
    // early once fnStop says so (it is asked between segments).
    // False when a worker could not open the file again or ran out of
    // memory, with the reason in strReason.
    bool Run(CAudioSink& sink, int nThreads, const StopRequest& fnStop, std::string& strReason,
             int nSegmentFrames = 0);

  private:
    std::string m_strPath;
    CStartPoint m_start;
    CDecodeChoices m_choices;
    WarningReporter m_fnReport;
    WarningHandler m_fnCoded;
    CTrackChoice m_track;
    BlockWriter m_fnBlockWriter;
};

}  // namespace corvina
