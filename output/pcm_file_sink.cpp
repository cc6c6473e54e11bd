// Decoding to a file.
#include "output/pcm_file_sink.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    m_nFrame[0].reserve(1152);
    m_nFrame[1].reserve(1152);
    m_bPending.reserve(kBlockBytes + 4 * 1152);
    return !m_bFailed;
}

void CPcmFileSink::WriteSample(int16_t nChannel, int16_t nSample) {
    m_nFrame[nChannel == 0 || m_nChannels == 1 ? 0 : 1].push_back(nSample);
}

void CPcmFileSink::WriteSamples(int16_t nChannel, const int16_t* pSamples, int nCount) {
    if (nCount > 0) {
        std::vector<int16_t>& frame = m_nFrame[nChannel == 0 || m_nChannels == 1 ? 0 : 1];
        frame.insert(frame.end(), pSamples, pSamples + nCount);
    }
}

int32_t CPcmFileSink::EndFrame() {
    std::size_t nSamples = m_nFrame[0].size();
    if (m_nChannels == 2) {
        nSamples = std::max(nSamples, m_nFrame[1].size());
        m_nFrame[0].resize(nSamples, 0);
        m_nFrame[1].resize(nSamples, 0);
    }
    if (m_dReplayGain != 1.0) {
        for (std::vector<int16_t>& frame : m_nFrame) {
            for (int16_t& nSample : frame) {
                nSample = ApplyReplayGain(nSample, m_dReplayGain);
            }
        }
    }
    const std::size_t nStart = m_bPending.size();
    const auto nStride = static_cast<std::size_t>(m_nChannels) * 2;
    m_bPending.resize(nStart + nSamples * nStride);
    std::size_t nDone = 0;
#if defined(__SSE2__)
    // Eight sample pairs at a time; x86 stores little-endian already.
    if (m_nChannels == 2) {
        const int16_t* pLeft = m_nFrame[0].data();
        const int16_t* pRight = m_nFrame[1].data();
        uint8_t* pTo = m_bPending.data() + nStart;
        for (; nDone + 8 <= nSamples; nDone += 8) {
            const __m128i nLeft = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pLeft + nDone));
            const __m128i nRight =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(pRight + nDone));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pTo + 4 * nDone),
                             _mm_unpacklo_epi16(nLeft, nRight));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pTo + 4 * nDone + 16),
                             _mm_unpackhi_epi16(nLeft, nRight));
        }
    }
#endif

    using namespace corvina;
    // One channel on a little-endian machine is already in the file's order.
    if (std::endian::native == std::endian::little && m_nChannels == 1) {
        std::memcpy(m_bPending.data() + nStart, m_nFrame[0].data(), 2 * nSamples);
        nDone = nSamples;
    }
    for (int c = 0; c < m_nChannels; ++c) {
        const int16_t* pFrom = m_nFrame[c].data();
        uint8_t* pTo =
            m_bPending.data() + nStart + nDone * nStride + 2 * static_cast<std::size_t>(c);
        for (std::size_t i = nDone; i < nSamples; ++i, pTo += nStride) {
            const auto nValue = static_cast<uint16_t>(pFrom[i]);
            pTo[0] = static_cast<uint8_t>(nValue & 0xFF);
            pTo[1] = static_cast<uint8_t>(nValue >> 8);
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
