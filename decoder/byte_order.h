// Fixed-width integers read from bytes in either order.
#pragma once

#include <cstdint>

namespace corvina {

inline uint16_t ReadBigEndian16(const uint8_t* pBytes) {
    return static_cast<uint16_t>((pBytes[0] << 8) | pBytes[1]);
}

inline uint32_t ReadBigEndian32(const uint8_t* pBytes) {
    return (static_cast<uint32_t>(pBytes[0]) << 24) | (static_cast<uint32_t>(pBytes[1]) << 16) |
           (static_cast<uint32_t>(pBytes[2]) << 8) | static_cast<uint32_t>(pBytes[3]);
}

inline uint64_t ReadBigEndian64(const uint8_t* pBytes) {
    return (static_cast<uint64_t>(ReadBigEndian32(pBytes)) << 32) | ReadBigEndian32(pBytes + 4);
}

// The nBytes (at most 8) at pBytes, least significant first.
inline uint64_t ReadLittleEndian(const uint8_t* pBytes, int nBytes) {
    uint64_t qwValue = 0;
    for (int i = nBytes - 1; i >= 0; --i) {
        qwValue = (qwValue << 8) | pBytes[i];
    }
    return qwValue;
}

inline uint16_t ReadLittleEndian16(const uint8_t* pBytes) {
    return static_cast<uint16_t>(ReadLittleEndian(pBytes, 2));
}

inline uint32_t ReadLittleEndian32(const uint8_t* pBytes) {
    return static_cast<uint32_t>(ReadLittleEndian(pBytes, 4));
}

}  // namespace corvina
