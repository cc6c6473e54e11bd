// The "wav:PATH" wave device: writes every buffer into a WAV file and
// finishes it at once, without pacing.
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/wav_file_writer.h"
#include "platform/wave_backend_rules.h"
#include "platform/wave_backends.h"

namespace {

// One file per path for the whole process: a later open of the same path
// (loop play, the next stream) goes on at the end of what is there, so the
// file holds everything played through that device name. The file is
// complete after every close; it is closed for good when the process ends.
struct CWavTarget {
    CWavFileWriter writer;
    CWaveFormat format;
    bool bInUse = false;
};

std::mutex g_targetLock;

std::map<std::string, CWavTarget>& Targets() {
    static std::map<std::string, CWavTarget> targets;
    return targets;
}

bool IsSameFormat(const CWaveFormat& a, const CWaveFormat& b) {
    return a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec &&
           a.wBitsPerSample == b.wBitsPerSample;
}

// Two spellings of one file name the same file.
std::string TargetKey(const std::string& strPath) {
    if (strPath == "-") {
        return strPath;
    }
    std::error_code error;
    const auto path = std::filesystem::absolute(strPath, error);
    return error ? strPath : path.lexically_normal().string();
}

class CWavFileWaveDevice : public CWaveDevice {
  public:
    explicit CWavFileWaveDevice(const std::string& strPath) : m_strPath(TargetKey(strPath)) {}
    ~CWavFileWaveDevice() override { Close(); }
    CWavFileWaveDevice(const CWavFileWaveDevice&) = delete;
    CWavFileWaveDevice& operator=(const CWavFileWaveDevice&) = delete;

    int QueryFormat(const CWaveFormat& format) override {
        return IsPcm16Format(format) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
    }

    std::string GetOpenErrorText() const override { return m_strOpenError; }

    int Open(const CWaveFormat& format) override {
        if (m_pTarget != nullptr) {
            return MMSYSERR_ALLOCATED;
        }
        if (!IsPcm16Format(format)) {
            return WAVERR_BADFORMAT;
        }
        std::lock_guard<std::mutex> lock(g_targetLock);
        // One WAV file has one format: sound of another goes on in PATH-2.wav
        // (then -3 ...), the earlier sound staying as it is. Standard output
        // has no second file.
        std::string strPath = m_strPath;
        for (int nNumber = 2; strPath != "-"; ++nNumber) {
            const auto it = Targets().find(strPath);
            if (it == Targets().end() || IsSameFormat(it->second.format, format)) {
                break;
            }
            strPath = NumberedPath(m_strPath, nNumber);
        }
        auto [it, bNew] = Targets().try_emplace(strPath);
        CWavTarget& target = it->second;
        if (bNew) {
            std::string strReason;
            if (strPath != m_strPath) {
                std::fprintf(stderr, "corvina: %s holds another format: going on in %s\n",
                             m_strPath.c_str(), strPath.c_str());
            }
            if (!target.writer.Open(strPath, format.nChannels, format.nSamplesPerSec, strReason)) {
                Targets().erase(it);
                m_strOpenError = strReason;
                return MMSYSERR_ERROR;
            }
            target.format = format;
        } else if (target.bInUse) {
            return MMSYSERR_ALLOCATED;
        } else if (!IsSameFormat(target.format, format)) {
            // One WAV file has one format; the earlier sound stays as it is.
            return WAVERR_BADFORMAT;
        }
        target.bInUse = true;
        m_pTarget = &target;
        return MMSYSERR_NOERROR;
    }

    int Prepare(CWaveHeader& header) override {
        return m_pTarget != nullptr ? MarkWaveHeaderPrepared(header) : MMSYSERR_INVALHANDLE;
    }

    int Write(CWaveHeader& header) override {
        if (m_pTarget == nullptr) {
            return MMSYSERR_INVALHANDLE;
        }
        if (const int nResult = MarkWaveHeaderQueued(header); nResult != MMSYSERR_NOERROR) {
            return nResult;
        }
        // Whole sample frames only, as a sound card would take them.
        const uint32_t nFrameBytes = WaveFrameBytes(m_pTarget->format);
        const uint32_t nBytes = header.dwBufferLength / nFrameBytes * nFrameBytes;
        bool bWritten = false;
        {
            std::lock_guard<std::mutex> lock(g_targetLock);
            bWritten = m_pTarget->writer.Write(header.pData, nBytes);
        }
        MarkWaveHeaderDone(header);
        return bWritten ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
    }

    int Unprepare(CWaveHeader& header) override {
        return m_pTarget != nullptr ? MarkWaveHeaderUnprepared(header) : MMSYSERR_INVALHANDLE;
    }

    int Reset() override { return m_pTarget != nullptr ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE; }
    // Nothing is paced, so there is nothing to hold.
    int Pause() override { return MMSYSERR_NOERROR; }
    int Restart() override { return MMSYSERR_NOERROR; }

    int Close() override {
        if (m_pTarget == nullptr) {
            return MMSYSERR_INVALHANDLE;
        }
        std::lock_guard<std::mutex> lock(g_targetLock);
        const bool bFlushed = m_pTarget->writer.Flush();
        m_pTarget->bInUse = false;
        m_pTarget = nullptr;
        return bFlushed ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
    }

    bool HasVolume() override { return false; }
    int GetVolume(uint32_t&) override { return MMSYSERR_NOTSUPPORTED; }
    int SetVolume(uint32_t) override { return MMSYSERR_NOTSUPPORTED; }

  private:
    std::string m_strPath;
    std::string m_strOpenError;
    CWavTarget* m_pTarget = nullptr;  // in Targets(), which never drops an entry in use
};

}  // namespace

std::unique_ptr<CWaveDevice> CreateWavFileWaveDevice(const std::string& strPath) {
    return std::make_unique<CWavFileWaveDevice>(strPath);
}
