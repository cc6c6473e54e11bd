// The decoder driver: one frame at a time through allocation, CRC check,
// scalefactors and samples, with one synthesis run per time slot and channel.
#include "decoder/audio_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <system_error>

#include "decoder/crc16.h"
#include "decoder/demux_source.h"
#include "decoder/file_source.h"
#include "decoder/header_walker.h"
#include "decoder/subband_set.h"
#include "synth/synthesis_filter.h"

namespace {

constexpr float kOutputScale = 32768.0f;
// A frame of either layer has twelve groups of samples per subband: one
// sample each in Layer I, three (a granule) in Layer II, whose scalefactor
// set changes every four granules.
constexpr int kGroupsPerFrame = 12;
constexpr int kSlotSamples = 32;

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

CAudioDecoder::CAudioDecoder(const char* pszFileName, CHooks hooks, int64_t nWalkBudget)
    : m_strFileName(pszFileName != nullptr ? pszFileName : ""),
      m_Hooks(std::move(hooks)),
      m_nWalkBudget(nWalkBudget),
      m_Stream(
          OpenStreamSource(m_strFileName.c_str(), m_Hooks.fnStopRequested, m_Hooks.fnReportWarning),
          m_strFileName, m_Hooks.fnReportWarning, m_Hooks.fnStopRequested, nWalkBudget) {
    m_Header.SetCaller(m_Hooks.fnStopRequested, m_Hooks.fnReportWarning);
}

CAudioDecoder::CAudioDecoder(std::unique_ptr<CByteSource> pSource, std::string strName,
                             CHooks hooks, int64_t nWalkBudget)
    : m_strFileName(std::move(strName)),
      m_Hooks(std::move(hooks)),
      m_nWalkBudget(nWalkBudget),
      m_Stream(std::move(pSource), m_strFileName, m_Hooks.fnReportWarning, m_Hooks.fnStopRequested,
               nWalkBudget) {
    m_Header.SetCaller(m_Hooks.fnStopRequested, m_Hooks.fnReportWarning);
}

CAudioDecoder::~CAudioDecoder() {
    // A walk still under way is worth nothing now.
    m_pWalker.reset();
    // The sink plays out what it holds before the filters and the stream go.
    m_pSink.reset();
}

int CAudioDecoder::Initialize() {
    m_nChannelSelector = 0;
    if (!m_Stream.IsOpen() || !m_Hooks.fnMakeSink) {
        return 0;
    }
    // The walk sees the frames that decoding will find, from the same place.
    const int64_t nStart = m_Stream.Position();
    if (m_Stream.CanSeek()) {
        m_Index.Build(m_Stream, m_Hooks.fnStopRequested, m_nWalkBudget);
    }
    if (m_Index.WasCutShort() || !m_Stream.CanSeek()) {
        StartWalk(nStart);
    }
    m_bTimed = m_Index.IsBuilt() && m_Index.SampleRate() > 0;
    if (m_Header.ReadFrame(m_Stream, &m_pCrc) == 0) {
        return 0;
    }
    m_nNextSample = m_Header.SamplesPerFrame();
    m_nInitialMode = m_Header.Mode();
    if (m_nInitialMode == MODE_SINGLE_CHANNEL) {
        m_nChannelSelector = 1;
    }
    m_nInitialSampleRate = m_Header.SampleFrequency();
    m_nLayer = m_Header.Layer();
    m_pSubbandSet.reset(new (std::nothrow) CSubbandSet);
    m_pFilter0.reset(new (std::nothrow) CSynthesisFilter(0, kOutputScale));
    const bool bTwoChannels = m_nInitialMode != MODE_SINGLE_CHANNEL && m_nChannelSelector == 0;
    if (bTwoChannels) {
        m_pFilter1.reset(new (std::nothrow) CSynthesisFilter(1, kOutputScale));
    }
    if (m_pSubbandSet == nullptr || m_pFilter0 == nullptr ||
        (bTwoChannels && m_pFilter1 == nullptr)) {
        return 0;
    }
    CStreamFormat format;
    format.nChannels = bTwoChannels ? 2 : 1;
    format.nSampleRate = m_Header.SampleFrequency();
    format.nSamplesPerFrame = m_Header.SamplesPerFrame();
    m_pSink = m_Hooks.fnMakeSink(format);
    if (m_pSink == nullptr) {
        return 0;
    }
    m_nInitialBitrate = m_Header.Bitrate();
    m_fPlayingTime.store(MeasurePlayingTime(), std::memory_order_relaxed);
    return 1;
}

float CAudioDecoder::MeasurePlayingTime() const {
    if (m_bTimed) {
        return static_cast<float>(static_cast<double>(m_Index.Samples()) / m_Index.SampleRate());
    }
    // A walk cut short has counted the frames of the stream's first part:
    // their bytes per second hold for the rest of one bitrate, with its frames
    // padded or not, where the nominal bitrate assumes padding.
    if (m_Index.WasCutShort() && m_Index.IsConstantBitrate() && m_Index.WalkedBytes() > 0 &&
        m_Index.SampleRate() > 0) {
        return static_cast<float>(static_cast<double>(m_Index.Samples()) / m_Index.SampleRate() *
                                  static_cast<double>(m_Stream.AudioBytes()) /
                                  static_cast<double>(m_Index.WalkedBytes()));
    }
    if (m_nInitialBitrate > 0) {
        return static_cast<float>(static_cast<double>(m_Stream.AudioBytes()) /
                                  static_cast<double>(m_nInitialBitrate) * 8.0);
    }
    return 0.0f;
}

void CAudioDecoder::StartWalk(int64_t nStart) {
    std::unique_ptr<CByteSource> pFile =
        m_Stream.Source() != nullptr ? m_Stream.Source()->ReopenFile() : nullptr;
    if (pFile != nullptr) {
        try {
            m_pWalker = std::make_unique<CHeaderWalker>(std::move(pFile), m_strFileName, nStart);
            return;
        } catch (const std::system_error&) {
            // No thread to be had: the walk ends here instead.
        }
    }
    if (m_Index.WasCutShort()) {
        m_Index.Build(m_Stream, m_Hooks.fnStopRequested);
    }
}

void CAudioDecoder::AdoptWalk() {
    if (m_pWalker == nullptr || !m_pWalker->IsDone()) {
        return;
    }
    const std::unique_ptr<CHeaderWalker> pWalker = std::move(m_pWalker);
    CBitStream* pWalked = pWalker->Stream();
    if (pWalked == nullptr) {
        return;
    }
    // A container unmeasured so far takes the index of the same container
    // walked over there, and this stream can seek from now on.
    if (!m_Stream.CanSeek()) {
        auto* pMine = dynamic_cast<CDemuxSource*>(m_Stream.Source());
        auto* pWalkedDemux = dynamic_cast<CDemuxSource*>(pWalked->Source());
        if (pMine == nullptr || pWalkedDemux == nullptr || !pMine->AdoptIndex(*pWalkedDemux)) {
            return;
        }
        m_Stream.UpdateLength();
    }
    if (pWalker->Index().IsBuilt()) {
        m_Index = pWalker->Index();
        m_bTimed = m_Index.SampleRate() > 0;
        if (m_bTimed && !m_bSampleCounted) {
            m_nNextSample = m_Index.SampleNear(m_Stream.Position());
        }
        m_bSampleCounted = true;
    }
    const float fPlayingTime = MeasurePlayingTime();
    if (fPlayingTime != m_fPlayingTime.load(std::memory_order_relaxed)) {
        m_fPlayingTime.store(fPlayingTime, std::memory_order_relaxed);
        if (m_Hooks.fnPlayingTimeChanged) {
            m_Hooks.fnPlayingTimeChanged(fPlayingTime);
        }
    }
}

bool CAudioDecoder::AwaitWalk() {
    if (m_pWalker == nullptr) {
        return true;
    }
    if (!m_pWalker->Await(m_Hooks.fnStopRequested)) {
        return false;
    }
    AdoptWalk();
    return true;
}

void CAudioDecoder::SelectSubbands() {
    const int nSblimit = m_Header.Sblimit();
    const int nMode = m_Header.Mode();
    const bool bSingle = nMode == MODE_SINGLE_CHANNEL;
    const int nBound = std::clamp(nMode == MODE_JOINT_STEREO ? m_Header.Bound()
                                  : bSingle                  ? 0
                                                             : 32,
                                  0, nSblimit);
    if (m_nSubbands == nSblimit && m_nSubbandLayer == m_nLayer && m_bSubbandSingle == bSingle &&
        m_nSubbandBound == nBound) {
        return;
    }
    CSubbandSet& set = *m_pSubbandSet;
    for (int sb = 0; sb < nSblimit; ++sb) {
        if (m_nLayer == 1) {
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
    m_nSubbandLayer = m_nLayer;
    m_bSubbandSingle = bSingle;
    m_nSubbandBound = nBound;
}

int CAudioDecoder::DecodeFrame() {
    if (m_pSink == nullptr) {
        return 0;
    }
    if (m_pWalker != nullptr) {
        AdoptWalk();
    }
    m_nLayer = m_Header.Layer();
    if ((m_nInitialMode == MODE_SINGLE_CHANNEL) != m_Header.IsSingleChannel()) {
        m_Header.Warnings().Show(WARN_MODE_SWITCH);
    }
    if (m_Header.SampleFrequency() != m_nInitialSampleRate) {
        m_Header.Warnings().Show(WARN_RATE_SWITCH);
    }
    SelectSubbands();
    const int nSblimit = m_nSubbands;
    for (int sb = 0; sb < nSblimit; ++sb) {
        m_pSubbands[sb]->ReadAllocation(m_Stream, m_Header, m_pCrc);
    }
    if (m_nLayer == 2) {
        for (int sb = 0; sb < nSblimit; ++sb) {
            static_cast<CLayer2Subband*>(m_pSubbands[sb])->ReadScfsi(m_Stream, m_pCrc);
        }
    }
    bool bIntact = true;
    if (m_pCrc != nullptr) {
        bIntact = m_pCrc->Value() == m_Header.CrcWord();
        m_pCrc->Reset();
    }
    if (!bIntact) {
        // A damaged frame keeps its place in time, as silence.
        OutputSilence();
        m_pSink->EndFrame();
    } else if (nSblimit > 0) {
        DecodeAudio();
        m_pSink->EndFrame();
    }
    if (m_Header.ReadFrame(m_Stream, &m_pCrc) != 0) {
        m_nNextSample += m_Header.SamplesPerFrame();
        return 1;
    }
    m_pSink.reset();
    return 0;
}

void CAudioDecoder::DecodeAudio() {
    const int nSblimit = m_nSubbands;
    const int nBound = m_nSubbandBound;
    CSubbandSet& set = *m_pSubbandSet;
    if (m_nSubbandLayer == 1) {
        if (m_bSubbandSingle) {
            DecodeLayer1(set.layer1, set.layer1, nSblimit, nSblimit);
        } else {
            DecodeLayer1(set.layer1Stereo, set.layer1Joint, nBound, nSblimit);
        }
    } else if (m_bSubbandSingle) {
        DecodeLayer2(set.layer2, set.layer2, nSblimit, nSblimit);
    } else {
        DecodeLayer2(set.layer2Stereo, set.layer2Joint, nBound, nSblimit);
    }
}

template <class TLow, class THigh>
void CAudioDecoder::ReadScalefactorsOf(TLow* pLow, THigh* pHigh, int nBound, int nSblimit) {
    for (int sb = 0; sb < nBound; ++sb) {
        pLow[sb].TLow::ReadScalefactors(m_Stream, m_Header);
    }
    for (int sb = nBound; sb < nSblimit; ++sb) {
        pHigh[sb].THigh::ReadScalefactors(m_Stream, m_Header);
    }
}

bool CAudioDecoder::SynthesizesPair() const {
    return m_nChannelSelector == 0 && !m_Header.IsSingleChannel() && m_pFilter1 != nullptr;
}

void CAudioDecoder::Synthesize(bool bSecond) {
    if (bSecond) {
        CSynthesisFilter::SynthesizePair(*m_pFilter0, *m_pFilter1, *m_pSink);
        return;
    }
    CBothChannelsSink both(*m_pSink);
    m_pFilter0->Synthesize(ChannelZeroSink(both));
}

CAudioSink& CAudioDecoder::ChannelZeroSink(CAudioSink& both) const {
    return m_pFilter1 != nullptr && m_Header.IsSingleChannel() ? both : *m_pSink;
}

void CAudioDecoder::OutputSilence() {
    static constexpr int16_t kSilence[kSlotSamples] = {};
    const int nChannels = Channels();
    for (int nDone = 0; nDone < m_Header.SamplesPerFrame(); nDone += kSlotSamples) {
        for (int16_t nChannel = 0; nChannel < nChannels; ++nChannel) {
            m_pSink->WriteSamples(nChannel, kSilence, kSlotSamples);
        }
    }
}

template <class TLow, class THigh>
void CAudioDecoder::DecodeLayer1(TLow* pLow, THigh* pHigh, int nBound, int nSblimit) {
    ReadScalefactorsOf(pLow, pHigh, nBound, nSblimit);
    CSynthesisFilter* pFilter0 = m_pFilter0.get();
    CSynthesisFilter* pFilter1 = m_pFilter1.get();
    const bool bSecond = SynthesizesPair();
    const int nChannels = m_nChannelSelector;
    for (int nSlot = 0; nSlot < kGroupsPerFrame; ++nSlot) {
        for (int sb = 0; sb < nBound; ++sb) {
            pLow[sb].TLow::ReadSamples(m_Stream);
        }
        for (int sb = nBound; sb < nSblimit; ++sb) {
            pHigh[sb].THigh::ReadSamples(m_Stream);
        }
        for (int sb = 0; sb < nBound; ++sb) {
            pLow[sb].TLow::OutputSample(nChannels, pFilter0, pFilter1);
        }
        for (int sb = nBound; sb < nSblimit; ++sb) {
            pHigh[sb].THigh::OutputSample(nChannels, pFilter0, pFilter1);
        }
        Synthesize(bSecond);
    }
}

template <class TLow, class THigh>
void CAudioDecoder::DecodeLayer2(TLow* pLow, THigh* pHigh, int nBound, int nSblimit) {
    ReadScalefactorsOf(pLow, pHigh, nBound, nSblimit);
    CLayer2SampleReader& reader = m_pSubbandSet->layer2Reader;
    reader.Start(m_Stream);
    for (int sb = 0; sb < nBound; ++sb) {
        pLow[sb].TLow::AddCodes(reader);
    }
    for (int sb = nBound; sb < nSblimit; ++sb) {
        pHigh[sb].THigh::AddCodes(reader);
    }
    CLayer2Frame& frame = m_pSubbandSet->layer2Frame;
    reader.ReadFrame(m_Stream, frame);
    // The slots' transforms run two at a time: the two channels' of a slot,
    // or two slots of the one channel.
    if (SynthesizesPair()) {
        for (int nSlot = 0; nSlot < CLayer2Frame::kSlots; ++nSlot) {
            CSynthesisFilter::SynthesizePair(*m_pFilter0, frame.fSample[0][nSlot], *m_pFilter1,
                                             frame.fSample[1][nSlot], *m_pSink);
        }
        return;
    }
    CBothChannelsSink both(*m_pSink);
    CAudioSink& sink = ChannelZeroSink(both);
    for (int nSlot = 0; nSlot < CLayer2Frame::kSlots; nSlot += 2) {
        m_pFilter0->SynthesizeTwoSlots(frame.fSample[0][nSlot], frame.fSample[0][nSlot + 1], sink);
    }
}

int CAudioDecoder::SeekPercent(int nPercent) {
    AdoptWalk();
    if (m_bTimed) {
        return SeekSample(m_Index.Samples() * std::clamp(nPercent, 0, 100) / 100);
    }
    const int nMoved = m_Stream.SeekPercent(nPercent);
    if (nMoved != 0) {
        m_Header.DropReadAhead();
        m_bSampleCounted = false;
    }
    // The frame in hand is decoded from its audio data, after its CRC word.
    m_Stream.RewindPayload();
    if (m_pCrc != nullptr) {
        m_Stream.GetBits(16);
    }
    return nMoved;
}

int CAudioDecoder::SeekSample(int64_t nSample) {
    int64_t nStartSample = 0;
    const bool bMoved = m_Index.MoveTo(m_Stream, nSample, nStartSample, m_Hooks.fnStopRequested);
    if (bMoved) {
        m_Header.DropReadAhead();
        // The frame in hand is still counted: the one read next starts here.
        m_nNextSample = nStartSample;
    } else {
        ReportWarning(m_Hooks.fnReportWarning, "couldn't relocate file pointer");
    }
    m_Stream.RewindPayload();
    if (m_pCrc != nullptr) {
        m_Stream.GetBits(16);
    }
    return bMoved ? 1 : 0;
}

int CAudioDecoder::PositionPercent() const {
    if (!m_bTimed) {
        return m_Stream.PositionPercent();
    }
    return static_cast<int>(std::clamp<int64_t>(m_nNextSample, 0, m_Index.Samples()) * 100 /
                            m_Index.Samples());
}

int CAudioDecoder::MoveToStart(const CStartPoint& start) {
    if (start.dValue <= 0.0) {
        return 1;
    }
    AdoptWalk();
    if (m_bTimed) {
        const double dSample = start.bPercent
                                   ? start.dValue / 100.0 * static_cast<double>(m_Index.Samples())
                                   : start.dValue * m_Index.SampleRate();
        SeekSample(static_cast<int64_t>(std::min(dSample, static_cast<double>(m_Index.Samples()))));
        return SkipFrame();
    }
    const double dPlayingTime = PlayingTime();
    if (m_Stream.CanSeek() && dPlayingTime > 0.0) {
        const double dFraction =
            start.bPercent ? start.dValue / 100.0 : start.dValue / dPlayingTime;
        if (m_Stream.SeekFraction(std::clamp(dFraction, 0.0, 1.0)) != 0) {
            m_Header.DropReadAhead();
            m_bSampleCounted = false;
        }
        return SkipFrame();
    }
    if (start.bPercent || m_Header.SampleFrequency() <= 0) {
        return 0;
    }
    const auto nFrames = static_cast<int64_t>(
        std::ceil(start.dValue * m_Header.SampleFrequency() / m_Header.SamplesPerFrame()));
    for (int64_t i = 0; i < nFrames; ++i) {
        if (SkipFrame() == 0 || IsStopRequested(m_Hooks.fnStopRequested)) {
            return 0;
        }
    }
    return 1;
}

int CAudioDecoder::SkipFrame() {
    if (m_pSink == nullptr) {
        return 0;
    }
    if (m_pWalker != nullptr) {
        AdoptWalk();
    }
    if (m_Header.ReadFrame(m_Stream, &m_pCrc) != 0) {
        m_nNextSample += m_Header.SamplesPerFrame();
        return 1;
    }
    m_pSink.reset();
    return 0;
}

int64_t CAudioDecoder::FilterSlotsRun(int nChannel) const {
    const CSynthesisFilter* pFilter = nChannel == 0 ? m_pFilter0.get() : m_pFilter1.get();
    return pFilter != nullptr ? pFilter->SlotsRun() : -1;
}

std::string CAudioDecoder::FormatStreamInfo() const {
    CFrameHeader header;
    header.ParseWord(m_Header.FrameWord());
    const std::size_t nSlash = m_strFileName.rfind('/');
    const std::string strName = m_strFileName == "-"          ? std::string("standard input")
                                : nSlash == std::string::npos ? m_strFileName
                                                              : m_strFileName.substr(nSlash + 1);
    auto Text = [](const char* pszText) { return pszText != nullptr ? pszText : ""; };
    std::string strText = strName;
    strText += " is a layer ";
    strText += Text(header.LayerName());
    strText += ' ';
    strText += Text(header.ModeName());
    strText += "\n MPEG audio stream with";
    if (header.ProtectionBit() == 1) {
        strText += "out";
    }
    strText += " CRC checksums. \nIts sample frequency is ";
    strText += Text(header.SampleRateName());
    strText += " at a bitrate of ";
    strText += Text(header.BitrateName());
    strText += ".\nIt is ";
    strText += header.Original() == 1 ? "an original" : "a copy";
    strText += " and is ";
    if (header.Copyright() == 0) {
        strText += "not ";
    }
    strText += "copyright protected.\n";
    return strText;
}
