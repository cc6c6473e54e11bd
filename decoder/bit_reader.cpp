// The bit reader's payloads.
#include "decoder/bit_reader.h"

#include <cstring>

namespace corvina {

namespace {

// What a reader of no payload reads.
constexpr uint8_t kNoPayload[CBitReader::kSlackBytes] = {};

}  // namespace

CBitReader::CBitReader() : m_pBytes(kNoPayload) {}

CBitReader::CBitReader(std::span<const uint8_t> padded, uint32_t nBytes) : m_pBytes(padded.data()) {
    if (padded.size() < kSlackBytes || padded.size() - kSlackBytes < nBytes) {
        m_pBytes = kNoPayload;
        nBytes = 0;
    }
    m_nBytes = nBytes;
}

CBitReader CPayloadBuffer::Take(uint32_t nBytes) {
    // The bytes after the payload read as zeros, so a read into the last
    // partial word gives the same bits on every run.
    std::memset(m_bBytes + nBytes, 0, CBitReader::kSlackBytes);
    return CBitReader(m_bBytes, nBytes);
}

CBitReader CPayloadBuffer::Load(const uint8_t* pBytes, uint32_t nBytes) {
    std::memcpy(m_bBytes, pBytes, nBytes);
    return Take(nBytes);
}

}  // namespace corvina
