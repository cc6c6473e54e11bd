// Segments, their workers and the hand-over in order. A thread of its own
// walks the frames as a one-thread decode reads them (skipping a frame costs
// its header and a copy, not its decoding) and tells the workers where each
// starts, so each segment holds exactly the frames that the one-thread
// decode numbers alike, whatever junk, tags or odd frames the stream holds.
// A worker checks every frame it reads against the walk, and reads the file
// from its start as the walk did where the two ever disagree.
#include "decoder/segment_decoder.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "synth/synthesis_filter.h"

namespace corvina {

namespace {

// Frames the walk hands to the workers at once.
constexpr std::size_t kWalkChunk = 1024;

// What one segment gave: the sink calls in order, and the warnings its
// frames raised.
struct CSegmentRecording {
    // A frame's samples in nKind (1 or 2) channels, the end of a frame (-1),
    // or the stream going on in the next of formats (-2).
    struct CRun {
        int16_t nKind;
        int32_t nCount;
    };
    std::vector<int16_t> nSamples;
    std::vector<CRun> runs;
    std::vector<std::pair<EDecoderWarning, std::string>> warnings;
    // The format the segment starts in, and those it changes to.
    CStreamFormat startFormat;
    std::vector<CStreamFormat> formats;
    // The stream ended within this segment (or before it).
    bool bLast = false;
    bool bFailed = false;
    std::string strReason;

    // Empties the recording and keeps its memory for the next segment.
    void Clear() {
        nSamples.clear();
        runs.clear();
        warnings.clear();
        formats.clear();
        bLast = false;
        bFailed = false;
        strReason.clear();
    }
    // current: the format the sink is in, kept up to date. Frames alike in
    // their channels go to fnBlock together, where it takes them.
    void ReplayInto(CAudioSink& sink, CStreamFormat& current,
                    const CSegmentDecoder::BlockWriter& fnBlock) const {
        auto Follow = [&](const CStreamFormat& format) {
            if (sink.FollowsFormat() && (format.nSampleRate != current.nSampleRate ||
                                         format.nChannels != current.nChannels)) {
                sink.ChangeFormat(format);
                current = format;
            }
        };
        Follow(startFormat);
        std::size_t nAt = 0;
        std::size_t nFormat = 0;
        for (std::size_t r = 0; r < runs.size();) {
            const CRun& run = runs[r];
            if (run.nKind == -2) {
                Follow(formats[nFormat++]);
                ++r;
                continue;
            }
            // The frames up to the next change of channels or format.
            std::size_t nEnd = r;
            std::size_t nCount = 0;
            while (nEnd < runs.size() &&
                   (runs[nEnd].nKind == -1 || runs[nEnd].nKind == run.nKind)) {
                nCount += runs[nEnd].nKind > 0 ? static_cast<std::size_t>(runs[nEnd].nCount) : 0;
                ++nEnd;
            }
            if (fnBlock && run.nKind > 0 &&
                fnBlock(std::span<const int16_t>(nSamples.data() + nAt, nCount), run.nKind)) {
                nAt += nCount;
                r = nEnd;
                continue;
            }
            for (; r < nEnd; ++r) {
                if (runs[r].nKind < 0) {
                    sink.EndFrame();
                } else {
                    const auto nFrame = static_cast<std::size_t>(runs[r].nCount);
                    sink.WriteFrame(std::span<const int16_t>(nSamples.data() + nAt, nFrame),
                                    runs[r].nKind);
                    nAt += nFrame;
                }
            }
        }
    }
};

// The sink of a worker's decoder: records into the segment being decoded,
// and drops what the frames before it give.
class CRecordingSink : public CAudioSink {
  public:
    // bFollows: whether the sink the segments go to follows format changes.
    CRecordingSink(const CStreamFormat& format, bool bFollows)
        : m_format(format), m_bFollows(bFollows) {}
    void SetTarget(CSegmentRecording* pTarget) {
        m_pTarget = pTarget;
        if (pTarget != nullptr) {
            pTarget->startFormat = m_format;
        }
    }
    // The change is handed on in its place: the one-thread decode's sink
    // follows it there.
    bool FollowsFormat() const override { return m_bFollows; }
    void ChangeFormat(const CStreamFormat& format) override {
        m_format = format;
        if (m_pTarget != nullptr) {
            m_pTarget->runs.push_back({-2, 0});
            m_pTarget->formats.push_back(format);
        }
    }
    void WriteFrame(std::span<const int16_t> samples, int nChannels) override {
        if (m_pTarget == nullptr || samples.empty()) {
            return;
        }
        m_pTarget->runs.push_back(
            {static_cast<int16_t>(nChannels), static_cast<int32_t>(samples.size())});
        m_pTarget->nSamples.insert(m_pTarget->nSamples.end(), samples.begin(), samples.end());
    }
    int32_t EndFrame() override {
        if (m_pTarget != nullptr) {
            m_pTarget->runs.push_back({-1, 0});
        }
        return 1;
    }

  private:
    CSegmentRecording* m_pTarget = nullptr;
    CStreamFormat m_format;
    bool m_bFollows;
};

// What the workers and the writing thread share.
struct CShared {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<int64_t, CSegmentRecording> done;
    // Recordings written out, whose memory the workers use again: fresh
    // memory for every segment would cost more than the copies into it.
    std::vector<CSegmentRecording> spare;
    // Segments handed to the sink; the workers take the next segment in
    // turn, at most nWindow ahead of the sink.
    int64_t nConsumed = 0;
    int64_t nNext = 0;
    int64_t nWindow = 2;
    // The first segment found to hold the end of the stream.
    int64_t nEndSegment = std::numeric_limits<int64_t>::max();
    std::atomic<bool> bStop{false};
    // Whether the sink the segments go to follows format changes.
    bool bFollowsFormat = false;
    // A worker that could not hand over its segment tells why here.
    std::string strBroken;
    // The walk so far: where each frame starts and its first sample.
    // bWalked once it has ended; bWhole where it came to the stream's end.
    std::vector<int64_t> frameStarts;
    std::vector<int64_t> frameSamples;
    bool bWalked = false;
    bool bWhole = false;
    // Frames decoded unheard before a segment, 0 until the walk has seen
    // the first frame.
    int64_t nPreroll = 0;
};

// Frames enough to give the filters their history.
int64_t PrerollFrames(int nSamplesPerFrame) {
    const int nSlots = std::max(nSamplesPerFrame / 32, 1);
    return (CSynthesisFilter::kHistorySlots + nSlots - 1) / nSlots;
}

class CWorker {
  public:
    CWorker(const std::string& strPath, const CStartPoint& start, const CDecodeChoices& choices,
            const CTrackChoice& track, int nSegmentFrames, CShared& shared)
        : m_strPath(strPath),
          m_start(start),
          m_choices(choices),
          m_track(track),
          m_nSegmentFrames(nSegmentFrames),
          m_shared(shared) {}

    // Decodes the segments it takes until the stream ends or the writer
    // stops.
    void Run() {
        try {
            RunSegments();
        } catch (const std::exception& error) {
            std::lock_guard lock(m_shared.mutex);
            m_shared.strBroken = std::string("a decoding thread failed: ") + error.what();
        }
        m_shared.changed.notify_all();
    }

  private:
    void RunSegments() {
        for (;;) {
            int64_t nSegment = 0;
            CSegmentRecording segment;
            {
                std::unique_lock lock(m_shared.mutex);
                m_shared.changed.wait(lock, [&] {
                    return m_shared.bStop || m_shared.nNext > m_shared.nEndSegment ||
                           m_shared.nNext < m_shared.nConsumed + m_shared.nWindow;
                });
                if (m_shared.bStop || m_shared.nNext > m_shared.nEndSegment) {
                    return;
                }
                nSegment = m_shared.nNext++;
                if (!m_shared.spare.empty()) {
                    segment = std::move(m_shared.spare.back());
                    m_shared.spare.pop_back();
                }
            }
            try {
                // Room for a segment of stereo frames, and a run per frame
                // and channel.
                segment.nSamples.reserve(static_cast<std::size_t>(m_nSegmentFrames) * 2 *
                                         kMaxSamplesPerFrame);
                segment.runs.reserve(static_cast<std::size_t>(m_nSegmentFrames) * 2);
                DecodeSegment(nSegment * m_nSegmentFrames, (nSegment + 1) * m_nSegmentFrames,
                              segment);
            } catch (const std::exception& error) {
                segment.bFailed = true;
                segment.strReason = std::string("a decoding thread failed: ") + error.what();
                m_pKeptWarnings = nullptr;
                m_pDecoder.reset();
            }
            const bool bFailed = segment.bFailed;
            {
                std::lock_guard lock(m_shared.mutex);
                if (segment.bLast || segment.bFailed) {
                    m_shared.nEndSegment = std::min(m_shared.nEndSegment, nSegment);
                }
                m_shared.done.emplace(nSegment, std::move(segment));
            }
            m_shared.changed.notify_all();
            if (bFailed) {
                return;
            }
        }
    }

    // bFromStart: to the start point as the one-thread decode went there,
    // rather than to the first frame alone.
    bool Open(CSegmentRecording& segment, bool bFromStart) {
        m_pSink = nullptr;
        m_bInStep = false;
        CAudioDecoder::CHooks hooks;
        hooks.fnStopRequested = [this] { return m_shared.bStop.load(); };
        hooks.fnReportCodedWarning = [this](EDecoderWarning eWarning, const std::string& strText) {
            if (m_pKeptWarnings != nullptr) {
                m_pKeptWarnings->emplace_back(eWarning, strText);
            }
        };
        hooks.track = m_track;
        hooks.fnMakeSink = [this](const CStreamFormat& format) {
            auto pSink = std::make_unique<CRecordingSink>(format, m_shared.bFollowsFormat);
            m_pSink = pSink.get();
            return std::unique_ptr<CAudioSink>(std::move(pSink));
        };
        hooks.bReadTrackInfo = false;
        // Only the way to a start point needs the walk, the one-thread
        // decode's having landed there by it.
        bFromStart = bFromStart && m_start.dValue > 0.0;
        hooks.bWalk = bFromStart;
        m_pDecoder = std::make_unique<CAudioDecoder>(m_strPath.c_str(), std::move(hooks));
        m_pDecoder->SetChoices(m_choices);
        m_nFrame = 0;
        if (m_pDecoder->Initialize() == 0) {
            segment.bFailed = true;
            segment.strReason = m_strPath + " could not be read again";
            return false;
        }
        if (bFromStart) {
            if (!m_pDecoder->AwaitWalk()) {
                segment.bLast = true;
                return false;
            }
            m_pDecoder->MoveToStart(m_start);
        }
        return true;
    }

    // Takes what the walk knows of frames nFrom to nEnd (the one after the
    // segment) once it knows them or has ended.
    void FetchWalk(int64_t nFrom, int64_t nEnd) {
        std::unique_lock lock(m_shared.mutex);
        m_shared.changed.wait(lock, [&] {
            return m_shared.bStop || m_shared.bWalked ||
                   static_cast<int64_t>(m_shared.frameStarts.size()) > nEnd;
        });
        const auto nKnown = static_cast<int64_t>(m_shared.frameStarts.size());
        m_nWalkFrom = nFrom;
        m_starts.clear();
        m_samples.clear();
        if (nFrom < nKnown) {
            const auto it = m_shared.frameStarts.begin() + nFrom;
            m_starts.assign(it, m_shared.frameStarts.begin() + std::min(nKnown, nEnd + 1));
            const auto is = m_shared.frameSamples.begin() + nFrom;
            m_samples.assign(is, is + static_cast<std::ptrdiff_t>(m_starts.size()));
        }
        m_bPastWalk = m_shared.bWhole && nFrom >= nKnown;
    }

    // Whether the frame in hand starts where the walk found frame m_nFrame.
    bool IsWhereWalked() const {
        const int64_t nAt = m_nFrame - m_nWalkFrom;
        return m_bReadAll || m_pDecoder->HasEnded() || nAt < 0 ||
               nAt >= static_cast<int64_t>(m_starts.size()) ||
               m_pDecoder->FrameStart() == m_starts[static_cast<std::size_t>(nAt)];
    }

    // Brings the decoder to frame nEnd, decoding the frames on the way into
    // what the sink is set to or passing them unheard; false once the
    // stream has ended before it (or m_bLost where a frame was not where
    // the walk found it).
    bool MoveTo(int64_t nEnd, bool bDecode) {
        while (m_nFrame < nEnd) {
            if (m_pDecoder->HasEnded() || m_shared.bStop) {
                return false;
            }
            if (bDecode) {
                m_pDecoder->DecodeFrame();
            } else {
                m_pDecoder->SkipFrame();
            }
            ++m_nFrame;
            if (!IsWhereWalked()) {
                m_bLost = true;
                return false;
            }
        }
        return !m_pDecoder->HasEnded();
    }

    // Brings a decoder to frame nFrom, the first one that it decodes:
    // by the walk's offset where it knows the frame, else by reading the
    // frames before it from the start. False where the stream ends first.
    bool MoveToFirst(int64_t nFrom, CSegmentRecording& segment) {
        if (!m_bReadAll && nFrom > 0 && !m_starts.empty() && m_nWalkFrom == nFrom) {
            if (m_pDecoder == nullptr && !Open(segment, false)) {
                return false;
            }
            if (m_pDecoder->Stream().CanSeek() &&
                m_pDecoder->MoveToFrameAt(m_starts[0], m_samples[0]) != 0) {
                m_nFrame = nFrom;
                m_bInStep = false;
                if (IsWhereWalked()) {
                    return true;
                }
            }
            // A stream that cannot seek, or one that the walk saw otherwise:
            // read from the start from now on.
            m_bReadAll = true;
            m_pDecoder.reset();
        }
        if (m_pDecoder == nullptr || m_nFrame > nFrom) {
            if (!Open(segment, true)) {
                return false;
            }
        }
        m_bInStep = false;
        return MoveTo(nFrom, false);
    }

    // The frames to decode before a segment, once the walk has told them.
    int64_t AwaitPreroll() {
        std::unique_lock lock(m_shared.mutex);
        m_shared.changed.wait(
            lock, [&] { return m_shared.bStop || m_shared.bWalked || m_shared.nPreroll > 0; });
        return m_shared.nPreroll > 0 ? m_shared.nPreroll : 2;
    }

    void DecodeSegment(int64_t nFirst, int64_t nEnd, CSegmentRecording& segment) {
        int64_t nPreroll = AwaitPreroll();
        for (;;) {
            segment.Clear();
            m_bLost = false;
            // A decoder that has just decoded the frame before this segment
            // holds what the one-thread decode holds here.
            const bool bGoesOn = m_bInStep && m_pDecoder != nullptr && m_nFrame == nFirst;
            const int64_t nFrom = bGoesOn ? nFirst : std::max<int64_t>(0, nFirst - nPreroll);
            FetchWalk(nFrom, nEnd);
            if (m_bPastWalk) {
                // The walk read the stream to its end before this segment.
                segment.bLast = true;
                return;
            }
            if (!bGoesOn && !MoveToFirst(nFrom, segment)) {
                if (!m_bLost) {
                    segment.bLast = segment.bLast || !segment.bFailed;
                    return;
                }
            }
            if (m_bLost) {
                m_bReadAll = true;
                m_pDecoder.reset();
                continue;
            }
            const int64_t nSlotsBefore[2] = {m_pDecoder->FilterSlotsRun(0),
                                             m_pDecoder->FilterSlotsRun(1)};
            const int64_t nGuessedBefore = m_pDecoder->GuessedFrames();
            SetTarget(nullptr);
            if (!MoveTo(nFirst, true)) {
                if (m_bLost) {
                    m_bReadAll = true;
                    m_pDecoder.reset();
                    continue;
                }
                segment.bLast = true;
                return;
            }
            const int64_t nSlotsRestored[2] = {m_pDecoder->FilterSlotsRun(0),
                                               m_pDecoder->FilterSlotsRun(1)};
            SetTarget(&segment);
            m_pKeptWarnings = &segment.warnings;
            segment.bLast = !MoveTo(nEnd, true);
            m_pKeptWarnings = nullptr;
            SetTarget(nullptr);
            if (m_bLost) {
                m_bReadAll = true;
                m_pDecoder.reset();
                continue;
            }
            // A filter that ran too few slots before the segment and then
            // ran in it may have sounded different: once more from further
            // back. The first frames of the stream start from silence, as
            // the one-thread decode does.
            // So may a damaged frame that had no good frame before it here
            // but had one in the one-thread decode.
            bool bRestored = bGoesOn || nFrom == 0 || m_pDecoder->GuessedFrames() == nGuessedBefore;
            for (int c = 0; c < 2 && !bGoesOn; ++c) {
                const int64_t nNow = m_pDecoder->FilterSlotsRun(c);
                if (nFrom > 0 && nNow >= 0 &&
                    nSlotsRestored[c] - nSlotsBefore[c] < CSynthesisFilter::kHistorySlots &&
                    nNow != nSlotsRestored[c]) {
                    bRestored = false;
                }
            }
            if (bRestored || m_shared.bStop) {
                // The next segment goes on from here where every filter
                // holds the one-thread decode's history: one standing still
                // before and in this segment does not yet.
                bool bFilled = true;
                for (int c = 0; c < 2 && !bGoesOn && nFrom > 0; ++c) {
                    if (nSlotsRestored[c] >= 0 &&
                        nSlotsRestored[c] - std::max<int64_t>(nSlotsBefore[c], 0) <
                            CSynthesisFilter::kHistorySlots) {
                        bFilled = false;
                    }
                }
                m_bInStep = bRestored && bFilled && !segment.bLast;
                return;
            }
            nPreroll *= 4;
            m_pDecoder.reset();
        }
    }

    // The sink lives as long as the stream has not ended.
    void SetTarget(CSegmentRecording* pTarget) {
        if (!m_pDecoder->HasEnded()) {
            m_pSink->SetTarget(pTarget);
        }
    }

    std::string m_strPath;
    CStartPoint m_start;
    CDecodeChoices m_choices;
    CTrackChoice m_track;
    int64_t m_nSegmentFrames;
    CShared& m_shared;
    std::unique_ptr<CAudioDecoder> m_pDecoder;
    CRecordingSink* m_pSink = nullptr;
    // The frame in hand: its number in the one-thread decode.
    int64_t m_nFrame = 0;
    // Whether the decoder holds what the one-thread decode holds before
    // frame m_nFrame, having decoded the frames before it in a segment.
    bool m_bInStep = false;
    // The frames read from the start, the walk's offsets not taken.
    bool m_bReadAll = false;
    // A frame was not where the walk found it.
    bool m_bLost = false;
    // The walk's starts and first samples of frames m_nWalkFrom on, and
    // whether the walk ended before m_nWalkFrom.
    int64_t m_nWalkFrom = 0;
    std::vector<int64_t> m_starts;
    std::vector<int64_t> m_samples;
    bool m_bPastWalk = false;
    std::vector<std::pair<EDecoderWarning, std::string>>* m_pKeptWarnings = nullptr;
};

// Walks the frames as the one-thread decode reads them and tells the
// workers where each starts; ends soon after a stop.
void WalkFrames(CShared& shared, const std::string& strPath, const CStartPoint& start,
                const CTrackChoice& track) {
    std::vector<int64_t> starts;
    std::vector<int64_t> samples;
    bool bWhole = false;
    auto Publish = [&](bool bEnded) {
        {
            std::lock_guard lock(shared.mutex);
            shared.frameStarts.insert(shared.frameStarts.end(), starts.begin(), starts.end());
            shared.frameSamples.insert(shared.frameSamples.end(), samples.begin(), samples.end());
            shared.bWalked = bEnded;
            shared.bWhole = bEnded && bWhole;
        }
        shared.changed.notify_all();
        starts.clear();
        samples.clear();
    };
    try {
        CAudioDecoder::CHooks hooks;
        hooks.fnStopRequested = [&shared] { return shared.bStop.load(); };
        hooks.track = track;
        hooks.fnMakeSink = [](const CStreamFormat& format) {
            return std::unique_ptr<CAudioSink>(std::make_unique<CRecordingSink>(format, true));
        };
        hooks.bReadTrackInfo = false;
        hooks.bWalk = start.dValue > 0.0;
        CAudioDecoder decoder(strPath.c_str(), std::move(hooks));
        if (decoder.Initialize() != 0 && (start.dValue <= 0.0 || decoder.AwaitWalk())) {
            decoder.MoveToStart(start);
            {
                std::lock_guard lock(shared.mutex);
                shared.nPreroll = PrerollFrames(decoder.Header().SamplesPerFrame());
            }
            shared.changed.notify_all();
            starts.reserve(kWalkChunk);
            samples.reserve(kWalkChunk);
            while (!decoder.HasEnded() && !shared.bStop) {
                starts.push_back(decoder.FrameStart());
                samples.push_back(decoder.FrameSample());
                decoder.SkipFrame();
                if (starts.size() == kWalkChunk) {
                    Publish(false);
                }
            }
            bWhole = decoder.HasEnded();
        }
    } catch (const std::exception&) {
        // Out of memory: the workers read the rest from the start.
        bWhole = false;
    }
    try {
        Publish(true);
    } catch (const std::exception&) {
        std::lock_guard lock(shared.mutex);
        const std::size_t nKnown = std::min(shared.frameStarts.size(), shared.frameSamples.size());
        shared.frameStarts.resize(nKnown);
        shared.frameSamples.resize(nKnown);
        shared.bWalked = true;
        shared.bWhole = false;
    }
    shared.changed.notify_all();
}

// Hands the segments to the sink in order as the workers finish them, each
// warning told once; true once the last one or a stop has come.
bool WriteSegments(CShared& shared, CAudioSink& sink, const StopRequest& fnStop,
                   const WarningReporter& fnReport, const WarningHandler& fnCoded,
                   const CSegmentDecoder::BlockWriter& fnBlock, std::string& strReason) {
    std::set<std::string> shown;
    // The format the sink was made for: the first segment's.
    CStreamFormat current;
    for (int64_t nSegment = 0;; ++nSegment) {
        CSegmentRecording segment;
        {
            std::unique_lock lock(shared.mutex);
            shared.changed.wait(lock, [&] {
                return shared.done.count(nSegment) != 0 || !shared.strBroken.empty();
            });
            auto it = shared.done.find(nSegment);
            if (it == shared.done.end()) {
                strReason = shared.strBroken;
                return false;
            }
            segment = std::move(it->second);
            shared.done.erase(it);
            shared.nConsumed = nSegment + 1;
        }
        shared.changed.notify_all();
        if (segment.bFailed) {
            strReason = segment.strReason;
            return false;
        }
        for (const auto& [eWarning, strText] : segment.warnings) {
            if (!shown.insert(strText).second) {
                continue;
            }
            if (fnCoded) {
                fnCoded(eWarning, strText);
            } else {
                ReportWarning(fnReport, strText);
            }
        }
        if (nSegment == 0) {
            current = segment.startFormat;
        }
        segment.ReplayInto(sink, current, fnBlock);
        if (segment.bLast || IsStopRequested(fnStop)) {
            return true;
        }
        segment.Clear();
        std::lock_guard lock(shared.mutex);
        shared.spare.push_back(std::move(segment));
    }
}

}  // namespace

CSegmentDecoder::CSegmentDecoder(std::string strPath, CStartPoint start, WarningReporter fnReport,
                                 const CDecodeChoices& choices, CTrackChoice track)
    : m_strPath(std::move(strPath)),
      m_start(start),
      m_choices(choices),
      m_fnReport(std::move(fnReport)),
      m_track(std::move(track)) {}

int CSegmentDecoder::SegmentFrames(int nSamplesPerFrame) {
    return std::max(kSegmentSamples / std::max(nSamplesPerFrame, 1), 1);
}

bool CSegmentDecoder::CanSplit(const CAudioDecoder& decoder, const std::string& strPath,
                               int nSegmentFrames) {
    if (nSegmentFrames <= 0) {
        nSegmentFrames = SegmentFrames(decoder.Header().SamplesPerFrame());
    }
    const int nFrameBytes = decoder.Header().FrameBytes() + 4;
    return strPath != "-" && !decoder.HasEnded() && decoder.Stream().CanSeek() && nFrameBytes > 4 &&
           decoder.Stream().AudioBytes() / nFrameBytes >= 2 * static_cast<int64_t>(nSegmentFrames);
}

bool CSegmentDecoder::Run(CAudioSink& sink, int nThreads, const StopRequest& fnStop,
                          std::string& strReason, int nSegmentFrames) {
    nThreads = std::clamp(nThreads, 1, kMaxThreads);
    if (nSegmentFrames <= 0) {
        // The first frame tells the layer; a stream that changes it has
        // segments of another length, as long as they are the same in every
        // run.
        CAudioDecoder::CHooks hooks;
        hooks.fnMakeSink = [](const CStreamFormat& format) {
            return std::unique_ptr<CAudioSink>(std::make_unique<CRecordingSink>(format, true));
        };
        hooks.bReadTrackInfo = false;
        hooks.bWalk = false;
        hooks.track = m_track;
        CAudioDecoder first(m_strPath.c_str(), std::move(hooks));
        nSegmentFrames = SegmentFrames(first.Initialize() != 0 ? first.Header().SamplesPerFrame()
                                                               : kMaxSamplesPerFrame);
    }
    CShared shared;
    // One segment per worker and two to spare, so that a worker seldom
    // waits for the writer.
    shared.nWindow = static_cast<int64_t>(nThreads) + 2;
    shared.bFollowsFormat = sink.FollowsFormat();
    std::vector<std::unique_ptr<CWorker>> workers;
    std::vector<std::thread> threads;
    bool bOk = true;
    try {
        for (int w = 0; w < nThreads; ++w) {
            workers.push_back(std::make_unique<CWorker>(m_strPath, m_start, m_choices, m_track,
                                                        nSegmentFrames, shared));
            threads.emplace_back(&CWorker::Run, workers.back().get());
        }
    } catch (const std::exception& error) {
        bOk = false;
        strReason = std::string("cannot start the decoding threads: ") + error.what();
    }
    // The walk runs beside the workers and the writer, which start on the
    // frames it has handed over; without a thread for it, it runs here.
    std::thread walker;
    if (bOk) {
        try {
            walker = std::thread(WalkFrames, std::ref(shared), std::cref(m_strPath),
                                 std::cref(m_start), std::cref(m_track));
        } catch (const std::system_error&) {
            WalkFrames(shared, m_strPath, m_start, m_track);
        }
        try {
            bOk = WriteSegments(shared, sink, fnStop, m_fnReport, m_fnCoded, m_fnBlockWriter,
                                strReason);
        } catch (const std::exception& error) {
            bOk = false;
            strReason = std::string("writing the decoded segments failed: ") + error.what();
        }
    }
    {
        std::lock_guard lock(shared.mutex);
        shared.bStop = true;
    }
    shared.changed.notify_all();
    for (std::thread& thread : threads) {
        thread.join();
    }
    if (walker.joinable()) {
        walker.join();
    }
    return bOk;
}

}  // namespace corvina
