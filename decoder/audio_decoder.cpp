// The decoder driver: one frame at a time through allocation, CRC check,
// scalefactors and samples, with one synthesis run per time slot and channel.
#include "decoder/audio_decoder.h"

#include <algorithm>
#include <new>

#include "decoder/crc16.h"
#include "decoder/layer1_subband.h"
#include "decoder/layer2_subband.h"
#include "output/wave_output.h"
#include "player/control_block.h"
#include "player/message_stream.h"
#include "synth/synthesis_filter.h"

namespace {

constexpr int kSingleChannel = 3;
constexpr int kJointStereo = 1;
constexpr float kOutputScale = 32768.0f;

template <typename T>
constexpr bool FitsStorage() {
    return sizeof(T) <= CAudioDecoder::kSubbandBytes && alignof(T) <= alignof(std::max_align_t);
}
static_assert(FitsStorage<CLayer1StereoSubband>() && FitsStorage<CLayer1JointSubband>() &&
              FitsStorage<CLayer2StereoSubband>() && FitsStorage<CLayer2JointSubband>());

std::unique_ptr<CAudioSink> MakeWaveOutput(int16_t nChannels, const CFrameHeader& header) {
    return std::unique_ptr<CAudioSink>(new (std::nothrow) CWaveOutput(nChannels, header));
}

}  // namespace

CAudioDecoder::CAudioDecoder(const char* pszFileName, SinkFactory fnMakeSink)
    : m_strFileName(pszFileName != nullptr ? pszFileName : ""),
      m_fnMakeSink(fnMakeSink ? std::move(fnMakeSink) : SinkFactory(MakeWaveOutput)),
      m_Stream(m_strFileName.c_str()) {}

CAudioDecoder::~CAudioDecoder() {
    DestroySubbands();
    // The sink plays out what it holds before the filters and the file go.
    m_pSink.reset();
}

int CAudioDecoder::Initialize() {
    m_nChannelSelector = 0;
    if (!m_Stream.IsOpen() || m_Header.ReadFrame(m_Stream, &m_pCrc) == 0) {
        return 0;
    }
    m_nInitialMode = m_Header.Mode();
    if (m_nInitialMode == kSingleChannel) {
        m_nChannelSelector = 1;
    }
    m_nInitialFrequencyIndex = m_Header.SampleFrequencyIndex();
    m_nLayer = m_Header.Layer();
    m_pFilter0.reset(new (std::nothrow) CSynthesisFilter(0, kOutputScale));
    const bool bTwoChannels = m_nInitialMode != kSingleChannel && m_nChannelSelector == 0;
    if (bTwoChannels) {
        m_pFilter1.reset(new (std::nothrow) CSynthesisFilter(1, kOutputScale));
    }
    if (m_pFilter0 == nullptr || (bTwoChannels && m_pFilter1 == nullptr)) {
        return 0;
    }
    m_pSink = m_fnMakeSink(static_cast<int16_t>(bTwoChannels ? 2 : 1), m_Header);
    if (m_pSink == nullptr) {
        return 0;
    }
    int nEnd = 100;
    g_nPosition.compare_exchange_strong(nEnd, 0);
    const int nBitrate = m_Header.Bitrate();
    if (nBitrate > 0) {
        m_fPlayingTime.store(static_cast<float>(static_cast<double>(m_Stream.AudioBytes()) /
                                                static_cast<double>(nBitrate) * 8.0),
                             std::memory_order_relaxed);
    }
    return 1;
}

void CAudioDecoder::CreateSubbands() {
    const int nSblimit = m_Header.Sblimit();
    const int nMode = m_Header.Mode();
    const int nBound = nMode == kJointStereo ? m_Header.Bound() : nMode == kSingleChannel ? 0 : 32;
    for (int sb = 0; sb < nSblimit; ++sb) {
        void* pPlace = m_bSubbandStorage[sb];
        CSubbandDecoder* pSubband;
        if (m_nLayer == 1) {
            if (nMode == kSingleChannel) {
                pSubband = new (pPlace) CLayer1Subband(sb);
            } else if (sb < nBound) {
                pSubband = new (pPlace) CLayer1StereoSubband(sb);
            } else {
                pSubband = new (pPlace) CLayer1JointSubband(sb);
            }
        } else if (nMode == kSingleChannel) {
            pSubband = new (pPlace) CLayer2Subband(sb);
        } else if (sb < nBound) {
            pSubband = new (pPlace) CLayer2StereoSubband(sb);
        } else {
            pSubband = new (pPlace) CLayer2JointSubband(sb);
        }
        m_pSubbands[sb] = pSubband;
    }
    m_nSubbands = nSblimit;
    m_nSubbandLayer = m_nLayer;
    m_bSubbandSingle = nMode == kSingleChannel;
    m_nSubbandBound = std::clamp(nBound, 0, nSblimit);
}

void CAudioDecoder::DestroySubbands() {
    for (int sb = 0; sb < m_nSubbands; ++sb) {
        m_pSubbands[sb]->~CSubbandDecoder();
        m_pSubbands[sb] = nullptr;
    }
    m_nSubbands = 0;
}

int CAudioDecoder::DecodeFrame() {
    if (m_pSink == nullptr) {
        return 0;
    }
    m_nLayer = m_Header.Layer();
    if ((m_nInitialMode == kSingleChannel) != (m_Header.Mode() == kSingleChannel)) {
        m_Header.Warnings().Show(WARN_MODE_SWITCH);
    }
    if (m_Header.SampleFrequencyIndex() != m_nInitialFrequencyIndex) {
        m_Header.Warnings().Show(WARN_RATE_SWITCH);
    }
    CreateSubbands();
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
    if (bIntact && nSblimit > 0) {
        DecodeAudio();
        m_pSink->EndFrame();
    }
    DestroySubbands();
    if (m_Header.ReadFrame(m_Stream, &m_pCrc) != 0) {
        return 1;
    }
    m_pSink.reset();
    return 0;
}

void CAudioDecoder::DecodeAudio() {
    const int nSblimit = m_nSubbands;
    const int nBound = m_nSubbandBound;
    if (m_nSubbandLayer == 1) {
        if (m_bSubbandSingle) {
            DecodeAudioOf<CLayer1Subband, CLayer1Subband>(nSblimit, nSblimit);
        } else {
            DecodeAudioOf<CLayer1StereoSubband, CLayer1JointSubband>(nBound, nSblimit);
        }
    } else if (m_bSubbandSingle) {
        DecodeAudioOf<CLayer2Subband, CLayer2Subband>(nSblimit, nSblimit);
    } else {
        DecodeAudioOf<CLayer2StereoSubband, CLayer2JointSubband>(nBound, nSblimit);
    }
}

// Every call names its class, so it is bound at compile time; the objects
// are those that CreateSubbands made for the same layer, mode and bound.
template <class TLow, class THigh>
void CAudioDecoder::DecodeAudioOf(int nBound, int nSblimit) {
    CSubbandDecoder* const* pSubbands = m_pSubbands;
    for (int sb = 0; sb < nSblimit; ++sb) {
        pSubbands[sb]->ReadScalefactors(m_Stream, m_Header);
    }
    CSynthesisFilter* pFilter0 = m_pFilter0.get();
    CSynthesisFilter* pFilter1 = m_pFilter1.get();
    const bool bSecond =
        m_nChannelSelector == 0 && m_Header.Mode() != kSingleChannel && pFilter1 != nullptr;
    const int nChannels = m_nChannelSelector;
    int nLastRead = 1;
    do {
        for (int sb = 0; sb < nBound; ++sb) {
            nLastRead = static_cast<TLow*>(pSubbands[sb])->TLow::ReadSamples(m_Stream);
        }
        for (int sb = nBound; sb < nSblimit; ++sb) {
            nLastRead = static_cast<THigh*>(pSubbands[sb])->THigh::ReadSamples(m_Stream);
        }
        int nLastOutput = 1;
        do {
            for (int sb = 0; sb < nBound; ++sb) {
                nLastOutput = static_cast<TLow*>(pSubbands[sb])
                                  ->TLow::OutputSample(nChannels, pFilter0, pFilter1);
            }
            for (int sb = nBound; sb < nSblimit; ++sb) {
                nLastOutput = static_cast<THigh*>(pSubbands[sb])
                                  ->THigh::OutputSample(nChannels, pFilter0, pFilter1);
            }
            if (bSecond) {
                CSynthesisFilter::SynthesizePair(*pFilter0, *pFilter1, *m_pSink);
            } else {
                pFilter0->Synthesize(*m_pSink);
            }
        } while (nLastOutput == 0);
    } while (nLastRead == 0);
}

int CAudioDecoder::SeekPercent(int nPercent) {
    const int nMoved = m_Stream.SeekPercent(nPercent);
    if (nMoved != 0) {
        m_Header.DropReadAhead();
    }
    // The frame in hand is decoded from its audio data, after its CRC word.
    m_Stream.RewindPayload();
    if (m_pCrc != nullptr) {
        m_Stream.GetBits(16);
    }
    return nMoved;
}

int CAudioDecoder::SkipFrame() {
    if (m_pSink == nullptr) {
        return 0;
    }
    if (m_Header.ReadFrame(m_Stream, &m_pCrc) != 0) {
        return 1;
    }
    m_pSink.reset();
    return 0;
}

std::string CAudioDecoder::FormatStreamInfo() const {
    CFrameHeader header;
    header.ParseWord(m_Header.FrameWord());
    const std::size_t nSlash = m_strFileName.rfind('/');
    const std::string strName =
        nSlash == std::string::npos ? m_strFileName : m_strFileName.substr(nSlash + 1);
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

void CAudioDecoder::ShowStreamInfo() const {
    g_MessageStream << FormatStreamInfo();
    ShowMessage(MSG_INFORMATION);
}
