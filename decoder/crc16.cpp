// The CRC-16 of MPEG audio: generator x^16 + x^15 + x^2 + 1, no reflection.
#include "decoder/crc16.h"

#include <array>

namespace corvina {

namespace {

constexpr uint32_t kGenerator = 0x8005;

// Entry n: the register that four zero bits make of n in its top four bits.
// Four input bits move the register as (r << 4) ^ entry[(r >> 12) ^ bits].
constexpr std::array<uint16_t, 16> MakeNibbleSteps() {
    std::array<uint16_t, 16> steps{};
    for (uint32_t n = 0; n < 16; ++n) {
        uint32_t dwRegister = n << 12;
        for (int k = 0; k < 4; ++k) {
            dwRegister =
                (dwRegister & 0x8000) != 0 ? (dwRegister << 1) ^ kGenerator : dwRegister << 1;
        }
        steps[n] = static_cast<uint16_t>(dwRegister & 0xFFFF);
    }
    return steps;
}

constexpr std::array<uint16_t, 16> kNibbleSteps = MakeNibbleSteps();

}  // namespace

void CCrc16::Update(uint32_t dwValue, int nBits) {
    uint32_t dwRegister = m_wRegister;
    int nBit = nBits;
    for (; nBit >= 4; nBit -= 4) {
        const uint32_t dwIndex = ((dwRegister >> 12) ^ (dwValue >> (nBit - 4))) & 0xF;
        dwRegister = ((dwRegister << 4) ^ kNibbleSteps[dwIndex]) & 0xFFFF;
    }
    for (--nBit; nBit >= 0; --nBit) {
        const uint32_t dwInput = (dwValue >> nBit) & 1;
        const uint32_t dwCarry = (dwRegister >> 15) & 1;
        dwRegister = (dwRegister << 1) & 0xFFFF;
        if (dwInput != dwCarry) {
            dwRegister ^= kGenerator;
        }
    }
    m_wRegister = static_cast<uint16_t>(dwRegister);
}

}  // namespace corvina
