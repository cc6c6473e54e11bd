// The "null" wave device: plays nothing, but takes each buffer's real
// duration on the monotonic clock, so pacing, pause and stop behave as on a
// sound card.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>

#include "platform/wave_backend_rules.h"
#include "platform/wave_backends.h"

namespace {

using CClock = std::chrono::steady_clock;

// One volume for the whole process, so the volume commands (on a device of
// their own) and the stream that plays later see the same value.
std::atomic<uint32_t> g_dwNullVolume{0xFFFFFFFF};

class CNullWaveDevice : public CWaveDevice {
  public:
    int QueryFormat(const CWaveFormat& format) override {
        return IsPcm16Format(format) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
    }

    int Open(const CWaveFormat& format) override {
        if (m_bOpen) {
            return MMSYSERR_ALLOCATED;
        }
        if (!IsPcm16Format(format)) {
            return WAVERR_BADFORMAT;
        }
        m_format = format;
        m_bOpen = true;
        m_tLastEnd = CClock::now();
        return MMSYSERR_NOERROR;
    }

    int Prepare(CWaveHeader& header) override {
        return m_bOpen ? MarkWaveHeaderPrepared(header) : MMSYSERR_INVALHANDLE;
    }

    int Write(CWaveHeader& header) override {
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
        m_tLastEnd = std::max(CClock::now(), m_tLastEnd) +
                     std::chrono::duration_cast<CClock::duration>(duration);
        m_queue.push_back({&header, m_tLastEnd});
        return MMSYSERR_NOERROR;
    }

    int Unprepare(CWaveHeader& header) override {
        if (!m_bOpen) {
            return MMSYSERR_INVALHANDLE;
        }
        const auto now = CClock::now();
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
        const auto now = CClock::now();
        for (const auto& entry : m_queue) {
            if (entry.pHeader == &header) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(entry.tEnd - now);
                return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
            }
        }
        return 0;
    }

    int Reset() override {
        if (!m_bOpen) {
            return MMSYSERR_INVALHANDLE;
        }
        for (const auto& entry : m_queue) {
            MarkWaveHeaderDone(*entry.pHeader);
        }
        m_queue.clear();
        m_tLastEnd = CClock::now();
        return MMSYSERR_NOERROR;
    }

    int Close() override {
        if (!m_bOpen) {
            return MMSYSERR_INVALHANDLE;
        }
        if (!m_queue.empty() && m_queue.back().tEnd > CClock::now()) {
            return WAVERR_STILLPLAYING;
        }
        m_queue.clear();
        m_bOpen = false;
        return MMSYSERR_NOERROR;
    }

    bool HasVolume() override { return true; }

    int GetVolume(uint32_t& dwVolume) override {
        dwVolume = g_dwNullVolume.load();
        return MMSYSERR_NOERROR;
    }

    int SetVolume(uint32_t dwVolume) override {
        g_dwNullVolume.store(dwVolume);
        return MMSYSERR_NOERROR;
    }

  private:
    struct CEntry {
        CWaveHeader* pHeader;
        CClock::time_point tEnd;
    };

    bool m_bOpen = false;
    CWaveFormat m_format;
    CClock::time_point m_tLastEnd;
    std::deque<CEntry> m_queue;
};

}  // namespace

std::unique_ptr<CWaveDevice> CreateNullWaveDevice() {
    return std::make_unique<CNullWaveDevice>();
}
