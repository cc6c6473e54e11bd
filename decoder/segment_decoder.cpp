// Segments, their workers and the hand-over in order. A worker finds its
// frames by reading every header from the start as a one-thread decode
// does (skipping a frame costs a header and a copy, not its decoding), so
// each segment holds exactly the frames that the one-thread decode numbers
// alike, whatever junk, tags or odd frames the stream holds.
#include "decoder/segment_decoder.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "synth/synthesis_filter.h"

namespace corvina {

namespace {

// Frames decoded unheard before a segment: two frames of either layer give
// the filters at least the sixteen slots of history they need. A worker
// checks that they did (damaged frames run no filter) and goes further back
// where not.
constexpr int64_t kPrerollFrames = 2;

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
    std::vector<std::string> warnings;
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
    // current: the format the sink is in, kept up to date.
    void ReplayInto(CAudioSink& sink, CStreamFormat& current) const {
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
        for (const CRun& run : runs) {
            if (run.nKind == -2) {
                Follow(formats[nFormat++]);
            } else if (run.nKind < 0) {
                sink.EndFrame();
            } else {
                const auto nCount = static_cast<std::size_t>(run.nCount);
                sink.WriteFrame(std::span<const int16_t>(nSamples.data() + nAt, nCount), run.nKind);
                nAt += nCount;
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
    // Segments handed to the sink; a worker runs at most nWindow ahead.
    int64_t nConsumed = 0;
    int64_t nWindow = 2;
    std::atomic<bool> bStop{false};
    // Whether the sink the segments go to follows format changes.
    bool bFollowsFormat = false;
    // A worker that could not hand over its segment tells why here.
    std::string strBroken;
};

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

    // Decodes segments nFirst, nFirst + nStep, ... until the stream ends or
    // the writer stops.
    void Run(int64_t nFirst, int64_t nStep) {
        try {
            RunSegments(nFirst, nStep);
        } catch (const std::exception& error) {
            std::lock_guard lock(m_shared.mutex);
            m_shared.strBroken = std::string("a decoding thread failed: ") + error.what();
        }
        m_shared.changed.notify_all();
    }

  private:
    void RunSegments(int64_t nFirst, int64_t nStep) {
        for (int64_t nSegment = nFirst;; nSegment += nStep) {
            {
                std::unique_lock lock(m_shared.mutex);
                m_shared.changed.wait(lock, [&] {
                    return m_shared.bStop || nSegment < m_shared.nConsumed + m_shared.nWindow;
                });
                if (m_shared.bStop) {
                    return;
                }
            }
            CSegmentRecording segment;
            {
                std::lock_guard lock(m_shared.mutex);
                if (!m_shared.spare.empty()) {
                    segment = std::move(m_shared.spare.back());
                    m_shared.spare.pop_back();
                }
            }
            try {
                // Room for a segment of stereo Layer II frames, and a run per
                // slot and channel.
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
            const bool bLast = segment.bLast || segment.bFailed;
            {
                std::lock_guard lock(m_shared.mutex);
                m_shared.done.emplace(nSegment, std::move(segment));
            }
            m_shared.changed.notify_all();
            if (bLast) {
                return;
            }
        }
    }

    bool Open(CSegmentRecording& segment) {
        m_pSink = nullptr;
        CAudioDecoder::CHooks hooks;
        hooks.fnStopRequested = [this] { return m_shared.bStop.load(); };
        hooks.fnReportWarning = [this](const std::string& strText) {
            if (m_pKeptWarnings != nullptr) {
                m_pKeptWarnings->push_back(strText);
            }
        };
        hooks.track = m_track;
        hooks.fnMakeSink = [this](const CStreamFormat& format) {
            auto pSink = std::make_unique<CRecordingSink>(format, m_shared.bFollowsFormat);
            m_pSink = pSink.get();
            return std::unique_ptr<CAudioSink>(std::move(pSink));
        };
        hooks.bReadTrackInfo = false;
        // Every worker reads the file from its start: only a start point
        // needs the walk, the one-thread decode's having landed there by it.
        hooks.bWalk = m_start.dValue > 0.0;
        m_pDecoder = std::make_unique<CAudioDecoder>(m_strPath.c_str(), std::move(hooks));
        m_pDecoder->SetChoices(m_choices);
        m_nFrame = 0;
        if (m_pDecoder->Initialize() == 0) {
            segment.bFailed = true;
            segment.strReason = m_strPath + " could not be read again";
            return false;
        }
        // The start lands where the one-thread decode's did, by the whole walk.
        if (m_start.dValue > 0.0 && !m_pDecoder->AwaitWalk()) {
            segment.bLast = true;
            return false;
        }
        m_pDecoder->MoveToStart(m_start);
        return true;
    }

    // Brings the decoder to frame nEnd, decoding the frames on the way into
    // what the sink is set to or passing them unheard; false once the
    // stream has ended before it.
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
        }
        return !m_pDecoder->HasEnded();
    }

    void DecodeSegment(int64_t nFirst, int64_t nEnd, CSegmentRecording& segment) {
        int64_t nPreroll = kPrerollFrames;
        for (;;) {
            segment.Clear();
            const int64_t nFrom = std::max<int64_t>(0, nFirst - nPreroll);
            if (m_pDecoder == nullptr || m_nFrame > nFrom) {
                if (!Open(segment)) {
                    return;
                }
            }
            if (!MoveTo(nFrom, false)) {
                segment.bLast = true;
                return;
            }
            const int64_t nSlotsBefore[2] = {m_pDecoder->FilterSlotsRun(0),
                                             m_pDecoder->FilterSlotsRun(1)};
            const int64_t nGuessedBefore = m_pDecoder->GuessedFrames();
            SetTarget(nullptr);
            if (!MoveTo(nFirst, true)) {
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
            // A filter that ran too few slots before the segment and then
            // ran in it may have sounded different: once more from further
            // back. The first frames of the stream start from silence, as
            // the one-thread decode does.
            // So may a damaged frame that had no good frame before it here
            // but had one in the one-thread decode.
            bool bRestored = nFrom == 0 || m_pDecoder->GuessedFrames() == nGuessedBefore;
            for (int c = 0; c < 2; ++c) {
                const int64_t nNow = m_pDecoder->FilterSlotsRun(c);
                if (nFrom > 0 && nNow >= 0 &&
                    nSlotsRestored[c] - nSlotsBefore[c] < CSynthesisFilter::kHistorySlots &&
                    nNow != nSlotsRestored[c]) {
                    bRestored = false;
                }
            }
            if (bRestored || m_shared.bStop) {
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
    // The frame in hand: DecodeFrame and SkipFrame calls since the start.
    int64_t m_nFrame = 0;
    std::vector<std::string>* m_pKeptWarnings = nullptr;
};

// Hands the segments to the sink in order as the workers finish them, each
// warning told once; true once the last one or a stop has come.
bool WriteSegments(CShared& shared, CAudioSink& sink, const StopRequest& fnStop,
                   const WarningReporter& fnReport, std::string& strReason) {
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
        for (const std::string& strText : segment.warnings) {
            if (shown.insert(strText).second) {
                ReportWarning(fnReport, strText);
            }
        }
        if (nSegment == 0) {
            current = segment.startFormat;
        }
        segment.ReplayInto(sink, current);
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

bool CSegmentDecoder::CanSplit(const CAudioDecoder& decoder, const std::string& strPath,
                               int nSegmentFrames) {
    const int nFrameBytes = decoder.Header().FrameBytes() + 4;
    return strPath != "-" && !decoder.HasEnded() && decoder.Stream().CanSeek() && nFrameBytes > 4 &&
           decoder.Stream().AudioBytes() / nFrameBytes >= 2 * static_cast<int64_t>(nSegmentFrames);
}

bool CSegmentDecoder::Run(CAudioSink& sink, int nThreads, const StopRequest& fnStop,
                          std::string& strReason, int nSegmentFrames) {
    nThreads = std::clamp(nThreads, 1, kMaxThreads);
    nSegmentFrames = std::max(nSegmentFrames, 1);
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
            threads.emplace_back(&CWorker::Run, workers.back().get(), w, nThreads);
        }
    } catch (const std::exception& error) {
        bOk = false;
        strReason = std::string("cannot start the decoding threads: ") + error.what();
    }
    if (bOk) {
        try {
            bOk = WriteSegments(shared, sink, fnStop, m_fnReport, strReason);
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
    return bOk;
}

}  // namespace corvina
