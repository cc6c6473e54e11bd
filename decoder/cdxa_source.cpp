// Taking the payloads out of CD sectors.
#include "decoder/cdxa_source.h"

#include <algorithm>
#include <cstring>

#include "decoder/byte_order.h"

namespace corvina {

namespace {

constexpr int64_t kSectorBytes = 2352;
constexpr std::size_t kSectorHeader = 24;
constexpr std::size_t kForm1Bytes = 2048;
constexpr std::size_t kForm2Bytes = 2324;
// The submode byte of the subheader marks form 2 sectors.
constexpr std::size_t kSubmodeAt = 18;
constexpr uint8_t kForm2Flag = 0x20;

}  // namespace

CCdxaSource::CCdxaSource(std::unique_ptr<CByteSource> pInner, StopRequest fnStop)
    : CDemuxSource(std::move(pInner), std::move(fnStop)) {}

bool CCdxaSource::ReadPayload(std::vector<uint8_t>& payload, int64_t& nResumeAt) {
    // The chunks before the data: "RIFF", size, "CDXA", then id-size pairs.
    while (m_nDataStart < 0) {
        uint8_t bHead[12];
        if (!m_bRiffRead) {
            m_bRiffRead = true;
            if (ReadIn(bHead, 12) != 12) {
                return false;
            }
            continue;
        }
        if (ReadIn(bHead, 8) != 8) {
            return false;
        }
        const uint32_t nSize = ReadLittleEndian32(bHead + 4);
        if (std::memcmp(bHead, "data", 4) == 0) {
            m_nDataStart = InOffset();
            m_nDataEnd = m_nDataStart + nSize;
        } else if (!SkipIn(static_cast<int64_t>(nSize) + (nSize & 1))) {
            return false;
        }
    }
    if (InOffset() >= m_nDataEnd) {
        return false;
    }
    nResumeAt = InOffset();
    uint8_t bSector[kSectorBytes];
    const std::size_t nGot =
        ReadIn(bSector, static_cast<std::size_t>(std::min(kSectorBytes, m_nDataEnd - InOffset())));
    if (nGot > kSectorHeader) {
        const std::size_t nPayload = nGot > kSubmodeAt && (bSector[kSubmodeAt] & kForm2Flag) != 0
                                         ? kForm2Bytes
                                         : kForm1Bytes;
        payload.assign(bSector + kSectorHeader, bSector + std::min(nGot, kSectorHeader + nPayload));
    }
    return nGot == kSectorBytes;
}

void CCdxaSource::Restart(bool bFromStart) {
    if (bFromStart) {
        m_bRiffRead = false;
        m_nDataStart = m_nDataEnd = -1;
    }
}

}  // namespace corvina
