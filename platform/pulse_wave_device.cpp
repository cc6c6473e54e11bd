// The "pulse[:SINK]" wave device: the desktop's sound server through the
// PulseAudio client library (PipeWire serves it through pipewire-pulse).
//
// The library's own thread runs the connection; every call from the owner
// (or from the interface thread, for pause and volume) takes its lock. The
// server asks for sound when its buffer has room, and gets it from the queued
// buffers in order. A buffer counts as finished once the server's read
// position has passed its last byte, so a drain at the end lasts until the
// sound has been heard. What has been played is counted from what was
// written less what the server still holds (its latency): a flush (reset)
// moves the server's write position back to its read position, so the
// server's own read position runs behind our count by every flush.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "platform/wave_backend_rules.h"
#include "platform/wave_backends.h"

namespace {

// The server's buffer stays short, so that what it holds is small beside the
// owner's buffers.
constexpr uint32_t kTargetLengthMs = 200;
constexpr auto kConnectTimeout = std::chrono::seconds(2);
// The longest wait for the server's answer to a request: a server that is
// stopped must not keep the player from quitting.
constexpr pa_usec_t kAnswerTimeoutUs = 200000;

pa_proplist* NewApplicationProperties() {
    pa_proplist* pProperties = pa_proplist_new();
    pa_proplist_sets(pProperties, PA_PROP_APPLICATION_NAME, "Corvina");
    pa_proplist_sets(pProperties, PA_PROP_APPLICATION_ICON_NAME, "corvina");
    // No role: the server would keep the volume under the role's name,
    // shared by every music player. Under the application's own id it is
    // Corvina's alone (PipeWire keys by it; PulseAudio by the restore id).
    pa_proplist_sets(pProperties, PA_PROP_APPLICATION_ID, "corvina");
    pa_proplist_sets(pProperties, "module-stream-restore.id",
                     "sink-input-by-application-id:corvina");
    return pProperties;
}

// The volume word's halves are linear gains, as in the wave output's own
// gain; the server's volumes are on its own cubic scale.
pa_volume_t ToServerVolume(uint32_t dwHalf) {
    return pa_sw_volume_from_linear(static_cast<double>(dwHalf) / 0xFFFF);
}

uint32_t FromServerVolume(pa_volume_t volume) {
    const double fLinear = std::clamp(pa_sw_volume_to_linear(volume), 0.0, 1.0);
    return static_cast<uint32_t>(fLinear * 0xFFFF + 0.5);
}

class CPulseWaveDevice : public CWaveDevice {
  public:
    explicit CPulseWaveDevice(std::string strSink) : m_strSink(std::move(strSink)) {}
    ~CPulseWaveDevice() override;
    CPulseWaveDevice(const CPulseWaveDevice&) = delete;
    CPulseWaveDevice& operator=(const CPulseWaveDevice&) = delete;

    int QueryFormat(const CWaveFormat& format) override {
        return IsPcm16Format(format) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
    }
    int Open(const CWaveFormat& format) override;
    int Prepare(CWaveHeader& header) override {
        return m_pStream != nullptr ? MarkWaveHeaderPrepared(header) : MMSYSERR_INVALHANDLE;
    }
    int Write(CWaveHeader& header) override;
    int Unprepare(CWaveHeader& header) override;
    int GetTimeLeftMs(const CWaveHeader& header) override;
    int Reset() override;
    int Close() override;
    int Pause() override { return Cork(true); }
    int Restart() override { return Cork(false); }
    std::string GetFailureReason() override;
    // The server takes UTF-8 only: a name that is not valid keeps its valid
    // parts rather than leaving the stream without a title.
    void SetStreamTitle(const std::string& strTitle) override {
        char* pszValid = pa_utf8_filter(strTitle.c_str());
        m_strTitle = pszValid != nullptr ? pszValid : "Corvina";
        pa_xfree(pszValid);
    }
    bool HasVolume() override { return true; }
    int GetVolume(uint32_t& dwVolume) override;
    int SetVolume(uint32_t dwVolume) override;
    int SetMute(bool bMuted) override;

  private:
    // A buffer from Write until the server has played it or it was reset.
    // Its data block is read only under the lock.
    struct CEntry {
        CWaveHeader* pHeader;
        const uint8_t* pData;
        uint32_t nBytes;
        uint32_t nOffset;  // bytes written to the server
        uint64_t nEnd;     // m_nWritten after its last byte
    };

    static void OnContextState(pa_context* pContext, void* pUser);
    static void OnStreamState(pa_stream* pStream, void* pUser);
    static void OnWritable(pa_stream* pStream, size_t nBytes, void* pUser);
    static void OnVolumeSet(pa_context*, int, void* pUser) {
        pa_threaded_mainloop_signal(static_cast<CPulseWaveDevice*>(pUser)->m_pLoop, 0);
    }
    static void OnSinkInput(pa_context*, const pa_sink_input_info* pInfo, int nEol, void* pUser);

    class CLock {
      public:
        explicit CLock(pa_threaded_mainloop* pLoop) : m_pLoop(pLoop) {
            pa_threaded_mainloop_lock(m_pLoop);
        }
        ~CLock() { pa_threaded_mainloop_unlock(m_pLoop); }
        CLock(const CLock&) = delete;
        CLock& operator=(const CLock&) = delete;

      private:
        pa_threaded_mainloop* m_pLoop;
    };

    bool Connect(const CWaveFormat& format);
    void Disconnect();
    void Fill(size_t nBytes);
    uint64_t PlayedBytes();
    void RetirePlayed();
    void NoteFailure(int nError);
    int Cork(bool bCork);
    bool IsQueued(const CWaveHeader& header) const;
    void AwaitAnswer(pa_operation* pOperation, const bool* pbDone);

    const std::string m_strSink;
    std::string m_strTitle = "Corvina";
    pa_threaded_mainloop* m_pLoop = nullptr;
    pa_context* m_pContext = nullptr;
    pa_stream* m_pStream = nullptr;  // set while open
    CWaveFormat m_format;
    uint32_t m_nFrameBytes = 4;

    // Under the loop's lock.
    std::deque<CEntry> m_queue;
    uint64_t m_nWritten = 0;  // bytes written to the server since the stream began
    uint64_t m_nPlayed = 0;   // of those, played as last measured; never moves back
    bool m_bBroken = false;
    std::string m_strFailure;
    bool m_bPaused = false;
    bool m_bInfoDone = false;
    pa_cvolume m_infoVolume{};
    // The last volume set, so a word read back unchanged is the word set.
    uint32_t m_dwSetVolume = 0xFFFFFFFF;
    pa_cvolume m_setVolume{};
    bool m_bMuted = false;
};

CPulseWaveDevice::~CPulseWaveDevice() {
    if (m_pStream != nullptr) {
        Reset();
        Close();
    }
    Disconnect();
}

void CPulseWaveDevice::OnContextState(pa_context* pContext, void* pUser) {
    auto* pThis = static_cast<CPulseWaveDevice*>(pUser);
    const pa_context_state_t state = pa_context_get_state(pContext);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
        pThis->NoteFailure(pa_context_errno(pContext));
    }
    pa_threaded_mainloop_signal(pThis->m_pLoop, 0);
}

void CPulseWaveDevice::OnStreamState(pa_stream* pStream, void* pUser) {
    auto* pThis = static_cast<CPulseWaveDevice*>(pUser);
    const pa_stream_state_t state = pa_stream_get_state(pStream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
        pThis->NoteFailure(pa_context_errno(pa_stream_get_context(pStream)));
    }
    pa_threaded_mainloop_signal(pThis->m_pLoop, 0);
}

void CPulseWaveDevice::OnWritable(pa_stream*, size_t nBytes, void* pUser) {
    static_cast<CPulseWaveDevice*>(pUser)->Fill(nBytes);
}

void CPulseWaveDevice::OnSinkInput(pa_context*, const pa_sink_input_info* pInfo, int nEol,
                                   void* pUser) {
    auto* pThis = static_cast<CPulseWaveDevice*>(pUser);
    if (nEol == 0 && pInfo != nullptr) {
        pThis->m_infoVolume = pInfo->volume;
    }
    if (nEol != 0) {
        pThis->m_bInfoDone = true;
        pa_threaded_mainloop_signal(pThis->m_pLoop, 0);
    }
}

// Once the connection is gone every queued buffer counts as finished: the
// owner must never wait for sound that nobody will play.
void CPulseWaveDevice::NoteFailure(int nError) {
    if (m_pStream == nullptr || m_bBroken) {
        return;
    }
    m_bBroken = true;
    m_strFailure = pa_strerror(nError != PA_OK ? nError : PA_ERR_CONNECTIONTERMINATED);
    m_queue.clear();
}

// Connects to the server and makes the stream; called with the loop locked.
bool CPulseWaveDevice::Connect(const CWaveFormat& format) {
    pa_proplist* pProperties = NewApplicationProperties();
    m_pContext =
        pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_pLoop), "Corvina", pProperties);
    pa_proplist_free(pProperties);
    if (m_pContext == nullptr) {
        return false;
    }
    pa_context_set_state_callback(m_pContext, OnContextState, this);
    if (pa_context_connect(m_pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        return false;
    }
    const auto tEnd = std::chrono::steady_clock::now() + kConnectTimeout;
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(m_pContext);
        if (state == PA_CONTEXT_READY) {
            break;
        }
        if (!PA_CONTEXT_IS_GOOD(state) || std::chrono::steady_clock::now() > tEnd) {
            return false;
        }
        pa_threaded_mainloop_wait(m_pLoop);
    }

    pa_sample_spec sampleFormat;
    sampleFormat.format = PA_SAMPLE_S16LE;
    sampleFormat.channels = static_cast<uint8_t>(format.nChannels);
    sampleFormat.rate = format.nSamplesPerSec;
    pProperties = NewApplicationProperties();
    pa_proplist_sets(pProperties, PA_PROP_MEDIA_NAME, m_strTitle.c_str());
    m_pStream = pa_stream_new_with_proplist(m_pContext, m_strTitle.c_str(), &sampleFormat, nullptr,
                                            pProperties);
    pa_proplist_free(pProperties);
    if (m_pStream == nullptr) {
        return false;
    }
    pa_stream_set_state_callback(m_pStream, OnStreamState, this);
    pa_stream_set_write_callback(m_pStream, OnWritable, this);
    pa_buffer_attr attributes;
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = static_cast<uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(kTargetLengthMs) * 1000, &sampleFormat));
    attributes.prebuf = static_cast<uint32_t>(-1);
    attributes.minreq = static_cast<uint32_t>(-1);
    attributes.fragsize = static_cast<uint32_t>(-1);
    // The volume of the last stream carries over; full at first.
    pa_cvolume volume;
    pa_cvolume_set(&volume, sampleFormat.channels, ToServerVolume(m_dwSetVolume & 0xFFFF));
    if (sampleFormat.channels == 2) {
        volume.values[1] = ToServerVolume(m_dwSetVolume >> 16);
    }
    m_setVolume = volume;
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY |
        (m_bMuted ? PA_STREAM_START_MUTED : PA_STREAM_START_UNMUTED));
    if (pa_stream_connect_playback(m_pStream, m_strSink.empty() ? nullptr : m_strSink.c_str(),
                                   &attributes, flags, &volume, nullptr) < 0) {
        return false;
    }
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(m_pStream);
        if (state == PA_STREAM_READY) {
            return true;
        }
        if (!PA_STREAM_IS_GOOD(state) || std::chrono::steady_clock::now() > tEnd) {
            return false;
        }
        pa_threaded_mainloop_wait(m_pLoop);
    }
}

// Ends the stream, the connection and the library's thread.
void CPulseWaveDevice::Disconnect() {
    if (m_pLoop == nullptr) {
        return;
    }
    {
        CLock lock(m_pLoop);
        if (m_pStream != nullptr) {
            pa_stream_set_state_callback(m_pStream, nullptr, nullptr);
            pa_stream_set_write_callback(m_pStream, nullptr, nullptr);
            pa_stream_disconnect(m_pStream);
            pa_stream_unref(m_pStream);
            m_pStream = nullptr;
        }
        if (m_pContext != nullptr) {
            pa_context_set_state_callback(m_pContext, nullptr, nullptr);
            pa_context_disconnect(m_pContext);
            pa_context_unref(m_pContext);
            m_pContext = nullptr;
        }
    }
    pa_threaded_mainloop_stop(m_pLoop);
    pa_threaded_mainloop_free(m_pLoop);
    m_pLoop = nullptr;
}

int CPulseWaveDevice::Open(const CWaveFormat& format) {
    if (m_pStream != nullptr) {
        return MMSYSERR_ALLOCATED;
    }
    if (!IsPcm16Format(format)) {
        return WAVERR_BADFORMAT;
    }
    m_pLoop = pa_threaded_mainloop_new();
    if (m_pLoop == nullptr || pa_threaded_mainloop_start(m_pLoop) < 0) {
        if (m_pLoop != nullptr) {
            pa_threaded_mainloop_free(m_pLoop);
            m_pLoop = nullptr;
        }
        return MMSYSERR_ERROR;
    }
    bool bConnected = false;
    {
        CLock lock(m_pLoop);
        m_format = format;
        m_nFrameBytes = WaveFrameBytes(format);
        m_queue.clear();
        m_nWritten = 0;
        m_nPlayed = 0;
        m_bBroken = false;
        m_bPaused = false;
        bConnected = Connect(format);
        if (!bConnected) {
            m_strFailure = pa_strerror(m_pContext != nullptr ? pa_context_errno(m_pContext)
                                                             : PA_ERR_CONNECTIONREFUSED);
        }
    }
    if (!bConnected) {
        Disconnect();
        return MMSYSERR_ERROR;
    }
    return MMSYSERR_NOERROR;
}

// Hands the server up to nBytes from the queued buffers, in order. With
// less at hand than the server asked for, what it holds is played at once
// instead of waiting for its buffer to fill: the stream's end, or a producer
// that fell behind. Called with the loop locked.
void CPulseWaveDevice::Fill(size_t nBytes) {
    if (m_pStream == nullptr || m_bBroken || nBytes == 0) {
        return;
    }
    bool bWrote = false;
    for (CEntry& entry : m_queue) {
        if (nBytes == 0) {
            break;
        }
        if (entry.nOffset == entry.nBytes) {
            continue;
        }
        const size_t nCopy = std::min<size_t>(nBytes, entry.nBytes - entry.nOffset);
        if (pa_stream_write(m_pStream, entry.pData + entry.nOffset, nCopy, nullptr, 0,
                            PA_SEEK_RELATIVE) < 0) {
            NoteFailure(pa_context_errno(m_pContext));
            return;
        }
        bWrote = true;
        entry.nOffset += static_cast<uint32_t>(nCopy);
        m_nWritten += nCopy;
        nBytes -= nCopy;
    }
    if (bWrote && nBytes > 0 && !m_bPaused) {
        if (pa_operation* pOperation = pa_stream_trigger(m_pStream, nullptr, nullptr)) {
            pa_operation_unref(pOperation);
        }
    }
}

int CPulseWaveDevice::Write(CWaveHeader& header) {
    if (m_pStream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    CLock lock(m_pLoop);
    if (m_bBroken) {
        return MMSYSERR_ERROR;
    }
    if (const int nResult = MarkWaveHeaderQueued(header); nResult != MMSYSERR_NOERROR) {
        return nResult;
    }
    // Whole sample frames only.
    const uint32_t nBytes = header.dwBufferLength / m_nFrameBytes * m_nFrameBytes;
    // Buffers are written in order, so where this one ends is known now.
    uint64_t nEnd = m_nWritten + nBytes;
    for (const CEntry& entry : m_queue) {
        nEnd += entry.nBytes - entry.nOffset;
    }
    m_queue.push_back({&header, header.pData, nBytes, 0, nEnd});
    const size_t nWritable = pa_stream_writable_size(m_pStream);
    if (nWritable != static_cast<size_t>(-1)) {
        Fill(nWritable);
    }
    return MMSYSERR_NOERROR;
}

// Bytes that the server has played of those written. Before the server has
// told its timing (at first, and after a flush until it tells it anew),
// what counted as played stays. Called with the loop locked.
uint64_t CPulseWaveDevice::PlayedBytes() {
    pa_usec_t nLatency = 0;
    int nNegative = 0;
    if (pa_stream_get_latency(m_pStream, &nLatency, &nNegative) < 0) {
        return m_nPlayed;
    }
    pa_sample_spec sampleFormat;
    sampleFormat.format = PA_SAMPLE_S16LE;
    sampleFormat.channels = static_cast<uint8_t>(m_format.nChannels);
    sampleFormat.rate = m_format.nSamplesPerSec;
    // A negative latency: the server has read past what it was given.
    const uint64_t nHeld = nNegative != 0 ? 0 : pa_usec_to_bytes(nLatency, &sampleFormat);
    const uint64_t nPlayed = m_nWritten > nHeld ? m_nWritten - nHeld : 0;
    m_nPlayed = std::max(m_nPlayed, nPlayed);
    return m_nPlayed;
}

void CPulseWaveDevice::RetirePlayed() {
    const uint64_t nPlayed = PlayedBytes();
    while (!m_queue.empty()) {
        const CEntry& entry = m_queue.front();
        if (entry.nOffset != entry.nBytes || entry.nEnd > nPlayed) {
            break;
        }
        m_queue.pop_front();
    }
}

bool CPulseWaveDevice::IsQueued(const CWaveHeader& header) const {
    return std::any_of(m_queue.begin(), m_queue.end(),
                       [&](const CEntry& entry) { return entry.pHeader == &header; });
}

int CPulseWaveDevice::Unprepare(CWaveHeader& header) {
    if (m_pStream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    CLock lock(m_pLoop);
    if (!m_bBroken) {
        RetirePlayed();
    }
    if (IsQueued(header)) {
        return WAVERR_STILLPLAYING;
    }
    return MarkWaveHeaderUnprepared(header);
}

int CPulseWaveDevice::GetTimeLeftMs(const CWaveHeader& header) {
    if (m_pStream == nullptr) {
        return -1;
    }
    CLock lock(m_pLoop);
    const uint64_t nPlayed = PlayedBytes();
    const auto it = std::find_if(m_queue.begin(), m_queue.end(),
                                 [&](const CEntry& entry) { return entry.pHeader == &header; });
    if (it == m_queue.end() || it->nEnd <= nPlayed) {
        return 0;
    }
    const uint64_t nEnd = it->nEnd;
    const uint64_t nFrames = (nEnd - nPlayed) / m_nFrameBytes;
    return static_cast<int>(std::min<uint64_t>(nFrames * 1000 / m_format.nSamplesPerSec, 1000000));
}

int CPulseWaveDevice::Reset() {
    if (m_pStream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    CLock lock(m_pLoop);
    for (const CEntry& entry : m_queue) {
        MarkWaveHeaderDone(*entry.pHeader);
    }
    m_queue.clear();
    // What was written is played or dropped now.
    m_nPlayed = m_nWritten;
    if (!m_bBroken) {
        if (pa_operation* pOperation = pa_stream_flush(m_pStream, nullptr, nullptr)) {
            pa_operation_unref(pOperation);
        }
    }
    return MMSYSERR_NOERROR;
}

int CPulseWaveDevice::Close() {
    if (m_pStream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    {
        CLock lock(m_pLoop);
        if (!m_queue.empty()) {
            return WAVERR_STILLPLAYING;
        }
    }
    Disconnect();
    return MMSYSERR_NOERROR;
}

int CPulseWaveDevice::Cork(bool bCork) {
    if (m_pStream == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    CLock lock(m_pLoop);
    if (m_bBroken) {
        return MMSYSERR_ERROR;
    }
    m_bPaused = bCork;
    if (pa_operation* pOperation = pa_stream_cork(m_pStream, bCork ? 1 : 0, nullptr, nullptr)) {
        pa_operation_unref(pOperation);
    }
    return MMSYSERR_NOERROR;
}

std::string CPulseWaveDevice::GetFailureReason() {
    if (m_pLoop == nullptr) {
        return m_strFailure;
    }
    CLock lock(m_pLoop);
    return m_bBroken ? m_strFailure : std::string();
}

// The stream's volume as the server has it now: the desktop's mixer may
// have moved it since it was set.
int CPulseWaveDevice::GetVolume(uint32_t& dwVolume) {
    if (m_pStream == nullptr) {
        dwVolume = m_dwSetVolume;
        return MMSYSERR_NOERROR;
    }
    CLock lock(m_pLoop);
    if (m_bBroken) {
        return MMSYSERR_ERROR;
    }
    m_bInfoDone = false;
    m_infoVolume = m_setVolume;
    pa_operation* pOperation = pa_context_get_sink_input_info(
        m_pContext, pa_stream_get_index(m_pStream), OnSinkInput, this);
    if (pOperation == nullptr) {
        return MMSYSERR_ERROR;
    }
    AwaitAnswer(pOperation, &m_bInfoDone);
    if (pa_cvolume_equal(&m_infoVolume, &m_setVolume) != 0) {
        dwVolume = m_dwSetVolume;
        return MMSYSERR_NOERROR;
    }
    const uint32_t dwLeft = FromServerVolume(m_infoVolume.values[0]);
    const uint32_t dwRight =
        m_infoVolume.channels > 1 ? FromServerVolume(m_infoVolume.values[1]) : dwLeft;
    dwVolume = dwLeft | dwRight << 16;
    return MMSYSERR_NOERROR;
}

int CPulseWaveDevice::SetVolume(uint32_t dwVolume) {
    if (m_pStream == nullptr) {
        m_dwSetVolume = dwVolume;
        return MMSYSERR_NOERROR;
    }
    CLock lock(m_pLoop);
    m_dwSetVolume = dwVolume;
    if (m_bBroken) {
        return MMSYSERR_ERROR;
    }
    pa_cvolume volume;
    pa_cvolume_set(&volume, static_cast<unsigned>(m_format.nChannels),
                   ToServerVolume(dwVolume & 0xFFFF));
    if (m_format.nChannels == 2) {
        volume.values[1] = ToServerVolume(dwVolume >> 16);
    }
    m_setVolume = volume;
    // Awaited, so that the volume read next is this one.
    pa_operation* pOperation = pa_context_set_sink_input_volume(
        m_pContext, pa_stream_get_index(m_pStream), &volume, OnVolumeSet, this);
    if (pOperation == nullptr) {
        return MMSYSERR_ERROR;
    }
    AwaitAnswer(pOperation, nullptr);
    return MMSYSERR_NOERROR;
}

// Waits until the server has answered the request (or *pbDone is set), at
// most kAnswerTimeoutUs; a request left unanswered is cancelled, so that its
// answer changes nothing later. Called with the loop locked.
void CPulseWaveDevice::AwaitAnswer(pa_operation* pOperation, const bool* pbDone) {
    struct CTimeout {
        pa_threaded_mainloop* pLoop;
        bool bPassed = false;
    } timeout{m_pLoop};
    pa_mainloop_api* pApi = pa_threaded_mainloop_get_api(m_pLoop);
    timeval when{};
    pa_timeval_add(pa_gettimeofday(&when), kAnswerTimeoutUs);
    pa_time_event* pEvent = pApi->time_new(
        pApi, &when,
        [](pa_mainloop_api*, pa_time_event*, const timeval*, void* pUser) {
            auto* pTimeout = static_cast<CTimeout*>(pUser);
            pTimeout->bPassed = true;
            pa_threaded_mainloop_signal(pTimeout->pLoop, 0);
        },
        &timeout);
    while (!timeout.bPassed && !m_bBroken && (pbDone == nullptr || !*pbDone) &&
           pa_operation_get_state(pOperation) == PA_OPERATION_RUNNING) {
        pa_threaded_mainloop_wait(m_pLoop);
    }
    if (pEvent != nullptr) {
        pApi->time_free(pEvent);
    }
    if (pa_operation_get_state(pOperation) == PA_OPERATION_RUNNING) {
        pa_operation_cancel(pOperation);
    }
    pa_operation_unref(pOperation);
}

int CPulseWaveDevice::SetMute(bool bMuted) {
    if (m_pStream == nullptr) {
        m_bMuted = bMuted;
        return MMSYSERR_NOERROR;
    }
    CLock lock(m_pLoop);
    m_bMuted = bMuted;
    if (m_bBroken) {
        return MMSYSERR_ERROR;
    }
    pa_operation* pOperation = pa_context_set_sink_input_mute(
        m_pContext, pa_stream_get_index(m_pStream), bMuted ? 1 : 0, nullptr, nullptr);
    if (pOperation == nullptr) {
        return MMSYSERR_ERROR;
    }
    pa_operation_unref(pOperation);
    return MMSYSERR_NOERROR;
}

}  // namespace

std::unique_ptr<CWaveDevice> CreatePulseWaveDevice(const std::string& strSink) {
    return std::make_unique<CPulseWaveDevice>(strSink);
}

// A connection tried once, without starting a server; the first answer holds
// for the whole process.
bool IsSoundServerAnswering() {
    static const bool s_bAnswering = [] {
        pa_mainloop* pLoop = pa_mainloop_new();
        if (pLoop == nullptr) {
            return false;
        }
        pa_context* pContext = pa_context_new(pa_mainloop_get_api(pLoop), "Corvina");
        bool bReady = false;
        if (pContext != nullptr &&
            pa_context_connect(pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
            const auto tEnd = std::chrono::steady_clock::now() + kConnectTimeout;
            while (std::chrono::steady_clock::now() < tEnd) {
                const pa_context_state_t state = pa_context_get_state(pContext);
                if (state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state)) {
                    bReady = state == PA_CONTEXT_READY;
                    break;
                }
                pa_mainloop_iterate(pLoop, 0, nullptr);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            pa_context_disconnect(pContext);
        }
        if (pContext != nullptr) {
            pa_context_unref(pContext);
        }
        pa_mainloop_free(pLoop);
        return bReady;
    }();
    return s_bAnswering;
}
