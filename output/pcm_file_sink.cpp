// Decoding to a file.
#include "output/pcm_file_sink.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#include "output/replay_gain.h"

namespace {

// Large blocks keep the number of writes small.
constexpr std::size_t kBlockBytes = 256 * 1024;

}  // namespace

CPcmFileSink::~CPcmFileSink() {
    if (!Close() && m_pFailed != nullptr) {
        *m_pFailed = true;
        if (m_pReason != nullptr) {
            *m_pReason = m_Writer.FailureReason();
        }
    }
}

bool CPcmFileSink::Open(const std::string& strPath, bool bWav, int nChannels, uint32_t nSampleRate,
                        std::string& strReason) {
    m_nChannels = std::clamp(nChannels, 1, 2);
    m_strPath = strPath;
    m_bWav = bWav;
    m_bFailed = !m_Writer.Open(strPath, m_nChannels, nSampleRate, strReason, bWav);
    m_bPending.reserve(kBlockBytes + 4 * 1152);
    return !m_bFailed;
}

// The frame goes onto the pending block in the file's channels: a channel
// the file does not have is left out, one the frame does not have is silence.
void CPcmFileSink::WriteFrame(std::span<const int16_t> samples, int nChannels) {
    const auto nFrom = static_cast<std::size_t>(nChannels);
    const auto nTo = static_cast<std::size_t>(m_nChannels);
    const std::size_t nSamples = samples.size() / nFrom;
    const std::size_t nStart = m_bPending.size();
    m_bPending.resize(nStart + 2 * nSamples * nTo);
    uint8_t* pTo = m_bPending.data() + nStart;
    if (InFileOrder(nChannels)) {
        std::memcpy(pTo, samples.data(), 2 * nSamples * nTo);
        return;
    }
    for (std::size_t i = 0; i < nSamples; ++i) {
        for (std::size_t c = 0; c < nTo; ++c, pTo += 2) {
            int16_t nSample = c < nFrom ? samples[i * nFrom + c] : int16_t{0};
            if (m_dReplayGain != 1.0) {
                nSample = ApplyReplayGain(nSample, m_dReplayGain);
            }
            const auto nValue = static_cast<uint16_t>(nSample);
            pTo[0] = static_cast<uint8_t>(nValue & 0xFF);
            pTo[1] = static_cast<uint8_t>(nValue >> 8);
        }
    }
}

// On a little-endian machine the samples are in the file's order already.
bool CPcmFileSink::InFileOrder(int nChannels) const {
    return nChannels == m_nChannels && m_dReplayGain == 1.0 &&
           std::endian::native == std::endian::little;
}

bool CPcmFileSink::WriteFrames(std::span<const int16_t> samples, int nChannels) {
    if (!InFileOrder(nChannels)) {
        return false;
    }
    Flush();
    WriteOut(samples.data(), samples.size_bytes());
    return true;
}

int32_t CPcmFileSink::EndFrame() {
    if (m_bPending.size() >= kBlockBytes) {
        Flush();
    }
    return 1;
}

void CPcmFileSink::Flush() {
    WriteOut(m_bPending.data(), m_bPending.size());
    m_bPending.clear();
}

void CPcmFileSink::WriteOut(const void* pBytes, std::size_t nBytes) {
    if (nBytes > 0 && m_Writer.IsOpen() && !m_Writer.Write(pBytes, nBytes)) {
        m_bFailed = true;
    }
}

void CPcmFileSink::ChangeFormat(const corvina::CStreamFormat& format) {
    Flush();
    m_nChannels = std::clamp(format.nChannels, 1, 2);
    if (!m_bWav || m_bFailed) {
        return;
    }
    if (!m_Writer.Close()) {
        m_bFailed = true;
        return;
    }
    // A stream that keeps changing gets no more than kMaxFiles: the rest
    // is left out, and the decode fails.
    if (m_nFileNumber >= kMaxFiles) {
        std::fprintf(stderr, "corvina: %s: the stream changes its format more than %d times\n",
                     m_strPath.c_str(), kMaxFiles - 1);
        m_bFailed = true;
        return;
    }
    const std::string strNext = NumberedPath(m_strPath, ++m_nFileNumber);
    std::fprintf(stderr, "corvina: the stream changes to %d Hz, %d channel%s: going on in %s\n",
                 format.nSampleRate, m_nChannels, m_nChannels == 1 ? "" : "s", strNext.c_str());
    std::string strReason;
    if (!m_Writer.Open(strNext, m_nChannels, static_cast<uint32_t>(format.nSampleRate),
                       strReason)) {
        std::fprintf(stderr, "corvina: %s: cannot write (%s)\n", strNext.c_str(),
                     strReason.c_str());
        m_bFailed = true;
    }
}

bool CPcmFileSink::Close() {
    if (!m_Writer.IsOpen()) {
        return !m_bFailed;
    }
    Flush();
    if (!m_Writer.Close()) {
        m_bFailed = true;
    }
    return !m_bFailed;
}
