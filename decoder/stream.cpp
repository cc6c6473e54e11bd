// The stream handle: CAudioDecoder over a file, memory, the caller's source
// or a feed, its PCM queued interleaved until the caller reads it.
#include <corvina/stream.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "decoder/audio_decoder.h"
#include "decoder/memory_source.h"

namespace corvina {

namespace {

// Decoded samples, interleaved, with the format changes among them.
struct CPcmQueue {
    std::vector<int16_t> samples;
    std::size_t nReadAt = 0;
    // Where in samples a format starts.
    std::deque<std::pair<std::size_t, CPcmFormat>> changes;
    // The format of the samples queued last.
    CPcmFormat latest;

    void Clear() {
        samples.clear();
        nReadAt = 0;
        changes.clear();
    }
    void ChangeFormat(const CStreamFormat& format) {
        latest = {format.nSampleRate, format.nChannels};
        changes.emplace_back(samples.size(), latest);
    }
    // Samples from nReadAt up to the next format change.
    std::size_t Ready() const {
        return (changes.empty() ? samples.size() : changes.front().first) - nReadAt;
    }
    void Take(int16_t* pTarget, std::size_t nCount) {
        std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(nReadAt), nCount, pTarget);
        nReadAt += nCount;
        if (nReadAt == samples.size()) {
            for (auto& change : changes) {
                change.first -= nReadAt;
            }
            samples.clear();
            nReadAt = 0;
        }
    }
};

// The sink of the decoder: each frame's channels interleaved into the queue.
class CQueueSink : public CAudioSink {
  public:
    CQueueSink(CPcmQueue& queue, const CStreamFormat& format) : m_queue(queue) {
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
    bool FollowsFormat() const override { return true; }
    void ChangeFormat(const CStreamFormat& format) override {
        m_queue.ChangeFormat(format);
        m_nChannels = format.nChannels;
    }

  private:
    CPcmQueue& m_queue;
    int m_nChannels;
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

    ~CImpl() { Close(); }

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
        bInitialized = bEnded = false;
        eError = EStreamResult::Ok;
    }

    CAudioDecoder::CHooks Hooks() {
        CAudioDecoder::CHooks hooks;
        hooks.fnStopRequested = [pFeed = pFeed.get()] {
            return pFeed != nullptr && pFeed->IsClosing();
        };
        // The handler as it is when the warning comes.
        hooks.fnReportCodedWarning = [this](EDecoderWarning eWarning, const std::string& strText) {
            if (fnWarning) {
                fnWarning(eWarning, strText);
            }
        };
        hooks.fnMakeSink = [this](const CStreamFormat& streamFormat) {
            return std::unique_ptr<CAudioSink>(new CQueueSink(queue, streamFormat));
        };
        hooks.bReadTrackInfo = false;
        return hooks;
    }

    // Makes the decoder over the input from its start and finds the first
    // frame; the queue then tells the first format.
    EStreamResult Start() {
        queue.Clear();
        bInitialized = bEnded = false;
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
            if (!pDecoder->Stream().IsOpen()) {
                pDecoder.reset();
                return EStreamResult::ErrOpen;
            }
            if (pDecoder->Initialize() == 0) {
                return EStreamResult::ErrNoStream;
            }
        } catch (const std::bad_alloc&) {
            return EStreamResult::ErrMemory;
        }
        bInitialized = true;
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
            Close();
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
    for (;;) {
        if (impl.eError != EStreamResult::Ok) {
            return impl.eError;
        }
        CPcmQueue& queue = impl.queue;
        if (!queue.changes.empty() && queue.changes.front().first == queue.nReadAt) {
            impl.format = queue.changes.front().second;
            queue.changes.pop_front();
            return EStreamResult::NewFormat;
        }
        if (const std::size_t nReady = queue.Ready(); nReady > 0 || pcm.empty()) {
            nRead = std::min(nReady, pcm.size());
            queue.Take(pcm.data(), nRead);
            return EStreamResult::Ok;
        }
        if (impl.bEnded) {
            return EStreamResult::Done;
        }
        const EStreamResult eResult = impl.Advance();
        if (eResult == EStreamResult::NeedMore) {
            return eResult;
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
    impl.queue.Clear();
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
    }
    return "unknown result";
}

}  // namespace corvina
