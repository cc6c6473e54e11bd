// The window sums in plain C++. Every sum runs over the ages t = 0..15 in
// that order in double precision; the vector versions (window_sums_lanes.h)
// work on several output samples at once, never on several terms of one
// sum, so every version gives the same bits. A product of two floats is
// exact in double precision, so a fused multiply-add rounds exactly as a
// multiplication followed by an addition.
#include "synth/dsp_kernels.h"
#include "synth/synthesis_window.h"

namespace corvina::scalar {

namespace {

// Rounds half away from zero by the sign of the sum, then toward zero, and
// saturates; a NaN gives the lowest value.
int16_t ToSample(double dSum, float fScale) {
    const float fScaled = fScale * static_cast<float>(dSum);
    const double dRounded = static_cast<double>(fScaled) + (dSum > 0.0 ? 0.5 : -0.5);
    if (dRounded >= 32767.0) {
        return 32767;
    }
    if (dRounded > -32768.0) {
        return static_cast<int16_t>(dRounded);
    }
    return -32768;
}

}  // namespace

void WindowSums(const double* pBank, int nSlot, float fScale, int16_t* pOut) {
    double dSum[32] = {};
    for (int t = 0; t < 16; ++t) {
        const double* pColumn = pBank + 32 * ((nSlot - t) & 15);
        const double* pWindow = g_windowByAge.dCoefficient + 32 * t;
        for (int j = 0; j < 32; ++j) {
            dSum[j] += pWindow[j] * pColumn[j];
        }
    }
    for (int j = 0; j < 32; ++j) {
        pOut[j] = ToSample(dSum[j], fScale);
    }
}

}  // namespace corvina::scalar
