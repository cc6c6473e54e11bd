// The frame decoder on the caller's bytes: the frame search within them, and
// the layer decoder writing into the caller's interleaved PCM.
#include <corvina/frame_decoder.h>

#include <algorithm>

#include "decoder/bit_reader.h"
#include "decoder/byte_order.h"
#include "decoder/frame_header.h"
#include "decoder/frame_sync.h"
#include "decoder/layer_decoder.h"

namespace corvina {

static_assert(kMaxFrameSamples == 2 * kMaxSamplesPerFrame);

namespace {

// The fields that one stream keeps from frame to frame: sync, version,
// layer and sampling frequency.
constexpr uint32_t kStreamMask = 0xFFFE0C00;
constexpr uint32_t kFreeFormatMask = 0xFFFFFC00;

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
    CFrameHeader header;
    CFrameHeader probe;
    CPayloadBuffer payload;
    CBitReader reader;
    CCrc16 crc;
    CDecoderWarnings warnings;
    CLayerDecoder layer{2};
    bool bSynced = false;
    uint32_t dwLast = 0;
    int nFreeFormatBytes = 0;
    uint32_t dwFreeFormatHeader = 0;

    // Whole bytes of the frame of header dwWord with ahead after its header
    // word: 0 where it cannot be a frame, -1 where more bytes are needed to
    // tell its free-format length.
    int LengthOf(uint32_t dwWord, std::span<const uint8_t> ahead) {
        probe = CFrameHeader(dwWord);
        if (probe.SampleFrequency() == 0) {
            return 0;
        }
        if (probe.BitrateIndex() == 0) {
            if (probe.Layer() == 3) {
                return 0;
            }
            int nBytes = (dwWord & kFreeFormatMask) == dwFreeFormatHeader ? nFreeFormatBytes : 0;
            if (nBytes <= 0) {
                nBytes = CFrameSync::FreeFormatBytesIn(ahead, dwWord);
                if (nBytes <= 0) {
                    return ahead.size() < CBitReader::kMaxBytes + 4 ? -1 : 0;
                }
            }
            probe = CFrameHeader(dwWord, nBytes);
        }
        const int nLength = probe.FrameBytes() + 4;
        return nLength > 4 && nLength <= static_cast<int>(CBitReader::kMaxBytes) + 4 ? nLength : 0;
    }

    // Finds the frame that bytes start with, or what to pass before one.
    EFrameResult Find(std::span<const uint8_t> bytes, CFrameInfo& info, uint32_t& dwWord,
                      int& nLength) {
        info = CFrameInfo{};
        const std::size_t nSize = bytes.size();
        for (std::size_t nOffset = 0; nOffset + 4 <= nSize; ++nOffset) {
            const uint32_t dwCandidate = ReadBigEndian32(bytes.data() + nOffset);
            if (!CFrameHeader::IsPlausibleWord(dwCandidate)) {
                continue;
            }
            const int nCandidate = LengthOf(dwCandidate, bytes.subspan(nOffset + 4));
            if (nCandidate == 0) {
                continue;
            }
            const std::size_t nEnd = nOffset + static_cast<std::size_t>(nCandidate);
            // Away from the stream's last frame a header counts only when the
            // one after its frame agrees with it.
            const bool bExpected =
                bSynced && nOffset == 0 && (dwCandidate & kStreamMask) == (dwLast & kStreamMask);
            if (!bExpected && nCandidate > 0 && nEnd + 4 <= nSize) {
                const uint32_t dwNext = ReadBigEndian32(bytes.data() + nEnd);
                if (!CFrameHeader::IsPlausibleWord(dwNext) ||
                    (dwNext & kStreamMask) != (dwCandidate & kStreamMask)) {
                    continue;
                }
            }
            if (nOffset > 0) {
                info.nBytes = nOffset;
                bSynced = false;
                return EFrameResult::SkippedJunk;
            }
            if (nCandidate < 0 || nEnd > nSize) {
                return EFrameResult::NeedMoreBytes;
            }
            dwWord = dwCandidate;
            nLength = nCandidate;
            info.nBytes = nEnd;
            info.nLayer = probe.Layer();
            info.nChannels = probe.IsSingleChannel() ? 1 : 2;
            info.nSampleRate = probe.SampleFrequency();
            info.nBitrate = probe.Bitrate();
            if (probe.BitrateIndex() == 0) {
                nFreeFormatBytes =
                    nCandidate - 4 - (probe.PaddingBit() != 0 ? (probe.Layer() == 1 ? 4 : 1) : 0);
                dwFreeFormatHeader = dwCandidate & kFreeFormatMask;
            }
            return probe.Layer() == 3 ? EFrameResult::NotLayer12 : EFrameResult::Decoded;
        }
        if (nSize <= 3) {
            return EFrameResult::NeedMoreBytes;
        }
        // The last three bytes may begin a header that the next bytes end.
        info.nBytes = nSize - 3;
        bSynced = false;
        return EFrameResult::SkippedJunk;
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
    uint32_t dwWord = 0;
    int nLength = 0;
    const EFrameResult result = m_pState->Find(bytes, info, dwWord, nLength);
    if (result == EFrameResult::Decoded) {
        info.nSamples = m_pState->probe.SamplesPerFrame();
        m_pState->bSynced = true;
        m_pState->dwLast = dwWord;
    }
    return result;
}

EFrameResult CFrameDecoder::DecodeFrame(std::span<const uint8_t> bytes, std::span<int16_t> pcm,
                                        CFrameInfo& info) {
    CState& state = *m_pState;
    uint32_t dwWord = 0;
    int nLength = 0;
    const EFrameResult result = state.Find(bytes, info, dwWord, nLength);
    if (result == EFrameResult::NotLayer12) {
        state.bSynced = true;
        state.dwLast = dwWord;
    }
    if (result != EFrameResult::Decoded) {
        return result;
    }
    CFrameHeader& header = state.header;
    header = CFrameHeader(dwWord, state.nFreeFormatBytes);
    header.AttachWarnings(&state.warnings);
    state.reader = state.payload.Load(bytes.data() + 4, static_cast<uint32_t>(nLength - 4));
    CCrc16* pCrc = StartCheck(header, state.reader, state.crc);
    CInterleavingSink sink(pcm, info.nChannels);
    const CLayerDecoder::EOutcome outcome = state.layer.Decode(header, state.reader, pCrc, sink);
    state.bSynced = true;
    state.dwLast = dwWord;
    info.nSamples = sink.Samples();
    return outcome == CLayerDecoder::CRC_ERROR || outcome == CLayerDecoder::CONCEALED
               ? EFrameResult::CrcError
               : EFrameResult::Decoded;
}

}  // namespace corvina
