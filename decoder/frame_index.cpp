// Counting frames and indexing their offsets.
#include "decoder/frame_index.h"

#include <algorithm>

#include "decoder/bit_stream.h"
#include "decoder/frame_header.h"
#include "decoder/frame_sync.h"

namespace corvina {

namespace {

// Version, layer, bitrate index and sampling frequency.
constexpr uint32_t kRateFields = 0x000EFC00;
// Frames between two looks at a stop request.
constexpr int64_t kStopCheckFrames = 4096;

int SamplesOf(uint32_t dwHeader) {
    return CFrameHeader(dwHeader).SamplesPerFrame();
}

}  // namespace

bool CFrameIndex::Build(CBitStream& stream, const StopRequest& fnStop, int64_t nBudget) {
    *this = CFrameIndex();
    if (!stream.CanSeek()) {
        return false;
    }
    const int64_t nStart = stream.Position();
    const auto IsOverBudget = [&] { return nBudget >= 0 && stream.Position() - nStart > nBudget; };
    CFrameSync sync;
    // The budget cuts a search through junk short too.
    sync.SetCaller([&] { return IsOverBudget() || IsStopRequested(fnStop); }, {});
    uint32_t dwFirst = 0;
    bool bStopped = false;
    for (;;) {
        if (m_nFrames % kStopCheckFrames == kStopCheckFrames - 1 && IsStopRequested(fnStop)) {
            bStopped = true;
            break;
        }
        uint32_t dwHeader = 0;
        const int nLength = IsOverBudget() ? 0 : sync.PassFrame(stream, dwHeader);
        if (nLength <= 0) {
            m_bCutShort = IsOverBudget();
            bStopped = m_bCutShort || IsStopRequested(fnStop);
            break;
        }
        if (m_nFrames == 0) {
            dwFirst = dwHeader;
            m_nSampleRate = CFrameHeader(dwHeader).SampleFrequency();
        } else if (((dwHeader ^ dwFirst) & kRateFields) != 0) {
            m_bConstant = false;
        }
        if (m_nFrames % kFramesPerEntry == 0) {
            m_offsets.push_back(stream.Position() - nLength);
            m_firstSamples.push_back(m_nSamples);
        }
        ++m_nFrames;
        m_nSamples += SamplesOf(dwHeader);
        m_nEndOffset = stream.Position();
    }
    m_bBuilt = stream.SeekOffset(nStart) != 0 && !bStopped;
    return m_bBuilt;
}

bool CFrameIndex::MoveTo(CBitStream& stream, int64_t nSample, int64_t& nStartSample,
                         const StopRequest& fnStop) const {
    if (!m_bBuilt || m_offsets.empty()) {
        return false;
    }
    const auto it = std::upper_bound(m_firstSamples.begin(), m_firstSamples.end(), nSample);
    const auto nEntry =
        static_cast<std::size_t>(std::max<std::ptrdiff_t>(it - m_firstSamples.begin() - 1, 0));
    if (stream.SeekOffset(m_offsets[nEntry]) == 0) {
        return false;
    }
    CFrameSync sync;
    sync.SetCaller(fnStop, {});
    nStartSample = m_firstSamples[nEntry];
    while (nStartSample < nSample) {
        uint32_t dwHeader = 0;
        if (sync.PassFrame(stream, dwHeader) <= 0) {
            nStartSample = m_nSamples;
            break;
        }
        nStartSample += SamplesOf(dwHeader);
    }
    return true;
}

int64_t CFrameIndex::SampleNear(int64_t nOffset) const {
    if (!m_bBuilt || m_offsets.empty()) {
        return 0;
    }
    const auto it = std::upper_bound(m_offsets.begin(), m_offsets.end(), nOffset);
    const auto nEntry =
        static_cast<std::size_t>(std::max<std::ptrdiff_t>(it - m_offsets.begin() - 1, 0));
    const bool bLast = nEntry + 1 == m_offsets.size();
    const int64_t nFrom = m_offsets[nEntry];
    const int64_t nTo = bLast ? m_nEndOffset : m_offsets[nEntry + 1];
    const int64_t nFirst = m_firstSamples[nEntry];
    const int64_t nSamples = (bLast ? m_nSamples : m_firstSamples[nEntry + 1]) - nFirst;
    const int64_t nFrames =
        bLast ? m_nFrames - static_cast<int64_t>(nEntry) * kFramesPerEntry : kFramesPerEntry;
    if (nTo <= nFrom || nFrames <= 0) {
        return nFirst;
    }
    // The frame whose start lies nearest, the frames of the entry taken alike.
    const int64_t nInto = std::clamp<int64_t>(nOffset - nFrom, 0, nTo - nFrom);
    const int64_t nFrame = (nInto * nFrames + (nTo - nFrom) / 2) / (nTo - nFrom);
    return nFirst + nFrame * nSamples / nFrames;
}

}  // namespace corvina
