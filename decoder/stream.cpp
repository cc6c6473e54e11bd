// The stream handle: CAudioDecoder over a file, memory, the caller's source
// or a feed, its PCM queued interleaved until the caller reads it; the
// segment decoder for a file decoded on several threads.
#include <corvina/stream.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "decoder/audio_decoder.h"
#include "decoder/memory_source.h"
#include "decoder/segment_decoder.h"

namespace corvina {

namespace {

// A warning raised behind samples or a format change still unread.
struct CHeldWarning {
    std::size_t nAt;
    EDecoderWarning eWarning;
    std::string strText;
};

// Decoded samples, interleaved, with the format changes among them and the
// warnings that come after a change: the caller hears of a change (and
// follows it) before what the decoder said about the frames in the new
// format.
struct CPcmQueue {
    std::vector<int16_t> samples;
    std::size_t nReadAt = 0;
    // Where in samples a format starts.
    std::deque<std::pair<std::size_t, CPcmFormat>> changes;
    std::deque<CHeldWarning> warnings;
    // The format of the samples queued last.
    CPcmFormat latest;

    void Clear() {
        samples.clear();
        nReadAt = 0;
        changes.clear();
        warnings.clear();
    }
    void ChangeFormat(const CStreamFormat& format) {
        latest = {format.nSampleRate, format.nChannels};
        changes.emplace_back(samples.size(), latest);
    }
    // Whether a warning raised now is to wait for what lies before it.
    bool HoldsUnread() const {
        return nReadAt < samples.size() || !changes.empty() || !warnings.empty();
    }
    // Samples from nReadAt up to the next format change or held warning.
    std::size_t Ready() const {
        std::size_t nEnd = changes.empty() ? samples.size() : changes.front().first;
        if (!warnings.empty()) {
            nEnd = std::min(nEnd, warnings.front().nAt);
        }
        return nEnd - nReadAt;
    }
    void Take(int16_t* pTarget, std::size_t nCount) {
        std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(nReadAt), nCount, pTarget);
        nReadAt += nCount;
        if (nReadAt == samples.size()) {
            for (auto& change : changes) {
                change.first -= nReadAt;
            }
            for (CHeldWarning& warning : warnings) {
                warning.nAt -= nReadAt;
            }
            samples.clear();
            nReadAt = 0;
        }
    }
};

// The sink of the decoder: each frame's channels interleaved into the queue.
class CQueueSink : public CAudioSink {
  public:
    // bFollows: whether the queue goes on in a new format where the stream
    // changes.
    CQueueSink(CPcmQueue& queue, const CStreamFormat& format, bool bFollows)
        : m_queue(queue), m_bFollows(bFollows) {
        m_queue.ChangeFormat(format);
        m_nChannels = format.nChannels;
    }

    void WriteFrame(std::span<const int16_t> samples, int nChannels) override {
        std::vector<int16_t>& out = m_queue.samples;
        if (nChannels == m_nChannels) {
            out.insert(out.end(), samples.begin(), samples.end());
        } else if (m_nChannels == 1) {
            // A two-channel frame into a one-channel stream: its left.
            for (std::size_t i = 0; i < samples.size(); i += 2) {
                out.push_back(samples[i]);
            }
        }
    }
    int32_t EndFrame() override { return 1; }
    bool FollowsFormat() const override { return m_bFollows; }
    void ChangeFormat(const CStreamFormat& format) override {
        m_queue.ChangeFormat(format);
        m_nChannels = format.nChannels;
    }

  private:
    CPcmQueue& m_queue;
    bool m_bFollows;
    int m_nChannels;
};

// The sink of a decode on several threads: the segments' runs of frames go
// to the caller's writer in the format they are in, until it says stop.
class CBlockSink : public CAudioSink {
  public:
    CBlockSink(const BlockWriter& fnWrite, const CPcmFormat& format, bool bFollows)
        : m_fnWrite(fnWrite), m_format(format), m_bFollows(bFollows) {}

    // Always takes the samples, so that the segments come as whole runs.
    bool Write(std::span<const int16_t> samples, int nChannels) {
        if (!m_bStopped && !samples.empty()) {
            m_bStopped = !m_fnWrite(samples, {m_format.nRate, nChannels});
        }
        return true;
    }
    bool Stopped() const { return m_bStopped; }

    void WriteFrame(std::span<const int16_t> samples, int nChannels) override {
        Write(samples, nChannels);
    }
    int32_t EndFrame() override { return 1; }
    bool FollowsFormat() const override { return m_bFollows; }
    void ChangeFormat(const CStreamFormat& format) override {
        m_format = {format.nSampleRate, format.nChannels};
    }

  private:
    const BlockWriter& m_fnWrite;
    CPcmFormat m_format;
    bool m_bFollows;
    bool m_bStopped = false;
};

// Bytes consumed from a feed before they are dropped from its buffer.
constexpr std::size_t kCompactBytes = 64 * 1024;

// The bytes of a fed stream and the hand-over between the caller and the
// thread that decodes them. The decoder pulls its bytes; where the feed has
// none yet, its thread waits there and the caller's Read returns NeedMore,
// to go on where it stopped once more bytes (or their end) came. Only one
// of the two threads runs at a time.
class CFeed {
  public:
    ~CFeed() { Stop(); }

    // Ends the job under way (its reads find the end) and the thread.
    void Stop() {
        m_bClosingFlag.store(true, std::memory_order_relaxed);
        {
            std::lock_guard lock(m_mutex);
            m_bClosing = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    // The decoder's stop request: its searches give up once the feed closes.
    bool IsClosing() const { return m_bClosingFlag.load(std::memory_order_relaxed); }

    EStreamResult Append(std::span<const uint8_t> bytes) {
        std::lock_guard lock(m_mutex);
        if (m_bEnded) {
            return EStreamResult::ErrArgument;
        }
        try {
            m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        } catch (const std::bad_alloc&) {
            return EStreamResult::ErrMemory;
        }
        return EStreamResult::Ok;
    }
    void End() {
        std::lock_guard lock(m_mutex);
        m_bEnded = true;
    }

    // Runs fnJob on the feed's thread, or goes on with the job that waits
    // for bytes there; Ok once it is done, NeedMore while it waits.
    EStreamResult Run(std::function<void()> fnJob) {
        std::unique_lock lock(m_mutex);
        if (m_bJobUnderWay) {
            if (!HasInput()) {
                return EStreamResult::NeedMore;
            }
        } else {
            if (!m_thread.joinable()) {
                try {
                    m_thread = std::thread([this] { Work(); });
                } catch (const std::system_error&) {
                    return EStreamResult::ErrMemory;
                }
            }
            m_fnJob = std::move(fnJob);
            m_bJobUnderWay = true;
        }
        m_bWorkerTurn = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_bWorkerTurn; });
        return m_bJobUnderWay ? EStreamResult::NeedMore : EStreamResult::Ok;
    }

    // The decoder's read, on the feed's thread: waits for bytes while the
    // feed has none and is not ended.
    std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) {
        std::unique_lock lock(m_mutex);
        while (!HasInput() && !m_bClosing) {
            m_bWorkerTurn = false;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_bClosing || (m_bWorkerTurn && HasInput()); });
        }
        if (m_bClosing) {
            return 0;
        }
        const std::size_t nCopy = std::min(nBytes, m_bytes.size() - m_nAt);
        std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_nAt), nCopy, pBuffer);
        m_nAt += nCopy;
        m_nPosition += static_cast<int64_t>(nCopy);
        if (m_nAt >= kCompactBytes) {
            m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(m_nAt));
            m_nAt = 0;
        }
        return nCopy;
    }
    int64_t Position() const {
        std::lock_guard lock(m_mutex);
        return m_nPosition;
    }

  private:
    // Bytes to read, or the end to be told.
    bool HasInput() const { return m_nAt < m_bytes.size() || m_bEnded; }

    void Work() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_bClosing || (m_bWorkerTurn && m_fnJob); });
            if (!m_fnJob) {
                return;
            }
            const std::function<void()> fnJob = std::exchange(m_fnJob, nullptr);
            lock.unlock();
            fnJob();
            lock.lock();
            m_bJobUnderWay = false;
            m_bWorkerTurn = false;
            m_changed.notify_all();
        }
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<uint8_t> m_bytes;
    std::size_t m_nAt = 0;
    int64_t m_nPosition = 0;
    bool m_bEnded = false;
    bool m_bClosing = false;
    std::atomic<bool> m_bClosingFlag{false};
    bool m_bWorkerTurn = false;
    bool m_bJobUnderWay = false;
    std::function<void()> m_fnJob;
    std::thread m_thread;
};

class CFeedSource : public CByteSource {
  public:
    explicit CFeedSource(CFeed& feed) : m_feed(feed) {}
    std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) override {
        return m_feed.Read(pBuffer, nBytes);
    }
    int64_t Position() const override { return m_feed.Position(); }

  private:
    CFeed& m_feed;
};

enum class EInput { None, File, Memory, Feed, Source };

}  // namespace

struct CStream::CImpl {
    WarningHandler fnWarning;
    bool bBackgroundWalk = false;
    bool bCountFrames = true;
    bool bKeepFormat = false;
    CTrackChoice track;
    CDecodeChoices choices;

    EInput eInput = EInput::None;
    std::string strPath;
    std::unique_ptr<CMemorySource> pMemory;  // what a memory stream reopens
    std::unique_ptr<CFeed> pFeed;
    std::unique_ptr<CByteSource> pSource;  // for the decoder made next
    std::string strName;

    CPcmQueue queue;
    CPcmFormat format;
    std::unique_ptr<CAudioDecoder> pDecoder;
    bool bInitialized = false;
    bool bEnded = false;
    EStreamResult eError = EStreamResult::Ok;
    std::string strFailure;
    // Told from the thread that reads an address.
    std::atomic<bool> bLost{false};
    // Whether the decoder stands at start, nothing read since: where a
    // decode on several threads begins too.
    bool bAtStart = false;
    CStartPoint start;

    ~CImpl() { Close(); }

    void Tell(EDecoderWarning eWarning, const std::string& strText) const {
        if (fnWarning) {
            fnWarning(eWarning, strText);
        }
    }
    // The held warnings up to sample nAt of the queue (all: SIZE_MAX).
    void TellHeld(std::size_t nAt) {
        while (!queue.warnings.empty() && queue.warnings.front().nAt <= nAt) {
            const CHeldWarning warning = std::move(queue.warnings.front());
            queue.warnings.pop_front();
            Tell(warning.eWarning, warning.strText);
        }
    }
    // Drops what is queued before a move; what was said is still told.
    void DropQueue() {
        TellHeld(SIZE_MAX);
        queue.Clear();
    }

    void Close() {
        // The feed's thread ends its job first, then the decoder goes, and
        // the feed it read last.
        if (pFeed != nullptr) {
            pFeed->Stop();
        }
        pDecoder.reset();
        pFeed.reset();
        pMemory.reset();
        pSource.reset();
        queue.Clear();
        format = {};
        eInput = EInput::None;
        bInitialized = bEnded = bAtStart = false;
        eError = EStreamResult::Ok;
        strFailure.clear();
        bLost = false;
    }

    CAudioDecoder::CHooks Hooks() {
        CAudioDecoder::CHooks hooks;
        hooks.fnStopRequested = [pFeed = pFeed.get()] {
            return pFeed != nullptr && pFeed->IsClosing();
        };
        // The handler as it is when the warning comes, or as it is when the
        // samples before it have been read.
        hooks.fnReportCodedWarning = [this](EDecoderWarning eWarning, const std::string& strText) {
            if (queue.HoldsUnread()) {
                queue.warnings.push_back({queue.samples.size(), eWarning, strText});
            } else {
                Tell(eWarning, strText);
            }
        };
        hooks.fnMakeSink = [this](const CStreamFormat& streamFormat) {
            return std::unique_ptr<CAudioSink>(new CQueueSink(queue, streamFormat, !bKeepFormat));
        };
        hooks.live.fnStateChanged = [this](ELiveState eState) {
            if (eState == ELiveState::Lost) {
                bLost = true;
            }
        };
        hooks.track = track;
        hooks.bWalk = bCountFrames;
        return hooks;
    }

    // Makes the decoder over the input from its start and finds the first
    // frame; the queue then tells the first format.
    EStreamResult Start() {
        DropQueue();
        bInitialized = bEnded = bAtStart = false;
        start = {};
        const int64_t nBudget = bBackgroundWalk ? CAudioDecoder::kWalkBudget : -1;
        try {
            std::unique_ptr<CByteSource> pFrom;
            switch (eInput) {
                case EInput::File:
                    pDecoder = std::make_unique<CAudioDecoder>(strPath.c_str(), Hooks(), nBudget);
                    break;
                case EInput::Memory:
                    pFrom = pMemory->ReopenFile();
                    break;
                case EInput::Feed:
                    pFrom = std::make_unique<CFeedSource>(*pFeed);
                    break;
                case EInput::Source:
                    if (pSource == nullptr && pDecoder != nullptr &&
                        pDecoder->Stream().Source() != nullptr) {
                        pSource = pDecoder->Stream().Source()->ReopenFile();
                    }
                    if (pSource == nullptr) {
                        return EStreamResult::ErrSeek;
                    }
                    pFrom = std::move(pSource);
                    break;
                case EInput::None:
                    return EStreamResult::ErrArgument;
            }
            if (pFrom != nullptr) {
                pDecoder.reset();
                pDecoder =
                    std::make_unique<CAudioDecoder>(std::move(pFrom), strName, Hooks(), nBudget);
            }
            pDecoder->SetChoices(choices);
            if (!pDecoder->Stream().IsOpen()) {
                strFailure = pDecoder->FailureReason();
                pDecoder.reset();
                return EStreamResult::ErrOpen;
            }
            if (pDecoder->Initialize() == 0) {
                strFailure = pDecoder->FailureReason();
                return EStreamResult::ErrNoStream;
            }
        } catch (const std::bad_alloc&) {
            return EStreamResult::ErrMemory;
        }
        bInitialized = bAtStart = true;
        return EStreamResult::Ok;
    }

    // The next frame into the queue, or the first; on the feed's thread for
    // a fed stream.
    EStreamResult Advance() {
        EStreamResult eResult = EStreamResult::Ok;
        auto fnStep = [this, &eResult] {
            if (!bInitialized) {
                eResult = Start();
            } else if (pDecoder->DecodeFrame() == 0) {
                bEnded = true;
            }
        };
        if (eInput != EInput::Feed) {
            fnStep();
            return eResult;
        }
        const EStreamResult eRun = pFeed->Run(fnStep);
        return eRun == EStreamResult::Ok ? eResult : eRun;
    }

    EStreamResult Open(EInput eNewInput) {
        eInput = eNewInput;
        if (eInput == EInput::Feed) {
            return EStreamResult::Ok;
        }
        eError = Start();
        if (eError == EStreamResult::ErrOpen) {
            std::string strReason = std::move(strFailure);
            Close();
            strFailure = std::move(strReason);
            return EStreamResult::ErrOpen;
        }
        return eError;
    }
};

CStream::CStream() : m_pImpl(std::make_unique<CImpl>()) {}
CStream::~CStream() = default;
CStream::CStream(CStream&&) noexcept = default;
CStream& CStream::operator=(CStream&&) noexcept = default;

void CStream::SetWarningHandler(WarningHandler fnHandler) {
    m_pImpl->fnWarning = std::move(fnHandler);
}

void CStream::SetBackgroundWalk(bool bBackground) {
    m_pImpl->bBackgroundWalk = bBackground;
}

void CStream::SetCountFrames(bool bCount) {
    m_pImpl->bCountFrames = bCount;
}

void CStream::SetKeepFormat(bool bKeep) {
    m_pImpl->bKeepFormat = bKeep;
}

void CStream::SetTrackChoice(const CTrackChoice& choice) {
    m_pImpl->track = choice;
}

void CStream::SetDecodeChoices(const CDecodeChoices& choices) {
    m_pImpl->choices = choices;
    if (m_pImpl->pDecoder != nullptr) {
        m_pImpl->pDecoder->SetChoices(choices);
    }
}

EStreamResult CStream::OpenFile(const std::string& strPath) {
    Close();
    m_pImpl->strPath = strPath;
    return m_pImpl->Open(EInput::File);
}

EStreamResult CStream::OpenMemory(std::span<const uint8_t> bytes) {
    Close();
    try {
        m_pImpl->pMemory = std::make_unique<CMemorySource>(bytes.data(), bytes.size());
    } catch (const std::bad_alloc&) {
        return EStreamResult::ErrMemory;
    }
    m_pImpl->strName = "the memory block";
    return m_pImpl->Open(EInput::Memory);
}

EStreamResult CStream::OpenFeed() {
    Close();
    try {
        m_pImpl->pFeed = std::make_unique<CFeed>();
    } catch (const std::bad_alloc&) {
        return EStreamResult::ErrMemory;
    }
    m_pImpl->strName = "the fed stream";
    return m_pImpl->Open(EInput::Feed);
}

EStreamResult CStream::OpenSource(std::unique_ptr<CByteSource> pSource, std::string strName) {
    Close();
    if (pSource == nullptr) {
        return EStreamResult::ErrArgument;
    }
    m_pImpl->pSource = std::move(pSource);
    m_pImpl->strName = std::move(strName);
    return m_pImpl->Open(EInput::Source);
}

void CStream::Close() {
    m_pImpl->Close();
}

EStreamResult CStream::Feed(std::span<const uint8_t> bytes) {
    if (m_pImpl->pFeed == nullptr) {
        return EStreamResult::ErrArgument;
    }
    return m_pImpl->pFeed->Append(bytes);
}

EStreamResult CStream::EndFeed() {
    if (m_pImpl->pFeed == nullptr) {
        return EStreamResult::ErrArgument;
    }
    m_pImpl->pFeed->End();
    return EStreamResult::Ok;
}

EStreamResult CStream::Read(std::span<int16_t> pcm, std::size_t& nRead) {
    nRead = 0;
    CImpl& impl = *m_pImpl;
    if (impl.eInput == EInput::None) {
        return EStreamResult::ErrArgument;
    }
    // The buffer is filled as far as the stream goes in one format: a caller
    // that writes each buffer out makes few large writes. What stops the
    // filling comes with the next call.
    CPcmQueue& queue = impl.queue;
    for (;;) {
        if (impl.eError != EStreamResult::Ok) {
            return nRead > 0 ? EStreamResult::Ok : impl.eError;
        }
        if (!queue.changes.empty() && queue.changes.front().first == queue.nReadAt) {
            if (nRead > 0) {
                return EStreamResult::Ok;
            }
            impl.format = queue.changes.front().second;
            queue.changes.pop_front();
            return EStreamResult::NewFormat;
        }
        impl.TellHeld(queue.nReadAt);
        const std::size_t nTake = std::min(queue.Ready(), pcm.size() - nRead);
        queue.Take(pcm.data() + nRead, nTake);
        nRead += nTake;
        if (nRead > 0) {
            impl.bAtStart = false;
        }
        if (nRead == pcm.size()) {
            return EStreamResult::Ok;
        }
        if (impl.bEnded) {
            return nRead > 0 ? EStreamResult::Ok : EStreamResult::Done;
        }
        const EStreamResult eResult = impl.Advance();
        if (eResult == EStreamResult::NeedMore) {
            return nRead > 0 ? EStreamResult::Ok : eResult;
        }
        impl.eError = eResult;
    }
}

EStreamResult CStream::Format(CPcmFormat& format) const {
    if (m_pImpl->eInput == EInput::None) {
        return EStreamResult::ErrArgument;
    }
    if (m_pImpl->format.nChannels == 0) {
        return EStreamResult::NeedMore;
    }
    format = m_pImpl->format;
    return EStreamResult::Ok;
}

int64_t CStream::Length() {
    const CImpl& impl = *m_pImpl;
    if (impl.eInput == EInput::Feed || impl.pDecoder == nullptr || !impl.bInitialized) {
        return -1;
    }
    return impl.pDecoder->CountedSamples();
}

EStreamResult CStream::Seek(int64_t nSample) {
    CImpl& impl = *m_pImpl;
    if (impl.eInput == EInput::None || nSample < 0) {
        return EStreamResult::ErrArgument;
    }
    if (impl.eInput == EInput::Feed) {
        return EStreamResult::ErrSeek;
    }
    if (impl.eError != EStreamResult::Ok) {
        return impl.eError;
    }
    // An ended decoder has let go of its sink: a new one starts over.
    if (impl.bEnded || impl.pDecoder->HasEnded()) {
        if (const EStreamResult eResult = impl.Start(); eResult != EStreamResult::Ok) {
            return eResult;
        }
    }
    impl.DropQueue();
    impl.bAtStart = false;
    if (impl.pDecoder->MoveToSample(nSample) == 0) {
        if (!impl.pDecoder->HasEnded()) {
            return EStreamResult::ErrSeek;
        }
        impl.bEnded = true;
    }
    // The samples from the new place come with their format first.
    impl.format = {};
    impl.queue.changes.emplace_back(impl.queue.samples.size(), impl.queue.latest);
    return EStreamResult::Ok;
}

EStreamResult CStream::MoveToStart(const CStartPoint& start) {
    CImpl& impl = *m_pImpl;
    if (impl.eInput == EInput::None || start.dValue < 0.0) {
        return EStreamResult::ErrArgument;
    }
    if (start.dValue == 0.0) {
        // The start itself: where the open left the stream, else its first
        // sample.
        if (impl.bAtStart && impl.start.dValue == 0.0) {
            return EStreamResult::Ok;
        }
        const EStreamResult eResult = Seek(0);
        if (eResult == EStreamResult::Ok) {
            impl.bAtStart = true;
            impl.start = {};
        }
        return eResult;
    }
    if (impl.eInput == EInput::Feed) {
        return EStreamResult::ErrSeek;
    }
    if (impl.eError != EStreamResult::Ok) {
        return impl.eError;
    }
    if (impl.bEnded || impl.pDecoder->HasEnded()) {
        if (const EStreamResult eResult = impl.Start(); eResult != EStreamResult::Ok) {
            return eResult;
        }
    }
    // A move that cannot be made leaves everything as it was.
    if (impl.pDecoder->MoveToStart(start) == 0 && !impl.pDecoder->HasEnded()) {
        return EStreamResult::ErrSeek;
    }
    impl.DropQueue();
    if (impl.pDecoder->HasEnded()) {
        impl.bEnded = true;
        return EStreamResult::Done;
    }
    impl.bAtStart = true;
    impl.start = start;
    impl.format = {};
    impl.queue.changes.emplace_back(0, impl.queue.latest);
    return EStreamResult::Ok;
}

double CStream::PlayingTime() const {
    const CImpl& impl = *m_pImpl;
    return impl.bInitialized ? impl.pDecoder->PlayingTime() : 0.0;
}

EStreamResult CStream::AwaitLength() {
    CImpl& impl = *m_pImpl;
    if (impl.eInput == EInput::None) {
        return EStreamResult::ErrArgument;
    }
    if (impl.pDecoder != nullptr && impl.eInput != EInput::Feed) {
        impl.pDecoder->AwaitWalk();
    }
    return EStreamResult::Ok;
}

std::string CStream::Description() const {
    const CImpl& impl = *m_pImpl;
    return impl.bInitialized ? impl.pDecoder->FormatStreamInfo() : std::string();
}

EStreamResult CStream::FrameNames(CFrameNames& names) const {
    const CImpl& impl = *m_pImpl;
    if (impl.eInput == EInput::None) {
        return EStreamResult::ErrArgument;
    }
    if (!impl.bInitialized) {
        return impl.eError != EStreamResult::Ok ? impl.eError : EStreamResult::NeedMore;
    }
    const CFrameHeader& header = impl.pDecoder->Header();
    auto Text = [](const char* pszText) { return std::string(pszText != nullptr ? pszText : ""); };
    names.strSampleRate = Text(header.SampleRateName());
    names.strMode = Text(header.ModeName());
    names.strBitrate = Text(header.BitrateName());
    return EStreamResult::Ok;
}

std::vector<CAudioTrack> CStream::Tracks() const {
    const CImpl& impl = *m_pImpl;
    const CByteSource* pSource =
        impl.pDecoder != nullptr ? impl.pDecoder->Stream().Source() : nullptr;
    return pSource != nullptr ? pSource->AudioTracks() : std::vector<CAudioTrack>{};
}

const CTrackInfo& CStream::TrackInfo() const {
    static const CTrackInfo kNone;
    const CImpl& impl = *m_pImpl;
    return impl.bInitialized ? impl.pDecoder->TrackInfo() : kNone;
}

std::string CStream::FailureReason() const {
    return m_pImpl->strFailure;
}

bool CStream::ConnectionLost() const {
    return m_pImpl->bLost;
}

namespace {

int SegmentFramesOf(const CAudioDecoder& decoder) {
    return CSegmentDecoder::SegmentFrames(decoder.Header().SamplesPerFrame());
}

}  // namespace

bool CStream::CanSplit() const {
    const CImpl& impl = *m_pImpl;
    return impl.eInput == EInput::File && impl.bInitialized && impl.bAtStart && !impl.bEnded &&
           impl.eError == EStreamResult::Ok &&
           CSegmentDecoder::CanSplit(*impl.pDecoder, impl.strPath, SegmentFramesOf(*impl.pDecoder));
}

EStreamResult CStream::DecodeOnThreads(int nThreads, const BlockWriter& fnWrite) {
    CImpl& impl = *m_pImpl;
    if (!CanSplit() || !fnWrite || nThreads < 1) {
        return EStreamResult::ErrArgument;
    }
    impl.DropQueue();
    // The workers read the file for themselves, each from where this
    // decoder stands: its start point.
    CSegmentDecoder segments(impl.strPath, impl.start, {}, impl.choices, impl.track);
    segments.SetWarningHandler([&impl](EDecoderWarning eWarning, const std::string& strText) {
        if (impl.fnWarning) {
            impl.fnWarning(eWarning, strText);
        }
    });
    CBlockSink sink(fnWrite, impl.queue.latest, !impl.bKeepFormat);
    segments.SetBlockWriter([&sink](std::span<const int16_t> samples, int nChannels) {
        return sink.Write(samples, nChannels);
    });
    std::string strReason;
    const bool bDone = segments.Run(
        sink, nThreads, [&sink] { return sink.Stopped(); }, strReason,
        SegmentFramesOf(*impl.pDecoder));
    impl.bEnded = true;
    impl.bAtStart = false;
    if (!bDone) {
        impl.strFailure = strReason;
        return EStreamResult::ErrDecode;
    }
    return EStreamResult::Ok;
}

const char* CStream::ResultText(EStreamResult eResult) {
    switch (eResult) {
        case EStreamResult::Ok:
            return "success";
        case EStreamResult::NewFormat:
            return "the output format is new";
        case EStreamResult::NeedMore:
            return "more input is needed";
        case EStreamResult::Done:
            return "the stream has ended";
        case EStreamResult::ErrArgument:
            return "invalid argument";
        case EStreamResult::ErrMemory:
            return "out of memory";
        case EStreamResult::ErrOpen:
            return "the file could not be read";
        case EStreamResult::ErrSeek:
            return "this handle cannot seek";
        case EStreamResult::ErrNoStream:
            return "no MPEG audio Layer I or II stream found";
        case EStreamResult::ErrDecode:
            return "decoding on several threads failed";
    }
    return "unknown result";
}

}  // namespace corvina
