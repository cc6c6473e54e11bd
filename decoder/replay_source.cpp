// Replaying the first bytes of a pipe.
#include "decoder/replay_source.h"

#include <algorithm>
#include <cstring>

namespace corvina {

std::size_t CReplaySource::Read(uint8_t* pBuffer, std::size_t nBytes) {
    std::size_t nDone = std::min(nBytes, m_taken.size() - m_nTakenPos);
    if (nDone > 0) {
        std::memcpy(pBuffer, m_taken.data() + m_nTakenPos, nDone);
        m_nTakenPos += nDone;
    } else {
        nDone = m_pInner->Read(pBuffer, nBytes);
    }
    m_nPosition += static_cast<int64_t>(nDone);
    return nDone;
}

}  // namespace corvina
