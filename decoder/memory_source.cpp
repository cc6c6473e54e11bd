// Bytes in memory as a byte source.
#include "decoder/memory_source.h"

#include <algorithm>
#include <cstring>

namespace corvina {

std::size_t CMemorySource::Read(uint8_t* pBuffer, std::size_t nBytes) {
    const std::size_t nCount = std::min(nBytes, m_pBytes->size() - m_nPosition);
    if (nCount > 0) {
        std::memcpy(pBuffer, m_pBytes->data() + m_nPosition, nCount);
    }
    m_nPosition += nCount;
    return nCount;
}

bool CMemorySource::Seek(int64_t nOffset) {
    if (!m_bCanSeek || nOffset < 0 || static_cast<uint64_t>(nOffset) > m_pBytes->size()) {
        return false;
    }
    m_nPosition = static_cast<std::size_t>(nOffset);
    return true;
}

std::unique_ptr<CByteSource> CMemorySource::ReopenFile() const {
    if (!m_bCanSeek) {
        return nullptr;
    }
    return std::unique_ptr<CByteSource>(new CMemorySource(m_pBytes, true));
}

}  // namespace corvina
