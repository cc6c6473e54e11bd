// Parsing packs and PES packets of a program stream.
#include "decoder/program_stream_source.h"

#include "decoder/pes_header.h"

namespace corvina {

namespace {

constexpr uint8_t kEndCode = 0xB9;
constexpr uint8_t kPackCode = 0xBA;

}  // namespace

bool CProgramStreamSource::FindStartCode() {
    uint8_t bAhead[4096];
    for (;;) {
        const std::size_t nGot = PeekIn(bAhead, sizeof bAhead);
        if (nGot < 4) {
            return false;
        }
        for (std::size_t i = 0; i + 3 < nGot; ++i) {
            if (bAhead[i] == 0 && bAhead[i + 1] == 0 && bAhead[i + 2] == 1 &&
                bAhead[i + 3] >= kEndCode) {
                return SkipIn(static_cast<int64_t>(i));
            }
        }
        SkipIn(static_cast<int64_t>(nGot - 3));
    }
}

bool CProgramStreamSource::ReadPayload(std::vector<uint8_t>& payload, int64_t& nResumeAt) {
    if (!FindStartCode()) {
        return false;
    }
    const int64_t nStart = InOffset();
    uint8_t bHead[14];
    const std::size_t nHead = PeekIn(bHead, sizeof bHead);
    if (nHead < 6) {
        return false;
    }
    const uint8_t bCode = bHead[3];
    if (bCode == kEndCode) {
        return SkipIn(4);
    }
    if (bCode == kPackCode) {
        // MPEG-2 packs mark their fifth byte with '01' and end in stuffing.
        const bool bMpeg2 = (bHead[4] & 0xC0) == 0x40;
        if (bMpeg2 && nHead < 14) {
            return false;
        }
        return SkipIn(bMpeg2 ? 14 + (bHead[13] & 7) : 12);
    }
    const int nLength = (bHead[4] << 8) | bHead[5];
    if (!IsAudioStreamId(bCode) || (m_nStreamId >= 0 && bCode != m_nStreamId)) {
        return SkipIn(6 + nLength);
    }
    SkipIn(6);
    m_packet.resize(static_cast<std::size_t>(nLength));
    const std::size_t nGot = ReadIn(m_packet.data(), m_packet.size());
    const int nHeader = PesHeaderBytes(m_packet.data(), nGot);
    if (nHeader >= 0) {
        m_nStreamId = bCode;
        payload.assign(m_packet.begin() + nHeader,
                       m_packet.begin() + static_cast<std::ptrdiff_t>(nGot));
        nResumeAt = nStart;
    }
    return nGot == m_packet.size();
}

void CProgramStreamSource::Restart(bool bFromStart) {
    if (bFromStart) {
        m_nStreamId = -1;
    }
}

}  // namespace corvina
