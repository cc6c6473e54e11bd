// The bit reader's loading of a payload.
#include "decoder/bit_reader.h"

#include <cstring>

namespace corvina {

void CBitReader::Take(uint32_t nBytes) {
    uint8_t* pBytes = Bytes();
    // The bytes after the payload up to the spare word read as zeros, so a
    // read into the last partial word gives the same bits on every run.
    std::memset(pBytes + nBytes, 0, sizeof m_dwBuffer - nBytes);
    const uint32_t nWords = (nBytes + 3) / 4;
    for (uint32_t nWord = 0; nWord < nWords; ++nWord) {
        m_dwBuffer[nWord] = ReadBigEndian32(pBytes + 4 * nWord);
    }
    m_nLoaded = nBytes;
    Rewind();
}

void CBitReader::Load(const uint8_t* pBytes, uint32_t nBytes) {
    std::memcpy(Bytes(), pBytes, nBytes);
    Take(nBytes);
}

}  // namespace corvina
