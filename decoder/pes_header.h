// The header of a packetised elementary stream packet, as program streams
// and transport streams carry it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvina {

// Stream ids 0xC0 to 0xDF: MPEG audio.
inline bool IsAudioStreamId(uint8_t bId) {
    return bId >= 0xC0 && bId <= 0xDF;
}

// Bytes of the header fields that stand between a packet's length field and
// its payload (pBytes points after the length): the MPEG-1 form (stuffing,
// buffer size, time stamps) or the MPEG-2 form (flags and a header length).
// -1 when they do not fit in nBytes or make no sense.
int PesHeaderBytes(const uint8_t* pBytes, std::size_t nBytes);

}  // namespace corvina
