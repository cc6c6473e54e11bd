// The "alsa[:PCM]" wave device: real sound through libasound, fed in order by
// a thread of its own, with the volume of the card's simple mixer.
//
// When a buffer counts as finished: when its last frame has been played, not
// merely handed to ALSA. The feeder counts the frames it has handed over and
// asks snd_pcm_delay how many of them still wait in ALSA's ring (and the
// card's FIFO); a buffer is finished once the frames played reach its end. So
// at a natural end the owner's drain lasts until the sound has really been
// heard, and the reset and close that follow cut nothing off; a reset after a
// stop still drops at once. An underrun means that everything handed over has
// been played.
#include <alsa/asoundlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
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

// The card number in "hw:N,…" or "plughw:N,…", else -1.
int CardOfName(const std::string& strPcm) {
    for (const char* pszPrefix : {"hw:", "plughw:"}) {
        const std::size_t nLength = std::strlen(pszPrefix);
        if (strPcm.compare(0, nLength, pszPrefix) == 0 && strPcm.size() > nLength &&
            std::isdigit(static_cast<unsigned char>(strPcm[nLength]))) {
            return std::atoi(strPcm.c_str() + nLength);
        }
    }
    return -1;
}

class CAlsaWaveDevice : public CWaveDevice {
  public:
    explicit CAlsaWaveDevice(std::string strPcm) : m_strPcm(std::move(strPcm)) {}
    ~CAlsaWaveDevice() override;
    CAlsaWaveDevice(const CAlsaWaveDevice&) = delete;
    CAlsaWaveDevice& operator=(const CAlsaWaveDevice&) = delete;

    int QueryFormat(const CWaveFormat& format) override;
    int Open(const CWaveFormat& format) override;
    int Prepare(CWaveHeader& header) override;
    int Write(CWaveHeader& header) override;
    int Unprepare(CWaveHeader& header) override;
    int GetTimeLeftMs(const CWaveHeader& header) override;
    int Reset() override;
    int Close() override;
    bool HasVolume() override;
    int GetVolume(uint32_t& dwVolume) override;
    int SetVolume(uint32_t dwVolume) override;
    std::string GetErrorText() const override { return m_strError; }

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
    bool FindMixer();
    bool TryMixer(const std::string& strControl);

    const std::string m_strPcm;
    std::string m_strError;
    snd_pcm_t* m_pPcm = nullptr;  // set and cleared by the owner's thread, used by the feeder
    CWaveFormat m_format;
    uint32_t m_nFrameBytes = 4;
    snd_pcm_uframes_t m_nChunkFrames = 1024;
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

    std::mutex m_mixerLock;
    bool m_bMixerSought = false;
    snd_mixer_t* m_pMixer = nullptr;
    snd_mixer_elem_t* m_pElement = nullptr;
};

CAlsaWaveDevice::~CAlsaWaveDevice() {
    if (m_pPcm != nullptr) {
        Reset();
        Close();
    }
    if (m_pMixer != nullptr) {
        snd_mixer_close(m_pMixer);
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
    m_strError = nResult == MMSYSERR_NOERROR ? std::string() : m_strPcm + ": " + strReason;
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
    m_strError.clear();
    snd_pcm_uframes_t nBufferFrames = 0;
    snd_pcm_uframes_t nPeriodFrames = 0;
    if (snd_pcm_get_params(pPcm, &nBufferFrames, &nPeriodFrames) == 0 && nPeriodFrames > 0) {
        m_nChunkFrames = nPeriodFrames;
    }
    m_pPcm = pPcm;
    m_format = format;
    m_nFrameBytes = WaveFrameBytes(format);
    m_queue.clear();
    m_nHanded = 0;
    m_nPlayed = 0;
    m_bDropPending = false;
    m_bQuit = false;
    m_bBroken = false;
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
    if (nWritten == -EAGAIN) {
        // The ring is full. A ring filled before playing began starts now.
        if (snd_pcm_state(m_pPcm) == SND_PCM_STATE_PREPARED) {
            snd_pcm_start(m_pPcm);
        }
        snd_pcm_wait(m_pPcm, kPollMs);
    } else if (nWritten < 0) {
        bUnderrun = nWritten == -EPIPE;
        bFailed = snd_pcm_recover(m_pPcm, static_cast<int>(nWritten), 1) < 0;
    }

    lock.lock();
    if (bFailed) {
        m_bBroken = true;
        RetireAll();
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
    if (snd_pcm_state(m_pPcm) == SND_PCM_STATE_XRUN) {
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

bool CAlsaWaveDevice::TryMixer(const std::string& strControl) {
    snd_mixer_t* pMixer = nullptr;
    if (snd_mixer_open(&pMixer, 0) < 0) {
        return false;
    }
    if (snd_mixer_attach(pMixer, strControl.c_str()) < 0 ||
        snd_mixer_selem_register(pMixer, nullptr, nullptr) < 0 || snd_mixer_load(pMixer) < 0) {
        snd_mixer_close(pMixer);
        return false;
    }
    snd_mixer_selem_id_t* pId = nullptr;
    snd_mixer_selem_id_alloca(&pId);
    for (const char* pszName : {"Master", "PCM"}) {
        snd_mixer_selem_id_set_index(pId, 0);
        snd_mixer_selem_id_set_name(pId, pszName);
        snd_mixer_elem_t* pElement = snd_mixer_find_selem(pMixer, pId);
        if (pElement != nullptr && snd_mixer_selem_has_playback_volume(pElement)) {
            m_pMixer = pMixer;
            m_pElement = pElement;
            return true;
        }
    }
    snd_mixer_close(pMixer);
    return false;
}

// The simple mixer of the PCM's card, looked for once. Called with
// m_mixerLock held.
bool CAlsaWaveDevice::FindMixer() {
    if (m_bMixerSought) {
        return m_pElement != nullptr;
    }
    m_bMixerSought = true;
    int nCard = CardOfName(m_strPcm);
    if (nCard < 0) {
        snd_pcm_t* pPcm = nullptr;
        if (OpenPcm(m_strPcm, &pPcm) == 0) {
            snd_pcm_info_t* pInfo = nullptr;
            snd_pcm_info_alloca(&pInfo);
            if (snd_pcm_info(pPcm, pInfo) == 0) {
                nCard = snd_pcm_info_get_card(pInfo);
            }
            snd_pcm_close(pPcm);
        }
    }
    if (nCard >= 0 && TryMixer("hw:" + std::to_string(nCard))) {
        return true;
    }
    // Names such as "default" or "pulse" are control names as well.
    return TryMixer(m_strPcm);
}

bool CAlsaWaveDevice::HasVolume() {
    std::lock_guard<std::mutex> lock(m_mixerLock);
    return FindMixer();
}

int CAlsaWaveDevice::GetVolume(uint32_t& dwVolume) {
    std::lock_guard<std::mutex> lock(m_mixerLock);
    if (!FindMixer()) {
        return MMSYSERR_NOTSUPPORTED;
    }
    snd_mixer_handle_events(m_pMixer);  // pick up changes made by other programs
    long nMin = 0;
    long nMax = 0;
    snd_mixer_selem_get_playback_volume_range(m_pElement, &nMin, &nMax);
    long nLeft = nMin;
    long nRight = nMin;
    if (snd_mixer_selem_get_playback_volume(m_pElement, SND_MIXER_SCHN_FRONT_LEFT, &nLeft) < 0) {
        return MMSYSERR_ERROR;
    }
    if (snd_mixer_selem_is_playback_mono(m_pElement) ||
        snd_mixer_selem_get_playback_volume(m_pElement, SND_MIXER_SCHN_FRONT_RIGHT, &nRight) < 0) {
        nRight = nLeft;
    }
    const auto toWord = [&](long nValue) -> uint32_t {
        if (nMax <= nMin) {
            return 0xFFFF;
        }
        const long long nSpan = nMax - nMin;
        const long long nStep = std::clamp<long long>(nValue - nMin, 0, nSpan);
        return static_cast<uint32_t>((nStep * 0xFFFF + nSpan / 2) / nSpan);
    };
    dwVolume = toWord(nLeft) | toWord(nRight) << 16;
    return MMSYSERR_NOERROR;
}

int CAlsaWaveDevice::SetVolume(uint32_t dwVolume) {
    std::lock_guard<std::mutex> lock(m_mixerLock);
    if (!FindMixer()) {
        return MMSYSERR_NOTSUPPORTED;
    }
    long nMin = 0;
    long nMax = 0;
    snd_mixer_selem_get_playback_volume_range(m_pElement, &nMin, &nMax);
    const auto fromWord = [&](uint32_t nWord) -> long {
        const long long nSpan = std::max(nMax - nMin, 0L);
        return nMin + static_cast<long>((nWord * nSpan + 0x7FFF) / 0xFFFF);
    };
    const long nLeft = fromWord(dwVolume & 0xFFFF);
    const long nRight = fromWord(dwVolume >> 16);
    int nError = 0;
    if (snd_mixer_selem_is_playback_mono(m_pElement)) {
        nError = snd_mixer_selem_set_playback_volume_all(m_pElement, (nLeft + nRight) / 2);
    } else {
        nError = snd_mixer_selem_set_playback_volume(m_pElement, SND_MIXER_SCHN_FRONT_LEFT, nLeft);
        if (nError >= 0) {
            nError =
                snd_mixer_selem_set_playback_volume(m_pElement, SND_MIXER_SCHN_FRONT_RIGHT, nRight);
        }
    }
    return nError < 0 ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
}

}  // namespace

std::unique_ptr<CWaveDevice> CreateAlsaWaveDevice(const std::string& strPcm) {
    return std::make_unique<CAlsaWaveDevice>(strPcm);
}
