// Decodes one stream file on several threads. Frames carry nothing from one
// to the next but the synthesis filters' history, so the stream is cut into
// segments of consecutive frames, and each worker decodes its own with a
// decoder of its own: it reads the headers of the frames before its segment
// without decoding them, decodes the last few of those unheard to restore
// the filters, and records what the segment gives. The caller's thread
// hands the recordings to the sink in order, so the sink receives exactly
// the calls of a one-thread decode.
#pragma once

#include <cstdint>
#include <string>

#include "decoder/audio_decoder.h"
#include "synth/audio_sink.h"
#include "synth/caller_hooks.h"

namespace corvina {

class CSegmentDecoder {
  public:
    // Frames per segment: enough that the frames decoded twice cost nothing,
    // few enough that the segments in flight stay a few megabytes each.
    static constexpr int kDefaultSegmentFrames = 256;
    // Every worker holds a segment or two of samples in memory: more
    // threads than this would cost more memory than any machine gains.
    static constexpr int kMaxThreads = 64;

    // strPath names a file that every worker opens for itself; start is
    // where the one-thread decode began (every worker moves there too).
    // Warnings go to fnReport, each text once; every worker decodes track
    // with choices.
    CSegmentDecoder(std::string strPath, CStartPoint start, WarningReporter fnReport,
                    const CDecodeChoices& choices = {}, CTrackChoice track = {});

    // Whether the stream that decoder has opened from strPath (and started)
    // is worth splitting: a file that can be opened again, with at least two
    // segments' worth of frames.
    static bool CanSplit(const CAudioDecoder& decoder, const std::string& strPath,
                         int nSegmentFrames = kDefaultSegmentFrames);

    // Decodes the stream on nThreads workers (at most kMaxThreads) into
    // sink; stops early once fnStop says so (it is asked between segments).
    // False when a worker could not open the file again or ran out of
    // memory, with the reason in strReason.
    bool Run(CAudioSink& sink, int nThreads, const StopRequest& fnStop, std::string& strReason,
             int nSegmentFrames = kDefaultSegmentFrames);

  private:
    std::string m_strPath;
    CStartPoint m_start;
    CDecodeChoices m_choices;
    WarningReporter m_fnReport;
    CTrackChoice m_track;
};

}  // namespace corvina
