// The CRC-16 of MPEG audio: generator x^16 + x^15 + x^2 + 1, no reflection.
#include "decoder/crc16.h"

namespace corvina {

void CCrc16::Update(uint32_t dwValue, int nBits) {
    uint32_t dwRegister = m_wRegister;
    for (int nBit = nBits - 1; nBit >= 0; --nBit) {
        const uint32_t dwInput = (dwValue >> nBit) & 1;
        const uint32_t dwCarry = (dwRegister >> 15) & 1;
        dwRegister = (dwRegister << 1) & 0xFFFF;
        if (dwInput != dwCarry) {
            dwRegister ^= 0x8005;
        }
    }
    m_wRegister = static_cast<uint16_t>(dwRegister);
}

}  // namespace corvina
