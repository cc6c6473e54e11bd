// The frame decoder on the caller's bytes: the stream's frame search run
// within them, and the layer decoder writing into the caller's interleaved
// PCM.
#include <corvina/frame_decoder.h>

#include <algorithm>

#include "decoder/bit_reader.h"
#include "decoder/frame_header.h"
#include "decoder/frame_sync.h"
#include "decoder/layer_decoder.h"

namespace corvina {

static_assert(kMaxFrameSamples == 2 * kMaxSamplesPerFrame);

namespace {

// Copies the frame into the caller's PCM in the frame's own channels: of a
// single-channel frame, which the two-channel layer decoder hands over on
// both sides, one side.
class CInterleavingSink : public CAudioSink {
  public:
    CInterleavingSink(std::span<int16_t> pcm, int nChannels) : m_pcm(pcm), m_nChannels(nChannels) {}
    void WriteFrame(std::span<const int16_t> samples, int nChannels) override {
        const auto nStride = static_cast<std::size_t>(nChannels);
        const std::size_t nSamples = samples.size() / nStride;
        if (m_nChannels == nChannels) {
            std::copy_n(samples.begin(), std::min(samples.size(), m_pcm.size()), m_pcm.begin());
        } else {
            for (std::size_t i = 0; i < nSamples && i < m_pcm.size(); ++i) {
                m_pcm[i] = samples[nStride * i];
            }
        }
        m_nSamples = static_cast<int>(nSamples);
    }
    int32_t EndFrame() override { return 1; }
    int Samples() const { return m_nSamples; }

  private:
    std::span<int16_t> m_pcm;
    int m_nChannels;
    int m_nSamples = 0;
};

}  // namespace

struct CFrameDecoder::CState {
    CFrameSync sync;
    CFrameHeader header;
    CPayloadBuffer payload;
    CBitReader reader;
    CCrc16 crc;
    CLayerDecoder layer{2};

    // Finds the frame that bytes start with, or what to pass before one,
    // as the stream's search does; its header in header.
    EFrameResult Find(std::span<const uint8_t> bytes, CFrameInfo& info) {
        info = CFrameInfo{};
        std::size_t nAt = 0;
        const int nLength = sync.FindFrame(bytes, nAt, header);
        if (nAt > 0) {
            info.nBytes = nAt;
            return EFrameResult::SkippedJunk;
        }
        if (nLength == CFrameSync::kWait || static_cast<std::size_t>(nLength) > bytes.size()) {
            return EFrameResult::NeedMoreBytes;
        }
        if (header.FrameBytes() - 4 > static_cast<int>(CBitReader::kMaxBytes)) {
            // A free-format frame longer than any payload buffer: not one.
            sync.DropReadAhead();
            info.nBytes = 1;
            return EFrameResult::SkippedJunk;
        }
        info.nBytes = static_cast<std::size_t>(nLength);
        info.nLayer = header.Layer();
        info.nChannels = header.IsSingleChannel() ? 1 : 2;
        info.nSampleRate = header.SampleFrequency();
        info.nBitrate = header.Bitrate();
        return header.Layer() == 3 ? EFrameResult::NotLayer12 : EFrameResult::Decoded;
    }
};

CFrameDecoder::CFrameDecoder() : m_pState(std::make_unique<CState>()) {}
CFrameDecoder::~CFrameDecoder() = default;
CFrameDecoder::CFrameDecoder(CFrameDecoder&&) noexcept = default;
CFrameDecoder& CFrameDecoder::operator=(CFrameDecoder&&) noexcept = default;

void CFrameDecoder::Reset() {
    m_pState = std::make_unique<CState>();
}

EFrameResult CFrameDecoder::PeekFrame(std::span<const uint8_t> bytes, CFrameInfo& info) {
    const EFrameResult result = m_pState->Find(bytes, info);
    if (result == EFrameResult::Decoded) {
        info.nSamples = m_pState->header.SamplesPerFrame();
        m_pState->sync.TakeFrame();
    }
    return result;
}

EFrameResult CFrameDecoder::DecodeFrame(std::span<const uint8_t> bytes, std::span<int16_t> pcm,
                                        CFrameInfo& info) {
    CState& state = *m_pState;
    const EFrameResult result = state.Find(bytes, info);
    if (result != EFrameResult::Decoded) {
        return result;
    }
    state.sync.TakeFrame();
    CFrameHeader& header = state.header;
    state.reader = state.payload.Load(bytes.data() + 4, static_cast<uint32_t>(info.nBytes - 4));
    CCrc16* pCrc = StartCheck(header, state.reader, state.crc);
    CInterleavingSink sink(pcm, info.nChannels);
    const CLayerDecoder::EOutcome outcome = state.layer.Decode(header, state.reader, pCrc, sink);
    info.nSamples = sink.Samples();
    return outcome == CLayerDecoder::CRC_ERROR || outcome == CLayerDecoder::CONCEALED
               ? EFrameResult::CrcError
               : EFrameResult::Decoded;
}

}  // namespace corvina
