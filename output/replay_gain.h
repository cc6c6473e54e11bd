// The ReplayGain step of the outputs: one sample times a factor, rounded and
// held within 16 bits.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

inline int16_t ApplyReplayGain(int16_t nSample, double dFactor) {
    const double dScaled = std::nearbyint(static_cast<double>(nSample) * dFactor);
    return static_cast<int16_t>(std::clamp(dScaled, -32768.0, 32767.0));
}
