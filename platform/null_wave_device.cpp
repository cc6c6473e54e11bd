// The "null" wave device: plays nothing, but takes each buffer's real
// duration on the monotonic clock, so pacing, pause and stop behave as on a
// sound card. A pause stops that clock, so the buffers go on from where they
// were.
#include <algorithm>
#include <chrono>
#include <deque>
#include <mutex>

#include "platform/wave_backend_rules.h"
#include "platform/wave_backends.h"

namespace {

using CClock = std::chrono::steady_clock;

class CNullWaveDevice : public CWaveDevice {
  public:
    int QueryFormat(const CWaveFormat& format) override {
        return IsPcm16Format(format) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
    }

    int Open(const CWaveFormat& format) override {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_bOpen) {
            return MMSYSERR_ALLOCATED;
        }
        if (!IsPcm16Format(format)) {
            return WAVERR_BADFORMAT;
        }
        m_format = format;
        m_bOpen = true;
        m_bPaused = false;
        m_tLastEnd = CClock::now();
        return MMSYSERR_NOERROR;
    }

    int Prepare(CWaveHeader& header) override {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_bOpen ? MarkWaveHeaderPrepared(header) : MMSYSERR_INVALHANDLE;
    }

    int Write(CWaveHeader& header) override {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_bOpen) {
            return MMSYSERR_INVALHANDLE;
        }
        if (const int nResult = MarkWaveHeaderQueued(header); nResult != MMSYSERR_NOERROR) {
            return nResult;
        }
        // Buffers play one after another: each starts when the one before
        // it ends, or now when the device has fallen silent.
        const uint64_t nFrames = header.dwBufferLength / WaveFrameBytes(m_format);
        const auto duration =
            std::chrono::nanoseconds(nFrames * 1000000000ULL / m_format.nSamplesPerSec);
        m_tLastEnd =
            std::max(Now(), m_tLastEnd) + std::chrono::duration_cast<CClock::duration>(duration);
        m_queue.push_back({&header, m_tLastEnd});
        return MMSYSERR_NOERROR;
    }

    int Unprepare(CWaveHeader& header) override {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_bOpen) {
            return MMSYSERR_INVALHANDLE;
        }
        const auto now = Now();
        while (!m_queue.empty() && m_queue.front().tEnd <= now) {
            MarkWaveHeaderDone(*m_queue.front().pHeader);
            m_queue.pop_front();
        }
        for (const auto& entry : m_queue) {
            if (entry.pHeader == &header) {
                return WAVERR_STILLPLAYING;
            }
        }
        return MarkWaveHeaderUnprepared(header);
    }

    int GetTimeLeftMs(const CWaveHeader& header) override {
        std::lock_guard<std::mutex> lock(m_lock);
        const auto now = Now();
        for (const auto& entry : m_queue) {
            if (entry.pHeader == &header) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(entry.tEnd - now);
                return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
            }
        }
        return 0;
    }

    int Reset() override {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_bOpen) {
            return MMSYSERR_INVALHANDLE;
        }
        for (const auto& entry : m_queue) {
            MarkWaveHeaderDone(*entry.pHeader);
        }
        m_queue.clear();
        m_tLastEnd = Now();
        return MMSYSERR_NOERROR;
    }

    int Pause() override {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_bOpen) {
            return MMSYSERR_INVALHANDLE;
        }
        if (!m_bPaused) {
            m_bPaused = true;
            m_tPausedAt = CClock::now();
        }
        return MMSYSERR_NOERROR;
    }

    // Every buffer ends later by as long as the pause lasted.
    int Restart() override {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_bOpen) {
            return MMSYSERR_INVALHANDLE;
        }
        if (m_bPaused) {
            const auto paused = CClock::now() - m_tPausedAt;
            for (auto& entry : m_queue) {
                entry.tEnd += paused;
            }
            m_tLastEnd += paused;
            m_bPaused = false;
        }
        return MMSYSERR_NOERROR;
    }

    int Close() override {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_bOpen) {
            return MMSYSERR_INVALHANDLE;
        }
        if (!m_queue.empty() && m_queue.back().tEnd > Now()) {
            return WAVERR_STILLPLAYING;
        }
        m_queue.clear();
        m_bOpen = false;
        return MMSYSERR_NOERROR;
    }

    bool HasVolume() override { return false; }
    int GetVolume(uint32_t&) override { return MMSYSERR_NOTSUPPORTED; }
    int SetVolume(uint32_t) override { return MMSYSERR_NOTSUPPORTED; }

  private:
    struct CEntry {
        CWaveHeader* pHeader;
        CClock::time_point tEnd;
    };

    // The clock as the device sees it: standing still while paused.
    CClock::time_point Now() const { return m_bPaused ? m_tPausedAt : CClock::now(); }

    std::mutex m_lock;
    bool m_bOpen = false;
    bool m_bPaused = false;
    CClock::time_point m_tPausedAt;
    CWaveFormat m_format;
    CClock::time_point m_tLastEnd;
    std::deque<CEntry> m_queue;
};

}  // namespace

std::unique_ptr<CWaveDevice> CreateNullWaveDevice() {
    return std::make_unique<CNullWaveDevice>();
}
