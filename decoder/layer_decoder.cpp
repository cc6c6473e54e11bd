// The decoding of one loaded frame, from its allocation to its PCM.
#include "decoder/layer_decoder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <span>

#include "decoder/bit_reader.h"
#include "decoder/crc16.h"
#include "decoder/decoder_warnings.h"
#include "decoder/frame_header.h"
#include "decoder/layer1_reading.h"
#include "decoder/layer2_reading.h"
#include "synth/synthesis_filter.h"

namespace corvina {

namespace {

constexpr float kOutputScale = 32768.0f;
constexpr int kSlotSamples = 32;
// A damaged frame repeats the last good one 6 dB down, a second one 12 dB
// down; those after them are silence.
constexpr float kConcealGains[] = {0.5f, 0.25f, 0.0f};
constexpr int kSilentRun = 2;

// The subbands, bound and channels of the frame of header.
void SetLayout(const CFrameHeader& header, CScaleInfo& info) {
    const int nSblimit = header.Sblimit();
    const int nMode = header.Mode();
    const bool bSingle = nMode == MODE_SINGLE_CHANNEL;
    info.nSblimit = nSblimit;
    info.nChannels = bSingle ? 1 : 2;
    info.nBound = nMode == MODE_JOINT_STEREO ? std::clamp(header.Bound(), 0, nSblimit) : nSblimit;
}

}  // namespace

CLayerDecoder::CLayerDecoder(int nChannels)
    : m_pFilter0(new (std::nothrow) CSynthesisFilter(kOutputScale)) {
    if (nChannels == 2) {
        m_pFilter1.reset(new (std::nothrow) CSynthesisFilter(kOutputScale));
    }
}

CLayerDecoder::~CLayerDecoder() = default;

bool CLayerDecoder::IsReady() const {
    return m_pFilter0 != nullptr;
}

CLayerDecoder::EOutcome CLayerDecoder::Decode(const CFrameHeader& header, CBitReader& reader,
                                              CCrc16* pCrc, CAudioSink& sink,
                                              CDecoderWarnings* pWarnings) {
    SetLayout(header, m_info);
    const bool bLayer1 = header.Layer() == 1;
    if (bLayer1) {
        ReadLayer1Allocations(reader, m_info, pCrc);
    } else {
        ReadLayer2Allocations(reader, header.Layer2Table(), m_info, pCrc);
        ReadLayer2Scfsi(reader, m_info, pCrc);
    }
    bool bIntact = true;
    if (pCrc != nullptr) {
        bIntact = pCrc->Value() == header.CrcWord();
        pCrc->Reset();
    }
    const bool bForbidden = m_info.bForbidden;
    if (m_Choices.bConceal && (!bIntact || bForbidden)) {
        Conceal(header, sink);
        sink.EndFrame();
        return bIntact ? CONCEALED_FORBIDDEN : CONCEALED;
    }
    if (!bIntact) {
        // A damaged frame keeps its place in time, as silence.
        OutputSilence(header.SamplesPerFrame(), sink);
        sink.EndFrame();
        return CRC_ERROR;
    }
    if (bForbidden && pWarnings != nullptr) {
        pWarnings->Show(WARN_ILLEGAL_ALLOCATION);
    }
    if (m_info.nSblimit == 0) {
        return EMPTY;
    }
    CSubbandFrame& frame = m_frames[1 - m_nKept];
    ReadSamples(header, reader, frame);
    const int nSlots = bLayer1 ? kLayer1Slots : kLayer2Slots;
    if (m_Choices.eDual != EDualChannel::Both && header.Mode() == MODE_DUAL_CHANNEL &&
        m_pFilter1 != nullptr) {
        ChooseChannel(frame, nSlots);
    }
    Synthesize(header, frame, nSlots, sink);
    if (m_Choices.bConceal) {
        m_nKept = 1 - m_nKept;
        m_nKeptSlots = header.SamplesPerFrame() / kSlotSamples;
    } else {
        m_nKeptSlots = 0;
    }
    m_bKeptPair = SynthesizesPair(header);
    m_nBadRun = 0;
    m_bForgotten = false;
    sink.EndFrame();
    return DECODED;
}

void CLayerDecoder::ReadSamples(const CFrameHeader& header, CBitReader& reader,
                                CSubbandFrame& frame) {
    if (header.Layer() == 1) {
        ReadLayer1Scalefactors(reader, m_info);
        ReadLayer1Samples(reader, m_info, frame);
    } else {
        ReadLayer2Scalefactors(reader, m_info);
        ReadLayer2Samples(reader, header.Layer2Table(), m_info, frame);
    }
}

void CLayerDecoder::ForgetLastFrame() {
    m_nKeptSlots = 0;
    m_nBadRun = 0;
    m_nBadSinceForget = 0;
    m_bForgotten = true;
}

void CLayerDecoder::Conceal(const CFrameHeader& header, CAudioSink& sink) {
    const int nSlots = header.SamplesPerFrame() / kSlotSamples;
    const bool bPair = SynthesizesPair(header);
    // A frame of another layer or channel count has nothing to repeat.
    const float fGain =
        nSlots == m_nKeptSlots && bPair == m_bKeptPair ? kConcealGains[m_nBadRun] : 0.0f;
    m_nBadRun = std::min(m_nBadRun + 1, kSilentRun);
    if (m_bForgotten && m_nBadSinceForget++ < kSilentRun) {
        ++m_nGuessedFrames;
    }
    // The filters run on, so that the sound fades from the last good frame
    // instead of stopping dead.
    const CSubbandFrame& kept = m_frames[m_nKept];
    CSubbandFrame& frame = m_frames[1 - m_nKept];
    for (int c = 0; c < (bPair ? 2 : 1); ++c) {
        for (int nSlot = 0; nSlot < nSlots; ++nSlot) {
            float* pTo = frame.fSample[c][nSlot];
            if (fGain == 0.0f) {
                std::fill(pTo, pTo + kSlotSamples, 0.0f);
                continue;
            }
            for (int sb = 0; sb < kSlotSamples; ++sb) {
                pTo[sb] = fGain * kept.fSample[c][nSlot][sb];
            }
        }
    }
    Synthesize(header, frame, nSlots, sink);
}

void CLayerDecoder::ChooseChannel(CSubbandFrame& frame, int nSlots) const {
    for (int nSlot = 0; nSlot < nSlots; ++nSlot) {
        float* pIn0 = frame.fSample[0][nSlot];
        float* pIn1 = frame.fSample[1][nSlot];
        switch (m_Choices.eDual) {
            case EDualChannel::First:
                std::memcpy(pIn1, pIn0, kSlotSamples * sizeof(float));
                break;
            case EDualChannel::Second:
                std::memcpy(pIn0, pIn1, kSlotSamples * sizeof(float));
                break;
            case EDualChannel::Mix:
                // The filters are linear: the mean of the subband samples
                // makes the mean of the two programmes, rounded once.
                for (int sb = 0; sb < kSlotSamples; ++sb) {
                    pIn0[sb] = pIn1[sb] = (pIn0[sb] + pIn1[sb]) * 0.5f;
                }
                break;
            case EDualChannel::Both:
                break;
        }
    }
}

bool CLayerDecoder::SynthesizesPair(const CFrameHeader& header) const {
    return m_pFilter1 != nullptr && !header.IsSingleChannel();
}

void CLayerDecoder::Synthesize(const CFrameHeader& header, const CSubbandFrame& frame, int nSlots,
                               CAudioSink& sink) {
    const int nSamples = nSlots * kSlotSamples;
    int16_t* pPcm = m_nPcm;
    if (SynthesizesPair(header)) {
        for (int nSlot = 0; nSlot < nSlots; ++nSlot) {
            CSynthesisFilter::SynthesizePair(*m_pFilter0, frame.fSample[0][nSlot], *m_pFilter1,
                                             frame.fSample[1][nSlot],
                                             pPcm + 2 * kSlotSamples * nSlot);
        }
    } else {
        // One channel's slots, two at a time through the transform.
        for (int nSlot = 0; nSlot < nSlots; nSlot += 2) {
            m_pFilter0->SynthesizeTwoSlots(frame.fSample[0][nSlot], frame.fSample[0][nSlot + 1],
                                           pPcm + kSlotSamples * nSlot);
        }
        if (m_pFilter1 != nullptr) {
            // A single-channel frame in a two-channel output is heard on both
            // sides: spread from the back, so no sample is overwritten before
            // it has moved.
            for (int i = nSamples - 1; i >= 0; --i) {
                const int16_t nSample = pPcm[i];
                pPcm[2 * i] = nSample;
                pPcm[2 * i + 1] = nSample;
            }
        }
    }
    const int nChannels = Channels();
    sink.WriteFrame(std::span<const int16_t>(pPcm, static_cast<std::size_t>(nSamples * nChannels)),
                    nChannels);
}

void CLayerDecoder::OutputSilence(int nSamples, CAudioSink& sink) {
    const auto nCount = static_cast<std::size_t>(nSamples * Channels());
    std::fill(m_nPcm, m_nPcm + nCount, int16_t{0});
    sink.WriteFrame(std::span<const int16_t>(m_nPcm, nCount), Channels());
}

int64_t CLayerDecoder::FilterSlotsRun(int nChannel) const {
    const CSynthesisFilter* pFilter = nChannel == 0 ? m_pFilter0.get() : m_pFilter1.get();
    return pFilter != nullptr ? pFilter->SlotsRun() : -1;
}

void CLayerDecoder::ResetFilters() {
    for (CSynthesisFilter* pFilter : {m_pFilter0.get(), m_pFilter1.get()}) {
        if (pFilter != nullptr) {
            pFilter->Reset();
        }
    }
}

}  // namespace corvina
