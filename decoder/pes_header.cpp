// Measuring the header fields of a PES packet.
#include "decoder/pes_header.h"

namespace corvina {

int PesHeaderBytes(const uint8_t* pBytes, std::size_t nBytes) {
    if (nBytes == 0) {
        return -1;
    }
    if ((pBytes[0] & 0xC0) == 0x80) {
        if (nBytes < 3 || 3u + pBytes[2] > nBytes) {
            return -1;
        }
        return 3 + pBytes[2];
    }
    std::size_t nAt = 0;
    constexpr std::size_t kMostStuffing = 16;
    while (nAt < nBytes && nAt < kMostStuffing && pBytes[nAt] == 0xFF) {
        ++nAt;
    }
    if (nAt < nBytes && (pBytes[nAt] & 0xC0) == 0x40) {
        nAt += 2;  // buffer scale and size
    }
    if (nAt >= nBytes) {
        return -1;
    }
    const uint8_t bMarker = pBytes[nAt] & 0xF0;
    nAt += bMarker == 0x20 ? 5 : bMarker == 0x30 ? 10 : pBytes[nAt] == 0x0F ? 1 : nBytes + 1;
    return nAt <= nBytes ? static_cast<int>(nAt) : -1;
}

}  // namespace corvina
