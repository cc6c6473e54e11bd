// The 16-bit CRC register that checks protected frames.
#pragma once

#include <cstdint>

namespace corvina {

class CCrc16 {
  public:
    CCrc16() = default;

    // Feeds the low nBits bits of dwValue, most significant first.
    void Update(uint32_t dwValue, int nBits);
    uint16_t Value() const { return m_wRegister; }
    void Reset() { m_wRegister = 0xFFFF; }

  private:
    uint16_t m_wRegister = 0xFFFF;
};

}  // namespace corvina
