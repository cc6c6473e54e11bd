// Decoding to a file.
#include "output/pcm_file_sink.h"

#include <algorithm>

namespace {

// Large blocks keep the number of writes small.
constexpr std::size_t kBlockBytes = 256 * 1024;

}  // namespace

CPcmFileSink::~CPcmFileSink() {
    if (!Close() && m_pFailed != nullptr) {
        *m_pFailed = true;
    }
}

bool CPcmFileSink::Open(const std::string& strPath, bool bWav, int nChannels, uint32_t nSampleRate,
                        std::string& strReason) {
    m_nChannels = std::clamp(nChannels, 1, 2);
    m_bFailed = !m_Writer.Open(strPath, m_nChannels, nSampleRate, strReason, bWav);
    m_nFrame[0].reserve(1152);
    m_nFrame[1].reserve(1152);
    m_bPending.reserve(kBlockBytes);
    return !m_bFailed;
}

void CPcmFileSink::WriteSample(int16_t nChannel, int16_t nSample) {
    m_nFrame[nChannel == 0 || m_nChannels == 1 ? 0 : 1].push_back(nSample);
}

int32_t CPcmFileSink::EndFrame() {
    std::size_t nSamples = m_nFrame[0].size();
    if (m_nChannels == 2) {
        nSamples = std::max(nSamples, m_nFrame[1].size());
        m_nFrame[0].resize(nSamples, 0);
        m_nFrame[1].resize(nSamples, 0);
    }
    for (std::size_t i = 0; i < nSamples; ++i) {
        for (int c = 0; c < m_nChannels; ++c) {
            const auto nValue = static_cast<uint16_t>(m_nFrame[c][i]);
            m_bPending.push_back(static_cast<uint8_t>(nValue & 0xFF));
            m_bPending.push_back(static_cast<uint8_t>(nValue >> 8));
        }
    }
    m_nFrame[0].clear();
    m_nFrame[1].clear();
    if (m_bPending.size() >= kBlockBytes) {
        Flush();
    }
    return 1;
}

void CPcmFileSink::Flush() {
    if (!m_bPending.empty() && m_Writer.IsOpen() &&
        !m_Writer.Write(m_bPending.data(), m_bPending.size())) {
        m_bFailed = true;
    }
    m_bPending.clear();
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
