// The decoding of one loaded frame, from its allocation to its PCM.
#include "decoder/layer_decoder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "decoder/bit_reader.h"
#include "decoder/crc16.h"
#include "decoder/frame_header.h"
#include "decoder/subband_set.h"
#include "synth/synthesis_filter.h"

namespace corvina {

namespace {

constexpr float kOutputScale = 32768.0f;
// A frame of either layer has twelve groups of samples per subband: one
// sample each in Layer I, three (a granule) in Layer II, whose scalefactor
// set changes every four granules.
constexpr int kGroupsPerFrame = 12;
constexpr int kSlotSamples = 32;
// A damaged frame repeats the last good one 6 dB down, a second one 12 dB
// down; those after them are silence.
constexpr float kConcealGains[] = {0.5f, 0.25f, 0.0f};
constexpr int kSilentRun = 2;

// Hands a slot of channel 0 to both channels of the sink: a single-channel
// frame in a two-channel stream is heard on both sides.
class CBothChannelsSink : public CAudioSink {
  public:
    explicit CBothChannelsSink(CAudioSink& sink) : m_sink(sink) {}
    void WriteSample(int16_t, int16_t nSample) override {
        m_sink.WriteSample(0, nSample);
        m_sink.WriteSample(1, nSample);
    }
    void WriteSamples(int16_t, const int16_t* pSamples, int nCount) override {
        m_sink.WriteSamples(0, pSamples, nCount);
        m_sink.WriteSamples(1, pSamples, nCount);
    }
    int32_t EndFrame() override { return m_sink.EndFrame(); }

  private:
    CAudioSink& m_sink;
};

}  // namespace

CLayerDecoder::CLayerDecoder(int nChannels)
    : m_pSubbandSet(new (std::nothrow) CSubbandSet),
      m_pFilter0(new (std::nothrow) CSynthesisFilter(0, kOutputScale)) {
    if (nChannels == 2) {
        m_pFilter1.reset(new (std::nothrow) CSynthesisFilter(1, kOutputScale));
    }
}

CLayerDecoder::~CLayerDecoder() = default;

bool CLayerDecoder::IsReady() const {
    return m_pSubbandSet != nullptr && m_pFilter0 != nullptr;
}

void CLayerDecoder::SelectSubbands(const CFrameHeader& header) {
    const int nLayer = header.Layer();
    const int nSblimit = header.Sblimit();
    const int nMode = header.Mode();
    const bool bSingle = nMode == MODE_SINGLE_CHANNEL;
    const int nBound = std::clamp(nMode == MODE_JOINT_STEREO ? header.Bound()
                                  : bSingle                  ? 0
                                                             : 32,
                                  0, nSblimit);
    if (m_nSubbands == nSblimit && m_nSubbandLayer == nLayer && m_bSubbandSingle == bSingle &&
        m_nSubbandBound == nBound) {
        return;
    }
    CSubbandSet& set = *m_pSubbandSet;
    for (int sb = 0; sb < nSblimit; ++sb) {
        if (nLayer == 1) {
            m_pSubbands[sb] = bSingle       ? static_cast<CSubbandDecoder*>(&set.layer1[sb])
                              : sb < nBound ? static_cast<CSubbandDecoder*>(&set.layer1Stereo[sb])
                                            : &set.layer1Joint[sb];
        } else {
            m_pSubbands[sb] = bSingle       ? static_cast<CSubbandDecoder*>(&set.layer2[sb])
                              : sb < nBound ? static_cast<CSubbandDecoder*>(&set.layer2Stereo[sb])
                                            : &set.layer2Joint[sb];
        }
    }
    m_nSubbands = nSblimit;
    m_nSubbandLayer = nLayer;
    m_bSubbandSingle = bSingle;
    m_nSubbandBound = nBound;
}

CLayerDecoder::EOutcome CLayerDecoder::Decode(CFrameHeader& header, CBitReader& reader,
                                              CCrc16* pCrc, CAudioSink& sink) {
    SelectSubbands(header);
    header.NoteForbiddenCode(false);
    const int nSblimit = m_nSubbands;
    for (int sb = 0; sb < nSblimit; ++sb) {
        m_pSubbands[sb]->ReadAllocation(reader, header, pCrc);
    }
    if (m_nSubbandLayer == 2) {
        for (int sb = 0; sb < nSblimit; ++sb) {
            static_cast<CLayer2Subband*>(m_pSubbands[sb])->ReadScfsi(reader, pCrc);
        }
    }
    bool bIntact = true;
    if (pCrc != nullptr) {
        bIntact = pCrc->Value() == header.CrcWord();
        pCrc->Reset();
    }
    const bool bForbidden = header.HasForbiddenCode();
    if (m_Choices.bConceal && (!bIntact || bForbidden)) {
        Conceal(header, sink);
        sink.EndFrame();
        return bIntact ? CONCEALED_FORBIDDEN : CONCEALED;
    }
    if (!bIntact) {
        // A damaged frame keeps its place in time, as silence.
        OutputSilence(header, sink);
        sink.EndFrame();
        return CRC_ERROR;
    }
    if (bForbidden) {
        header.Warnings().Show(WARN_ILLEGAL_ALLOCATION);
    }
    if (nSblimit == 0) {
        return EMPTY;
    }
    m_bChoosing = m_Choices.eDual != EDualChannel::Both && header.Mode() == MODE_DUAL_CHANNEL &&
                  m_pFilter1 != nullptr;
    DecodeAudio(header, reader, sink);
    m_nKeptSlots = m_Choices.bConceal ? header.SamplesPerFrame() / kSlotSamples : 0;
    m_bKeptPair = SynthesizesPair(header);
    m_nBadRun = 0;
    m_bForgotten = false;
    sink.EndFrame();
    return DECODED;
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
    for (int nSlot = 0; nSlot < nSlots; ++nSlot) {
        if (fGain != 0.0f) {
            for (int sb = 0; sb < kSlotSamples; ++sb) {
                m_pFilter0->m_fInput[sb] = fGain * m_fKept[0][nSlot][sb];
            }
            if (bPair) {
                for (int sb = 0; sb < kSlotSamples; ++sb) {
                    m_pFilter1->m_fInput[sb] = fGain * m_fKept[1][nSlot][sb];
                }
            }
        }
        Synthesize(header, bPair, sink);
    }
}

void CLayerDecoder::ChooseChannel(float* pIn0, float* pIn1) const {
    switch (m_Choices.eDual) {
        case EDualChannel::First:
            std::memcpy(pIn1, pIn0, kSlotSamples * sizeof(float));
            break;
        case EDualChannel::Second:
            std::memcpy(pIn0, pIn1, kSlotSamples * sizeof(float));
            break;
        case EDualChannel::Mix:
            // The filters are linear: the mean of the subband samples makes
            // the mean of the two programmes, rounded once.
            for (int sb = 0; sb < kSlotSamples; ++sb) {
                pIn0[sb] = pIn1[sb] = (pIn0[sb] + pIn1[sb]) * 0.5f;
            }
            break;
        case EDualChannel::Both:
            break;
    }
}

void CLayerDecoder::KeepSlot(int nSlot, const float* pIn0, const float* pIn1) {
    std::memcpy(m_fKept[0][nSlot], pIn0, kSlotSamples * sizeof(float));
    if (pIn1 != nullptr) {
        std::memcpy(m_fKept[1][nSlot], pIn1, kSlotSamples * sizeof(float));
    }
}

void CLayerDecoder::DecodeAudio(const CFrameHeader& header, CBitReader& reader, CAudioSink& sink) {
    const int nSblimit = m_nSubbands;
    const int nBound = m_nSubbandBound;
    CSubbandSet& set = *m_pSubbandSet;
    if (m_nSubbandLayer == 1) {
        if (m_bSubbandSingle) {
            DecodeLayer1(header, reader, sink, set.layer1, set.layer1, nSblimit, nSblimit);
        } else {
            DecodeLayer1(header, reader, sink, set.layer1Stereo, set.layer1Joint, nBound, nSblimit);
        }
    } else if (m_bSubbandSingle) {
        DecodeLayer2(header, reader, sink, set.layer2, set.layer2, nSblimit, nSblimit);
    } else {
        DecodeLayer2(header, reader, sink, set.layer2Stereo, set.layer2Joint, nBound, nSblimit);
    }
}

template <class TLow, class THigh>
void CLayerDecoder::ReadScalefactorsOf(const CFrameHeader& header, CBitReader& reader, TLow* pLow,
                                       THigh* pHigh, int nBound, int nSblimit) {
    for (int sb = 0; sb < nBound; ++sb) {
        pLow[sb].TLow::ReadScalefactors(reader, header);
    }
    for (int sb = nBound; sb < nSblimit; ++sb) {
        pHigh[sb].THigh::ReadScalefactors(reader, header);
    }
}

bool CLayerDecoder::SynthesizesPair(const CFrameHeader& header) const {
    return m_pFilter1 != nullptr && !header.IsSingleChannel();
}

void CLayerDecoder::Synthesize(const CFrameHeader& header, bool bSecond, CAudioSink& sink) {
    if (bSecond) {
        CSynthesisFilter::SynthesizePair(*m_pFilter0, *m_pFilter1, sink);
        return;
    }
    if (m_pFilter1 != nullptr && header.IsSingleChannel()) {
        CBothChannelsSink both(sink);
        m_pFilter0->Synthesize(both);
    } else {
        m_pFilter0->Synthesize(sink);
    }
}

void CLayerDecoder::OutputSilence(const CFrameHeader& header, CAudioSink& sink) const {
    static constexpr int16_t kSilence[kSlotSamples] = {};
    const int nChannels = Channels();
    for (int nDone = 0; nDone < header.SamplesPerFrame(); nDone += kSlotSamples) {
        for (int16_t nChannel = 0; nChannel < nChannels; ++nChannel) {
            sink.WriteSamples(nChannel, kSilence, kSlotSamples);
        }
    }
}

template <class TLow, class THigh>
void CLayerDecoder::DecodeLayer1(const CFrameHeader& header, CBitReader& reader, CAudioSink& sink,
                                 TLow* pLow, THigh* pHigh, int nBound, int nSblimit) {
    ReadScalefactorsOf(header, reader, pLow, pHigh, nBound, nSblimit);
    CSynthesisFilter* pFilter0 = m_pFilter0.get();
    CSynthesisFilter* pFilter1 = m_pFilter1.get();
    const bool bSecond = SynthesizesPair(header);
    // 0 for both channels, 1 for channel 0 only.
    const int nChannels = pFilter1 != nullptr ? 0 : 1;
    for (int nSlot = 0; nSlot < kGroupsPerFrame; ++nSlot) {
        for (int sb = 0; sb < nBound; ++sb) {
            pLow[sb].TLow::ReadSamples(reader);
        }
        for (int sb = nBound; sb < nSblimit; ++sb) {
            pHigh[sb].THigh::ReadSamples(reader);
        }
        for (int sb = 0; sb < nBound; ++sb) {
            pLow[sb].TLow::OutputSample(nChannels, pFilter0, pFilter1);
        }
        for (int sb = nBound; sb < nSblimit; ++sb) {
            pHigh[sb].THigh::OutputSample(nChannels, pFilter0, pFilter1);
        }
        if (m_bChoosing) {
            ChooseChannel(pFilter0->m_fInput, pFilter1->m_fInput);
        }
        if (m_Choices.bConceal) {
            KeepSlot(nSlot, pFilter0->m_fInput, bSecond ? pFilter1->m_fInput : nullptr);
        }
        Synthesize(header, bSecond, sink);
    }
}

template <class TLow, class THigh>
void CLayerDecoder::DecodeLayer2(const CFrameHeader& header, CBitReader& reader, CAudioSink& sink,
                                 TLow* pLow, THigh* pHigh, int nBound, int nSblimit) {
    ReadScalefactorsOf(header, reader, pLow, pHigh, nBound, nSblimit);
    CLayer2SampleReader& samples = m_pSubbandSet->layer2Reader;
    samples.Start(reader);
    for (int sb = 0; sb < nBound; ++sb) {
        pLow[sb].TLow::AddCodes(samples);
    }
    for (int sb = nBound; sb < nSblimit; ++sb) {
        pHigh[sb].THigh::AddCodes(samples);
    }
    CLayer2Frame& frame = m_pSubbandSet->layer2Frame;
    samples.ReadFrame(reader, frame);
    // The slots' transforms run two at a time: the two channels' of a slot,
    // or two slots of the one channel.
    static_assert(sizeof(m_fKept[0]) == sizeof(frame.fSample[0]));
    const bool bPair = SynthesizesPair(header);
    for (int nSlot = 0; m_bChoosing && nSlot < CLayer2Frame::kSlots; ++nSlot) {
        ChooseChannel(frame.fSample[0][nSlot], frame.fSample[1][nSlot]);
    }
    if (m_Choices.bConceal) {
        std::memcpy(m_fKept[0], frame.fSample[0], sizeof(frame.fSample[0]));
        if (bPair) {
            std::memcpy(m_fKept[1], frame.fSample[1], sizeof(frame.fSample[1]));
        }
    }
    if (bPair) {
        for (int nSlot = 0; nSlot < CLayer2Frame::kSlots; ++nSlot) {
            CSynthesisFilter::SynthesizePair(*m_pFilter0, frame.fSample[0][nSlot], *m_pFilter1,
                                             frame.fSample[1][nSlot], sink);
        }
        return;
    }
    CBothChannelsSink both(sink);
    CAudioSink& target = m_pFilter1 != nullptr && header.IsSingleChannel() ? both : sink;
    for (int nSlot = 0; nSlot < CLayer2Frame::kSlots; nSlot += 2) {
        m_pFilter0->SynthesizeTwoSlots(frame.fSample[0][nSlot], frame.fSample[0][nSlot + 1],
                                       target);
    }
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
