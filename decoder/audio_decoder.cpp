// The decoder driver: one frame at a time through allocation, CRC check,
// scalefactors and samples, with one synthesis run per time slot and channel.
#include "decoder/audio_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

#include "decoder/crc16.h"
#include "decoder/file_source.h"
#include "decoder/header_walker.h"
#include "decoder/layer_decoder.h"
#include "decoder/trimming_sink.h"
#include "synth/synthesis_filter.h"

namespace corvina {

namespace {

// Samples of history that the synthesis filters hold: the frames that give
// them, decoded before a move's target, make its samples those of a
// continuous decode.
constexpr int64_t kWarmSamples = int64_t{CSynthesisFilter::kHistorySlots} * 32;
// The longest frame's samples: a move lands this much earlier again, so that
// the frame found there still lies before the history.
constexpr int64_t kMaxFrameSamples = kMaxSamplesPerFrame;

}  // namespace

CAudioDecoder::CAudioDecoder(const char* pszFileName, CHooks hooks, int64_t nWalkBudget)
    : m_strFileName(pszFileName != nullptr ? pszFileName : ""),
      m_bNamedFile(!m_strFileName.empty() && m_strFileName != "-"),
      m_Hooks(RouteWarnings(std::move(hooks))),
      m_nWalkBudget(nWalkBudget),
      m_Stream(OpenBitStream(OpenStreamSource(m_strFileName.c_str(), m_Hooks.fnStopRequested,
                                              m_Hooks.fnReportWarning, m_Hooks.live),
                             m_strFileName, m_Hooks.fnReportWarning, m_Hooks.fnStopRequested,
                             nWalkBudget, m_Hooks.track)) {
    m_Sync.SetCaller(m_Hooks.fnStopRequested, m_Hooks.fnReportWarning);
    m_Sync.Warnings().SetCodedReporter(m_Hooks.fnReportCodedWarning);
}

CAudioDecoder::CAudioDecoder(std::unique_ptr<CByteSource> pSource, std::string strName,
                             CHooks hooks, int64_t nWalkBudget)
    : m_strFileName(std::move(strName)),
      m_Hooks(RouteWarnings(std::move(hooks))),
      m_nWalkBudget(nWalkBudget),
      m_Stream(OpenBitStream(std::move(pSource), m_strFileName, m_Hooks.fnReportWarning,
                             m_Hooks.fnStopRequested, nWalkBudget, m_Hooks.track)) {
    m_Sync.SetCaller(m_Hooks.fnStopRequested, m_Hooks.fnReportWarning);
    m_Sync.Warnings().SetCodedReporter(m_Hooks.fnReportCodedWarning);
}

CAudioDecoder::CHooks CAudioDecoder::RouteWarnings(CHooks hooks) {
    if (hooks.fnReportCodedWarning) {
        hooks.fnReportWarning = [fnCoded = hooks.fnReportCodedWarning](const std::string& strText) {
            fnCoded(WARN_INPUT, strText);
        };
    }
    return hooks;
}

void CAudioDecoder::Warn(EDecoderWarning eWarning, const std::string& strText) const {
    if (m_Hooks.fnReportCodedWarning) {
        m_Hooks.fnReportCodedWarning(eWarning, strText);
    } else {
        ReportWarning(m_Hooks.fnReportWarning, strText);
    }
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
    if (m_Stream.CanSeek() && m_Hooks.bWalk) {
        m_Index.Build(m_Stream, m_Hooks.fnStopRequested, m_nWalkBudget);
    }
    if (m_Index.WasCutShort() || !m_Stream.CanSeek()) {
        StartWalk(nStart);
    }
    m_bTimed = m_Index.IsBuilt() && m_Index.SampleRate() > 0;
    if (m_Sync.ReadFrame(m_Stream, m_Header, &m_pCrc) == 0) {
        return 0;
    }
    if (m_Hooks.bReadTrackInfo) {
        ReadTrackInfo();
    }
    m_nNextSample = m_Header.SamplesPerFrame();
    m_nInitialMode = m_Header.Mode();
    if (m_nInitialMode == MODE_SINGLE_CHANNEL) {
        m_nChannelSelector = 1;
    }
    m_nInitialSampleRate = m_Header.SampleFrequency();
    m_nLayer = m_Header.Layer();
    const bool bTwoChannels = m_nInitialMode != MODE_SINGLE_CHANNEL && m_nChannelSelector == 0;
    m_pLayerDecoder = std::make_unique<CLayerDecoder>(bTwoChannels ? 2 : 1);
    if (!m_pLayerDecoder->IsReady()) {
        return 0;
    }
    m_pLayerDecoder->SetChoices(m_Choices);
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

std::string CAudioDecoder::FailureReason() const {
    if (!m_Stream.ContainerVerdict().empty()) {
        return m_Stream.ContainerVerdict();
    }
    if (const uint32_t dwLayer3 = m_Sync.Layer3Word()) {
        // The ID bit tells MPEG-1 from the low rates of MPEG-2.
        return std::string("It is an MPEG-") + ((dwLayer3 >> 19) & 1 ? "1" : "2") +
               " Layer III (MP3) stream; Corvina plays Layers I and II.";
    }
    return {};
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
            m_pWalker = std::make_unique<CHeaderWalker>(std::move(pFile), m_strFileName, nStart,
                                                        m_Hooks.track);
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
        if (m_Stream.Source() == nullptr || pWalked->Source() == nullptr ||
            !m_Stream.Source()->AdoptIndex(*pWalked->Source())) {
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

int CAudioDecoder::DecodeFrame() {
    if (m_pSink == nullptr) {
        return 0;
    }
    if (m_pWalker != nullptr) {
        AdoptWalk();
    }
    m_nLayer = m_Header.Layer();
    const bool bModeSwitch = (m_nInitialMode == MODE_SINGLE_CHANNEL) != m_Header.IsSingleChannel();
    const bool bRateSwitch = m_Header.SampleFrequency() != m_nInitialSampleRate;
    if ((bModeSwitch || bRateSwitch) && !FollowFormat(bModeSwitch, bRateSwitch)) {
        if (bModeSwitch) {
            m_Sync.Warnings().Show(WARN_MODE_SWITCH);
        }
        if (bRateSwitch) {
            m_Sync.Warnings().Show(WARN_RATE_SWITCH);
        }
    }
    if (m_pLayerDecoder == nullptr) {
        m_pSink.reset();
        return 0;
    }
    CLayerDecoder::EOutcome outcome;
    if (m_nTrim > 0) {
        CTrimmingSink trimmed(m_pSink.get(), std::exchange(m_nTrim, 0));
        outcome = m_pLayerDecoder->Decode(m_Header, m_Stream.Reader(), m_pCrc, trimmed,
                                          &m_Header.Warnings());
    } else {
        outcome = m_pLayerDecoder->Decode(m_Header, m_Stream.Reader(), m_pCrc, *m_pSink,
                                          &m_Header.Warnings());
    }
    const bool bConcealed =
        outcome == CLayerDecoder::CONCEALED || outcome == CLayerDecoder::CONCEALED_FORBIDDEN;
    if (bConcealed && !m_bConcealing) {
        ReportConcealment(outcome == CLayerDecoder::CONCEALED_FORBIDDEN);
    }
    m_bConcealing = bConcealed;
    if (m_Hooks.bReadTrackInfo) {
        FollowTrackInfo();
    }
    return ReadNextFrame();
}

int CAudioDecoder::ReadNextFrame() {
    if (m_Sync.ReadFrame(m_Stream, m_Header, &m_pCrc) == 0) {
        m_pSink.reset();
        return 0;
    }
    m_nNextSample += m_Header.SamplesPerFrame();
    return m_nSeekTarget >= 0 || m_nWarmUntil >= 0 || m_bResetFilters ? WarmUp() : 1;
}

int CAudioDecoder::WarmUp() {
    const int64_t nTarget = std::exchange(m_nSeekTarget, -1);
    const int64_t nWarmUntil = std::exchange(m_nWarmUntil, -1);
    if (std::exchange(m_bResetFilters, false)) {
        m_pLayerDecoder->ResetFilters();
    }
    // A damaged frame after the move has no good frame before it to repeat
    // but those decoded here.
    m_pLayerDecoder->ForgetLastFrame();
    m_bConcealing = false;
    CTrimmingSink unheard(nullptr, 0);
    for (int64_t nFrame = 0;; ++nFrame) {
        // m_nNextSample is where the frame in hand ends.
        bool bDecode = true;
        if (nTarget >= 0) {
            if (m_nNextSample > nTarget) {
                m_nTrim =
                    std::max<int64_t>(0, nTarget - (m_nNextSample - m_Header.SamplesPerFrame()));
                return 1;
            }
            bDecode = m_nNextSample + kWarmSamples + kMaxFrameSamples > nTarget;
        } else if (m_Stream.Position() > nWarmUntil) {
            // The frame in hand ends after the place moved to: it is heard.
            return 1;
        }
        // A long read on (a pipe) gives way to a stop.
        if (nFrame % 64 == 63 && IsStopRequested(m_Hooks.fnStopRequested)) {
            return 0;
        }
        if (bDecode) {
            m_pLayerDecoder->Decode(m_Header, m_Stream.Reader(), m_pCrc, unheard,
                                    &m_Header.Warnings());
        }
        if (m_Sync.ReadFrame(m_Stream, m_Header, &m_pCrc) == 0) {
            m_pSink.reset();
            return 0;
        }
        m_nNextSample += m_Header.SamplesPerFrame();
    }
}

int CAudioDecoder::SeekPercent(int nPercent) {
    AdoptWalk();
    nPercent = std::clamp(nPercent, 0, 100);
    const int nMoved =
        m_bTimed ? SeekSample(m_Index.Samples() * nPercent / 100) : SeekBytes(nPercent / 100.0);
    // The frame in hand is decoded from its audio data, after its CRC word.
    m_Stream.RewindPayload();
    if (m_pCrc != nullptr) {
        m_Stream.Reader().GetBits(16);
    }
    return nMoved;
}

int CAudioDecoder::SeekSample(int64_t nSample) {
    int64_t nStartSample = 0;
    const int64_t nFrom = std::max<int64_t>(0, nSample - kWarmSamples - 2 * kMaxFrameSamples);
    const bool bMoved = m_Index.MoveTo(m_Stream, nFrom, nStartSample, m_Hooks.fnStopRequested);
    if (bMoved) {
        m_Sync.DropReadAhead();
        // The frame in hand is still counted: the one read next starts here.
        m_nNextSample = nStartSample;
        m_nSeekTarget = nSample;
        m_nWarmUntil = -1;
        m_bResetFilters = nStartSample == 0;
    } else {
        Warn(WARN_SEEK_FAILED, "couldn't relocate file pointer");
    }
    return bMoved ? 1 : 0;
}

int CAudioDecoder::SeekBytes(double dFraction) {
    // Back by the frames that fill the history, and one more for the frame
    // that the search lands inside.
    const int nSamples = std::max(m_Header.SamplesPerFrame(), 1);
    const int64_t nWarmFrames = (kWarmSamples + nSamples - 1) / nSamples;
    const int64_t nAudioBytes = std::max<int64_t>(m_Stream.AudioBytes(), 1);
    const int64_t nTarget =
        m_Stream.AudioStart() +
        static_cast<int64_t>(std::clamp(dFraction, 0.0, 1.0) * static_cast<double>(nAudioBytes));
    const int64_t nBack = (nWarmFrames + 1) * (m_Header.FrameBytes() + 4);
    const double dFrom = dFraction > 0.0
                             ? std::max(0.0, dFraction - static_cast<double>(nBack) /
                                                             static_cast<double>(nAudioBytes))
                             : 0.0;
    if (m_Stream.SeekFraction(dFrom) == 0) {
        if (m_Stream.CanSeek()) {
            Warn(WARN_SEEK_FAILED, "couldn't relocate file pointer");
        }
        return 0;
    }
    m_Sync.DropReadAhead();
    m_bSampleCounted = false;
    m_nSeekTarget = -1;
    m_nWarmUntil = dFrom > 0.0 ? nTarget : -1;
    m_bResetFilters = dFrom <= 0.0;
    return 1;
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
        SeekSample(std::llround(std::min(dSample, static_cast<double>(m_Index.Samples()))));
        return SkipFrame();
    }
    const double dPlayingTime = PlayingTime();
    if (m_Stream.CanSeek() && dPlayingTime > 0.0) {
        const double dFraction =
            start.bPercent ? start.dValue / 100.0 : start.dValue / dPlayingTime;
        SeekBytes(std::clamp(dFraction, 0.0, 1.0));
        return SkipFrame();
    }
    if (start.bPercent || m_Header.SampleFrequency() <= 0 || m_pSink == nullptr) {
        return 0;
    }
    // Reading on from the frame in hand, which is the first one passed.
    m_nTrim = 0;
    m_nSeekTarget = m_nNextSample - m_Header.SamplesPerFrame() +
                    std::llround(start.dValue * m_Header.SampleFrequency());
    m_nWarmUntil = -1;
    return WarmUp();
}

int CAudioDecoder::MoveToSample(int64_t nSample) {
    AdoptWalk();
    if (m_bTimed) {
        SeekSample(std::clamp<int64_t>(nSample, 0, m_Index.Samples()));
        return SkipFrame();
    }
    const int nRate = m_Header.SampleFrequency();
    if (nSample <= 0 || nRate <= 0) {
        return nSample <= 0 ? 1 : 0;
    }
    return MoveToStart({static_cast<double>(nSample) / nRate, false});
}

bool CAudioDecoder::FollowFormat(bool bModeSwitch, bool bRateSwitch) {
    const int nSampleRate = m_Header.SampleFrequency();
    // A reserved rate is no format to go on in.
    if (nSampleRate <= 0) {
        return false;
    }
    CStreamFormat format;
    format.nChannels = m_Header.IsSingleChannel() ? 1 : 2;
    format.nSampleRate = nSampleRate;
    format.nSamplesPerFrame = m_Header.SamplesPerFrame();
    if (!m_pSink->FollowsFormat()) {
        return false;
    }
    m_pSink->ChangeFormat(format);
    m_nInitialMode = m_Header.Mode();
    m_nInitialSampleRate = nSampleRate;
    // The new part starts from silent filters, as it would on its own.
    m_nChannelSelector = format.nChannels == 1 ? 1 : 0;
    m_pLayerDecoder = std::make_unique<CLayerDecoder>(format.nChannels);
    if (!m_pLayerDecoder->IsReady()) {
        m_pLayerDecoder.reset();
        return true;
    }
    m_pLayerDecoder->SetChoices(m_Choices);
    if (bModeSwitch) {
        m_Sync.Warnings().Show(WARN_MODE_FOLLOWED);
    }
    if (bRateSwitch) {
        m_Sync.Warnings().Show(WARN_RATE_FOLLOWED);
    }
    return true;
}

void CAudioDecoder::ReportConcealment(bool bForbidden) const {
    const int nRate = m_Header.SampleFrequency();
    const double dSeconds =
        nRate > 0 ? static_cast<double>(m_nNextSample - m_Header.SamplesPerFrame()) / nRate : 0.0;
    char szAt[32];
    std::snprintf(szAt, sizeof(szAt), "%.2f", std::max(dSeconds, 0.0));
    Warn(WARN_CONCEALED, std::string("damaged frames from ") + szAt + " s: concealed (" +
                             (bForbidden ? "a code the standard forbids" : "the CRC check failed") +
                             ")");
}

void CAudioDecoder::SetChoices(const CDecodeChoices& choices) {
    m_Choices = choices;
    if (m_pLayerDecoder != nullptr) {
        m_pLayerDecoder->SetChoices(choices);
    }
}

int64_t CAudioDecoder::GuessedFrames() const {
    return m_pLayerDecoder != nullptr ? m_pLayerDecoder->GuessedFrames() : 0;
}

int CAudioDecoder::SkipFrame() {
    if (m_pSink == nullptr) {
        return 0;
    }
    // The frame after a skipped one has no good frame before it to repeat.
    if (m_pLayerDecoder != nullptr) {
        m_pLayerDecoder->ForgetLastFrame();
    }
    m_bConcealing = false;
    if (m_pWalker != nullptr) {
        AdoptWalk();
    }
    m_nTrim = 0;
    return ReadNextFrame();
}

int CAudioDecoder::MoveToFrameAt(int64_t nOffset, int64_t nSample) {
    if (m_pSink == nullptr || m_Stream.SeekOffset(nOffset) == 0) {
        return 0;
    }
    m_Sync.DropReadAhead();
    if (m_pLayerDecoder != nullptr) {
        m_pLayerDecoder->ForgetLastFrame();
    }
    m_bConcealing = false;
    m_nSeekTarget = -1;
    m_nWarmUntil = -1;
    m_bResetFilters = false;
    m_nTrim = 0;
    m_nNextSample = nSample;
    return ReadNextFrame();
}

int CAudioDecoder::Channels() const {
    return m_pLayerDecoder != nullptr ? m_pLayerDecoder->Channels() : 1;
}

int64_t CAudioDecoder::FilterSlotsRun(int nChannel) const {
    return m_pLayerDecoder != nullptr ? m_pLayerDecoder->FilterSlotsRun(nChannel) : -1;
}

void CAudioDecoder::ReadTrackInfo() {
    const CByteSource* pSource = m_Stream.Source();
    const CTrackInfo* pContainer = pSource != nullptr ? pSource->ContainerTrackInfo() : nullptr;
    m_nTrackInfoRevision = pSource != nullptr ? pSource->TrackInfoRevision() : 0;
    if (pContainer != nullptr) {
        m_TrackInfo = *pContainer;
        return;
    }
    const TagReader pfnRead = GetTagReader();
    if (pfnRead != nullptr && m_bNamedFile) {
        pfnRead(m_strFileName, m_TrackInfo);
    }
    // Standard input and the like have no name to read again.
    const TagBytesReader pfnReadBytes = GetTagBytesReader();
    if (pfnReadBytes != nullptr && !m_bNamedFile) {
        const std::vector<uint8_t> tag = m_Stream.LeadingTag();
        if (!tag.empty()) {
            pfnReadBytes(tag, m_TrackInfo);
        }
    }
}

void CAudioDecoder::FollowTrackInfo() {
    const CByteSource* pSource = m_Stream.Source();
    if (pSource == nullptr || pSource->TrackInfoRevision() == m_nTrackInfoRevision) {
        return;
    }
    m_nTrackInfoRevision = pSource->TrackInfoRevision();
    const CTrackInfo* pContainer = pSource->ContainerTrackInfo();
    if (pContainer == nullptr) {
        return;
    }
    // The file's own tags stay; the names the stream tells are taken, and
    // the programme on air may also end.
    for (auto pField : {&CTrackInfo::strAlbum, &CTrackInfo::strService, &CTrackInfo::strProvider}) {
        if (!(pContainer->*pField).empty()) {
            m_TrackInfo.*pField = pContainer->*pField;
        }
    }
    m_TrackInfo.strProgramme = pContainer->strProgramme;
    if (m_Hooks.fnTrackInfoChanged) {
        m_Hooks.fnTrackInfoChanged(m_TrackInfo);
    }
}

std::string CAudioDecoder::FormatStreamInfo() const {
    const CFrameHeader header(m_Sync.FrameWord());
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

}  // namespace corvina
