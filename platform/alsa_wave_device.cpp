// The "alsa[:PCM]" wave device: real sound through libasound, fed in order by
// a thread of its own. It has no volume: the wave output scales the samples,
// and the card's mixer is left alone.
//
// When a buffer counts as finished: when its last frame has been played, not
// merely handed to ALSA. The feeder counts the frames it has handed over and
// asks snd_pcm_delay how many of them still wait in ALSA's ring (and the
// card's FIFO); a buffer is finished once the frames played reach its end. So
// at a natural end the owner's drain lasts until the sound has really been
// heard, and the reset and close that follow cut nothing off; a reset after a
// stop still drops at once. An underrun means that everything handed over has
// been played.
//
// Pause holds the PCM where the device can, else drops what ALSA holds and
// queues the unplayed part again, so that the sound stops at once and goes
// on from the same frame. When ALSA keeps failing, the feeder tries a few
// times with growing pauses, then gives up for good and keeps ALSA's reason.
#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/wave_backend_rules.h"
#include "platform/wave_backends.h"

namespace {

// ALSA's own ring stays short, so that what is queued there is small beside
// the owner's buffers and a reset is heard at once.
constexpr unsigned kBufferTimeUs = 200000;
constexpr unsigned kPeriodTimeUs = 50000;
// How long the feeder waits for room in the ring or for the sound to move on
// before it looks at its requests again.
constexpr int kPollMs = 10;
constexpr auto kIdlePoll = std::chrono::milliseconds(5);
// Failed calls in a row before the device counts as gone, and the pause
// after the first; each following pause is twice as long.
constexpr int kMaxTroubles = 6;
constexpr int kTroublePauseMs = 10;

// libasound prints its own complaints (no card, an unknown name) on standard
// error; the player tells the user itself in its warnings.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

int OpenPcm(const std::string& strPcm, snd_pcm_t** ppPcm) {
    static std::once_flag s_quiet;
    std::call_once(s_quiet, [] { snd_lib_error_set_handler(IgnoreAlsaError); });
    // Non-blocking, so that a device in use answers at once instead of
    // waiting for the other program to let go.
    return snd_pcm_open(ppPcm, strPcm.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
}

int OpenErrorCode(int nError) {
    return nError == -EBUSY || nError == -EAGAIN ? MMSYSERR_ALLOCATED : MMSYSERR_ERROR;
}

// Narrows the configuration space to interleaved S16_LE with the format's
// channels and rate; ALSA may resample to reach the rate. strError takes
// ALSA's reason for a refusal.
int RestrictToFormat(snd_pcm_t* pPcm, snd_pcm_hw_params_t* pParams, const CWaveFormat& format,
                     std::string& strError) {
    if (const int nError = snd_pcm_hw_params_any(pPcm, pParams); nError < 0) {
        strError = snd_strerror(nError);
        return MMSYSERR_ERROR;
    }
    (void)snd_pcm_hw_params_set_rate_resample(pPcm, pParams, 1);
    const std::pair<const char*, int> steps[] = {
        {"interleaved access",
         snd_pcm_hw_params_set_access(pPcm, pParams, SND_PCM_ACCESS_RW_INTERLEAVED)},
        {"16-bit samples", snd_pcm_hw_params_set_format(pPcm, pParams, SND_PCM_FORMAT_S16_LE)},
        {"the channels", snd_pcm_hw_params_set_channels(pPcm, pParams, format.nChannels)},
        {"the sampling rate", snd_pcm_hw_params_set_rate(pPcm, pParams, format.nSamplesPerSec, 0)},
    };
    for (const auto& [pszWhat, nError] : steps) {
        if (nError < 0) {
            strError = std::string(pszWhat) + " refused: " + snd_strerror(nError);
            return WAVERR_BADFORMAT;
        }
    }
    return MMSYSERR_NOERROR;
}

class CAlsaWaveDevice : public CWaveDevice {
  public:
    explicit CAlsaWaveDevice(std::string strPcm) : m_strPcm(std::move(strPcm)) {}
    ~CAlsaWaveDevice() override;
    CAlsaWaveDevice(const CAlsaWaveDevice&) = delete;
    CAlsaWaveDevice& operator=(const CAlsaWaveDevice&) = delete;

    int QueryFormat(const CWaveFormat& format) override;
    int Open(const CWaveFormat& format) override;
    std::string GetOpenErrorText() const override { return m_strOpenError; }
    int Prepare(CWaveHeader& header) override;
    int Write(CWaveHeader& header) override;
    int Unprepare(CWaveHeader& header) override;
    int GetTimeLeftMs(const CWaveHeader& header) override;
    int Reset() override;
    int Close() override;
    int Pause() override { return RequestPause(true); }
    int Restart() override { return RequestPause(false); }
    std::string GetFailureReason() override;
    bool HasVolume() override { return false; }
    int GetVolume(uint32_t&) override { return MMSYSERR_NOTSUPPORTED; }
    int SetVolume(uint32_t) override { return MMSYSERR_NOTSUPPORTED; }

  private:
    // Keeps ALSA's reason for the failure; returns nResult.
    int Fail(int nResult, const std::string& strReason);

    // A buffer from Write until it has been played or reset. The feeder reads
    // the data block only under m_lock, so after a reset the owner may free it
    // at once.
    struct CEntry {
        CWaveHeader* pHeader;
        const uint8_t* pData;
        uint32_t nBytes;
        uint32_t nOffset;  // bytes handed to ALSA
        bool bHanded;      // every byte handed; nEnd is then valid
        uint64_t nEnd;     // m_nHanded after its last frame
    };

    void Feed();
    bool HandOverChunk(std::unique_lock<std::mutex>& lock, std::vector<uint8_t>& chunk);
    void RetirePlayed(std::unique_lock<std::mutex>& lock);
    void RetireAll();
    bool IsQueued(const CWaveHeader& header) const;
    int RequestPause(bool bPause);
    void ApplyPause(std::unique_lock<std::mutex>& lock);
    void QueueUnplayedAgain(uint64_t nPlayed);
    bool NoteTrouble(std::unique_lock<std::mutex>& lock, int nError);

    const std::string m_strPcm;
    std::string m_strOpenError;
    snd_pcm_t* m_pPcm = nullptr;  // set and cleared by the owner's thread, used by the feeder
    CWaveFormat m_format;
    uint32_t m_nFrameBytes = 4;
    snd_pcm_uframes_t m_nChunkFrames = 1024;
    bool m_bCanPause = false;
    std::thread m_feeder;

    // Shared by the owner's thread and the feeder.
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<CEntry> m_queue;
    uint64_t m_nGeneration = 0;  // counts resets, so the feeder forgets a chunk in flight
    uint64_t m_nHanded = 0;      // frames handed to ALSA since it was last prepared
    uint64_t m_nPlayed = 0;      // of those, the frames played when last asked
    bool m_bDropPending = false;
    bool m_bQuit = false;
    bool m_bBroken = false;  // ALSA failed beyond recovery: nothing more is accepted
    std::string m_strFailure;
    int m_nTroubles = 0;          // failed calls since the last one that worked
    bool m_bPauseWanted = false;  // the owner's request
    bool m_bPaused = false;       // the feeder has carried it out
    bool m_bHeldByAlsa = false;   // paused with snd_pcm_pause
};

CAlsaWaveDevice::~CAlsaWaveDevice() {
    if (m_pPcm != nullptr) {
        Reset();
        Close();
    }
}

int CAlsaWaveDevice::QueryFormat(const CWaveFormat& format) {
    if (!IsPcm16Format(format)) {
        return WAVERR_BADFORMAT;
    }
    if (m_pPcm != nullptr) {
        return format.nChannels == m_format.nChannels &&
                       format.nSamplesPerSec == m_format.nSamplesPerSec
                   ? MMSYSERR_NOERROR
                   : WAVERR_BADFORMAT;
    }
    snd_pcm_t* pPcm = nullptr;
    if (const int nError = OpenPcm(m_strPcm, &pPcm); nError < 0) {
        return Fail(OpenErrorCode(nError), snd_strerror(nError));
    }
    snd_pcm_hw_params_t* pParams = nullptr;
    snd_pcm_hw_params_alloca(&pParams);
    std::string strError;
    const int nResult = RestrictToFormat(pPcm, pParams, format, strError);
    snd_pcm_close(pPcm);
    return Fail(nResult, strError);
}

int CAlsaWaveDevice::Fail(int nResult, const std::string& strReason) {
    m_strOpenError = nResult == MMSYSERR_NOERROR ? std::string() : m_strPcm + ": " + strReason;
    return nResult;
}

int CAlsaWaveDevice::Open(const CWaveFormat& format) {
    if (m_pPcm != nullptr) {
        return MMSYSERR_ALLOCATED;
    }
    if (!IsPcm16Format(format)) {
        return WAVERR_BADFORMAT;
    }
    snd_pcm_t* pPcm = nullptr;
    if (const int nError = OpenPcm(m_strPcm, &pPcm); nError < 0) {
        m_strFailure = snd_strerror(nError);
        return Fail(OpenErrorCode(nError), snd_strerror(nError));
    }
    snd_pcm_hw_params_t* pParams = nullptr;
    snd_pcm_hw_params_alloca(&pParams);
    std::string strError;
    int nResult = RestrictToFormat(pPcm, pParams, format, strError);
    if (nResult == MMSYSERR_NOERROR) {
        unsigned nBufferTime = kBufferTimeUs;
        unsigned nPeriodTime = kPeriodTimeUs;
        (void)snd_pcm_hw_params_set_buffer_time_near(pPcm, pParams, &nBufferTime, nullptr);
        (void)snd_pcm_hw_params_set_period_time_near(pPcm, pParams, &nPeriodTime, nullptr);
        if (const int nError = snd_pcm_hw_params(pPcm, pParams); nError < 0) {
            nResult = WAVERR_BADFORMAT;
            strError = snd_strerror(nError);
        }
    }
    if (nResult != MMSYSERR_NOERROR) {
        snd_pcm_close(pPcm);
        return Fail(nResult, strError);
    }
    m_strOpenError.clear();
    snd_pcm_uframes_t nBufferFrames = 0;
    snd_pcm_uframes_t nPeriodFrames = 0;
    if (snd_pcm_get_params(pPcm, &nBufferFrames, &nPeriodFrames) == 0 && nPeriodFrames > 0) {
        m_nChunkFrames = nPeriodFrames;
    }
    m_bCanPause = snd_pcm_hw_params_can_pause(pParams) != 0;
    m_pPcm = pPcm;
    m_format = format;
    m_nFrameBytes = WaveFrameBytes(format);
    m_queue.clear();
    m_nHanded = 0;
    m_nPlayed = 0;
    m_bDropPending = false;
    m_bQuit = false;
    m_bBroken = false;
    m_strFailure.clear();
    m_nTroubles = 0;
    m_bPauseWanted = false;
    m_bPaused = false;
    m_bHeldByAlsa = false;
    m_feeder = std::thread(&CAlsaWaveDevice::Feed, this);
    return MMSYSERR_NOERROR;
}

int CAlsaWaveDevice::Prepare(CWaveHeader& header) {
    return m_pPcm != nullptr ? MarkWaveHeaderPrepared(header) : MMSYSERR_INVALHANDLE;
}

int CAlsaWaveDevice::Write(CWaveHeader& header) {
    if (m_pPcm == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_bBroken) {
            return MMSYSERR_ERROR;
        }
        if (const int nResult = MarkWaveHeaderQueued(header); nResult != MMSYSERR_NOERROR) {
            return nResult;
        }
        // Whole sample frames only; ALSA takes nothing smaller.
        const uint32_t nBytes = header.dwBufferLength / m_nFrameBytes * m_nFrameBytes;
        m_queue.push_back({&header, header.pData, nBytes, 0, false, 0});
    }
    m_wake.notify_all();
    return MMSYSERR_NOERROR;
}

bool CAlsaWaveDevice::IsQueued(const CWaveHeader& header) const {
    return std::any_of(m_queue.begin(), m_queue.end(),
                       [&](const CEntry& entry) { return entry.pHeader == &header; });
}

int CAlsaWaveDevice::Unprepare(CWaveHeader& header) {
    if (m_pPcm == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    if (IsQueued(header)) {
        return WAVERR_STILLPLAYING;
    }
    return MarkWaveHeaderUnprepared(header);
}

// The frames still to be heard up to the buffer's end: those handed over but
// not yet played when the feeder last asked, and those not handed over yet.
int CAlsaWaveDevice::GetTimeLeftMs(const CWaveHeader& header) {
    if (m_pPcm == nullptr) {
        return -1;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    const auto ToMs = [this](uint64_t nFrames) {
        return static_cast<int>(
            std::min<uint64_t>(nFrames * 1000 / m_format.nSamplesPerSec, 1000000));
    };
    uint64_t nFrames = m_nHanded - std::min(m_nHanded, m_nPlayed);
    for (const CEntry& entry : m_queue) {
        if (entry.bHanded) {
            if (entry.pHeader == &header) {
                return ToMs(entry.nEnd - std::min(entry.nEnd, m_nPlayed));
            }
            continue;
        }
        nFrames += (entry.nBytes - entry.nOffset) / m_nFrameBytes;
        if (entry.pHeader == &header) {
            return ToMs(nFrames);
        }
    }
    return 0;
}

int CAlsaWaveDevice::Reset() {
    if (m_pPcm == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (const CEntry& entry : m_queue) {
            MarkWaveHeaderDone(*entry.pHeader);
        }
        m_queue.clear();
        ++m_nGeneration;
        m_bDropPending = true;
    }
    m_wake.notify_all();
    return MMSYSERR_NOERROR;
}

int CAlsaWaveDevice::Close() {
    if (m_pPcm == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_queue.empty()) {
            return WAVERR_STILLPLAYING;
        }
        m_bQuit = true;
    }
    m_wake.notify_all();
    m_feeder.join();
    // Everything handed over has been played (or was reset): nothing to wait for.
    snd_pcm_drop(m_pPcm);
    snd_pcm_close(m_pPcm);
    m_pPcm = nullptr;
    return MMSYSERR_NOERROR;
}

// The feeder: hands the queued buffers to ALSA in order, in chunks of one
// period, and retires each buffer once it has been played. It is the only
// thread that calls ALSA while the device is open.
void CAlsaWaveDevice::Feed() {
    std::vector<uint8_t> chunk(m_nChunkFrames * m_nFrameBytes);
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_bQuit) {
        if (m_bDropPending) {
            m_bDropPending = false;
            lock.unlock();
            snd_pcm_drop(m_pPcm);
            snd_pcm_prepare(m_pPcm);
            lock.lock();
            m_nHanded = 0;
            m_nPlayed = 0;
            m_bHeldByAlsa = false;
            continue;
        }
        if (m_bPauseWanted != m_bPaused) {
            ApplyPause(lock);
            continue;
        }
        if (m_bPaused) {
            m_wake.wait(lock, [this] { return m_bQuit || m_bDropPending || !m_bPauseWanted; });
            continue;
        }
        if (HandOverChunk(lock, chunk)) {
            continue;
        }
        if (m_queue.empty()) {
            m_wake.wait(lock, [this] {
                return m_bQuit || m_bDropPending ||
                       std::any_of(m_queue.begin(), m_queue.end(),
                                   [](const CEntry& entry) { return !entry.bHanded; });
            });
            continue;
        }
        // Everything is with ALSA; wait for it to be played. A stream too
        // short to fill the ring would otherwise never start.
        lock.unlock();
        if (snd_pcm_state(m_pPcm) == SND_PCM_STATE_PREPARED) {
            snd_pcm_start(m_pPcm);
        }
        lock.lock();
        RetirePlayed(lock);
        if (!m_queue.empty()) {
            m_wake.wait_for(lock, kIdlePoll);
        }
    }
}

// Hands the next chunk of the oldest buffer not yet wholly handed over to
// ALSA. False when there is none. Called and returns with the lock held.
bool CAlsaWaveDevice::HandOverChunk(std::unique_lock<std::mutex>& lock,
                                    std::vector<uint8_t>& chunk) {
    auto next = std::find_if(m_queue.begin(), m_queue.end(),
                             [](const CEntry& entry) { return !entry.bHanded; });
    while (next != m_queue.end() && next->nOffset == next->nBytes) {
        next->bHanded = true;  // an empty buffer ends where the one before it ends
        next->nEnd = m_nHanded;
        ++next;
    }
    if (next == m_queue.end()) {
        return false;
    }
    if (m_bBroken) {
        RetireAll();
        return true;
    }
    CEntry& entry = *next;
    const uint64_t nGeneration = m_nGeneration;
    const auto nCopy = std::min<std::size_t>(chunk.size(), entry.nBytes - entry.nOffset);
    std::memcpy(chunk.data(), entry.pData + entry.nOffset, nCopy);
    lock.unlock();

    const snd_pcm_sframes_t nWritten = snd_pcm_writei(m_pPcm, chunk.data(), nCopy / m_nFrameBytes);
    bool bUnderrun = false;
    bool bFailed = false;
    int nError = 0;
    if (nWritten == -EAGAIN) {
        // The ring is full. A ring filled before playing began starts now.
        if (snd_pcm_state(m_pPcm) == SND_PCM_STATE_PREPARED) {
            snd_pcm_start(m_pPcm);
        }
        nError = snd_pcm_wait(m_pPcm, kPollMs);
        if (nError < 0) {
            bFailed = snd_pcm_recover(m_pPcm, nError, 1) < 0;
        }
    } else if (nWritten < 0) {
        nError = static_cast<int>(nWritten);
        bUnderrun = nWritten == -EPIPE;
        bFailed = snd_pcm_recover(m_pPcm, nError, 1) < 0;
    }

    lock.lock();
    if (nError < 0 && NoteTrouble(lock, nError)) {
        return true;
    }
    if (bFailed) {
        // Not recovered: the next try starts from a prepared PCM.
        lock.unlock();
        snd_pcm_prepare(m_pPcm);
        lock.lock();
        return true;
    }
    if (bUnderrun) {
        // The ring ran dry: everything handed over so far has been heard.
        while (!m_queue.empty() && m_queue.front().bHanded) {
            m_queue.pop_front();
        }
        m_nHanded = 0;
        m_nPlayed = 0;
        return true;
    }
    // A reset in the meantime has emptied the queue; the chunk is dropped
    // with the rest.
    if (nWritten > 0) {
        m_nTroubles = 0;
    }
    if (nWritten > 0 && nGeneration == m_nGeneration) {
        entry.nOffset += static_cast<uint32_t>(nWritten) * m_nFrameBytes;
        m_nHanded += static_cast<uint64_t>(nWritten);
        if (entry.nOffset == entry.nBytes) {
            entry.bHanded = true;
            entry.nEnd = m_nHanded;
        }
    }
    RetirePlayed(lock);
    return true;
}

// Drops the buffers whose every frame has been played. Called and returns
// with the lock held.
void CAlsaWaveDevice::RetirePlayed(std::unique_lock<std::mutex>& lock) {
    const uint64_t nHanded = m_nHanded;
    const uint64_t nGeneration = m_nGeneration;
    lock.unlock();
    uint64_t nPlayed = nHanded;
    bool bDry = false;
    snd_pcm_sframes_t nDelay = 0;
    const snd_pcm_state_t state = snd_pcm_state(m_pPcm);
    if (state == SND_PCM_STATE_DISCONNECTED) {
        lock.lock();
        NoteTrouble(lock, -ENODEV);
        return;
    }
    if (state == SND_PCM_STATE_XRUN) {
        bDry = true;
        snd_pcm_prepare(m_pPcm);
    } else if (snd_pcm_delay(m_pPcm, &nDelay) == 0) {
        nDelay = std::max<snd_pcm_sframes_t>(nDelay, 0);
        nPlayed = nHanded - std::min(nHanded, static_cast<uint64_t>(nDelay));
    }
    // When ALSA cannot tell the delay, the buffers count as played: the
    // owner must never wait for sound that no one can report.
    lock.lock();
    if (nGeneration != m_nGeneration) {
        return;
    }
    m_nPlayed = nPlayed;
    while (!m_queue.empty() && m_queue.front().bHanded && m_queue.front().nEnd <= nPlayed) {
        m_queue.pop_front();
    }
    if (bDry) {
        while (!m_queue.empty() && m_queue.front().bHanded) {
            m_queue.pop_front();
        }
        m_nHanded = 0;
        m_nPlayed = 0;
    }
}

void CAlsaWaveDevice::RetireAll() {
    m_queue.clear();
}

std::string CAlsaWaveDevice::GetFailureReason() {
    std::lock_guard<std::mutex> lock(m_lock);
    // A device that did not open keeps the reason too.
    return m_bBroken || m_pPcm == nullptr ? m_strFailure : std::string();
}

int CAlsaWaveDevice::RequestPause(bool bPause) {
    if (m_pPcm == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_bBroken) {
            return MMSYSERR_ERROR;
        }
        m_bPauseWanted = bPause;
    }
    m_wake.notify_all();
    return MMSYSERR_NOERROR;
}

// Carries out the owner's pause or restart. Called and returns with the lock
// held.
void CAlsaWaveDevice::ApplyPause(std::unique_lock<std::mutex>& lock) {
    const bool bPause = m_bPauseWanted;
    const bool bHeldByAlsa = m_bHeldByAlsa;
    const uint64_t nHanded = m_nHanded;
    const uint64_t nGeneration = m_nGeneration;
    lock.unlock();
    bool bHeld = false;
    uint64_t nPlayed = nHanded;
    if (bPause) {
        bHeld = m_bCanPause && snd_pcm_state(m_pPcm) == SND_PCM_STATE_RUNNING &&
                snd_pcm_pause(m_pPcm, 1) == 0;
        if (!bHeld) {
            snd_pcm_sframes_t nDelay = 0;
            if (snd_pcm_delay(m_pPcm, &nDelay) == 0) {
                nPlayed = nHanded - std::min(nHanded, static_cast<uint64_t>(
                                                          std::max<snd_pcm_sframes_t>(nDelay, 0)));
            }
            snd_pcm_drop(m_pPcm);
            snd_pcm_prepare(m_pPcm);
        }
    } else if (bHeldByAlsa && snd_pcm_pause(m_pPcm, 0) < 0) {
        // The held frames are lost; playing goes on with what follows.
        snd_pcm_drop(m_pPcm);
        snd_pcm_prepare(m_pPcm);
        nPlayed = nHanded;
        bHeld = false;
    }
    lock.lock();
    m_bPaused = bPause;
    m_bHeldByAlsa = bPause && bHeld;
    if ((bPause && !bHeld) || (!bPause && bHeldByAlsa && !bHeld)) {
        // A reset in the meantime has emptied the queue.
        QueueUnplayedAgain(nGeneration == m_nGeneration ? nPlayed : nHanded);
    }
}

// After ALSA's ring was dropped: every frame not yet played is handed over
// again, in order. Called with the lock held.
void CAlsaWaveDevice::QueueUnplayedAgain(uint64_t nPlayed) {
    for (CEntry& entry : m_queue) {
        const uint64_t nHandedFrames = entry.nOffset / m_nFrameBytes;
        const uint64_t nEnd = entry.bHanded ? entry.nEnd : m_nHanded;
        const uint64_t nStart = nEnd - std::min(nEnd, nHandedFrames);
        const uint64_t nKeep = nPlayed > nStart ? std::min(nPlayed - nStart, nHandedFrames) : 0;
        entry.nOffset = static_cast<uint32_t>(nKeep) * m_nFrameBytes;
        entry.bHanded = false;
    }
    while (!m_queue.empty() && m_queue.front().nOffset == m_queue.front().nBytes) {
        m_queue.pop_front();
    }
    m_nHanded = 0;
    m_nPlayed = 0;
}

// Counts one more failed call; after too many in a row the device is given
// up, else the feeder pauses before the next try, a little longer each time.
// True when the device was given up. Called and returns with the lock held.
bool CAlsaWaveDevice::NoteTrouble(std::unique_lock<std::mutex>& lock, int nError) {
    if (++m_nTroubles >= kMaxTroubles) {
        m_bBroken = true;
        m_strFailure = snd_strerror(nError);
        RetireAll();
        return true;
    }
    const auto pause = std::chrono::milliseconds(kTroublePauseMs << (m_nTroubles - 1));
    m_wake.wait_for(lock, pause, [this] { return m_bQuit || m_bDropPending; });
    return false;
}

}  // namespace

std::unique_ptr<CWaveDevice> CreateAlsaWaveDevice(const std::string& strPcm) {
    return std::make_unique<CAlsaWaveDevice>(strPcm);
}
