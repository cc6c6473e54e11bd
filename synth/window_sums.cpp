// The window sums. Every sum runs over the ages t = 0..15 in that order in
// double precision; the vector versions work on several output samples at
// once, never on several terms of one sum, so every version gives the same
// bits. A product of two floats is exact in double precision, so a fused
// multiply-add rounds exactly as a multiplication followed by an addition.
#include "synth/window_sums.h"

#include <array>

#include "synth/synthesis_window.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define CORVINA_HAVE_AVX2_WINDOW 1
#include <immintrin.h>
#endif

namespace {

// The window by age: entry 32 t + j is the coefficient of row j for the
// value written t slots ago, as a double.
struct CWindowByAge {
    alignas(32) double dCoefficient[512];
};

CWindowByAge MakeWindowByAge() {
    CWindowByAge window{};
    for (int j = 0; j < 32; ++j) {
        for (int t = 0; t < 16; ++t) {
            window.dCoefficient[32 * t + j] = static_cast<double>(g_fSynthWindow[16 * j + t]);
        }
    }
    return window;
}

const CWindowByAge kWindow = MakeWindowByAge();

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

#ifdef CORVINA_HAVE_AVX2_WINDOW

__attribute__((target("avx2,fma"))) void WindowSumsAvx2Fma(const double* pBank, int nSlot,
                                                           float fScale, int16_t* pOut) {
    // Eight sums of four samples each, in registers: an array here would go
    // through memory on every step.
    __m256d d0 = _mm256_setzero_pd(), d1 = d0, d2 = d0, d3 = d0, d4 = d0, d5 = d0, d6 = d0, d7 = d0;
    for (int t = 0; t < 16; ++t) {
        const double* pColumn = pBank + 32 * ((nSlot - t) & 15);
        const double* pWindow = kWindow.dCoefficient + 32 * t;
        d0 = _mm256_fmadd_pd(_mm256_load_pd(pWindow), _mm256_loadu_pd(pColumn), d0);
        d1 = _mm256_fmadd_pd(_mm256_load_pd(pWindow + 4), _mm256_loadu_pd(pColumn + 4), d1);
        d2 = _mm256_fmadd_pd(_mm256_load_pd(pWindow + 8), _mm256_loadu_pd(pColumn + 8), d2);
        d3 = _mm256_fmadd_pd(_mm256_load_pd(pWindow + 12), _mm256_loadu_pd(pColumn + 12), d3);
        d4 = _mm256_fmadd_pd(_mm256_load_pd(pWindow + 16), _mm256_loadu_pd(pColumn + 16), d4);
        d5 = _mm256_fmadd_pd(_mm256_load_pd(pWindow + 20), _mm256_loadu_pd(pColumn + 20), d5);
        d6 = _mm256_fmadd_pd(_mm256_load_pd(pWindow + 24), _mm256_loadu_pd(pColumn + 24), d6);
        d7 = _mm256_fmadd_pd(_mm256_load_pd(pWindow + 28), _mm256_loadu_pd(pColumn + 28), d7);
    }
    const __m256d dSum[8] = {d0, d1, d2, d3, d4, d5, d6, d7};
    const __m128 fScaleV = _mm_set1_ps(fScale);
    const __m256d dZero = _mm256_setzero_pd();
    const __m256d dUp = _mm256_set1_pd(0.5);
    const __m256d dDown = _mm256_set1_pd(-0.5);
    const __m256d dLow = _mm256_set1_pd(-32768.0);
    const __m256d dHigh = _mm256_set1_pd(32767.0);
    __m128i nQuad[8];
    for (int v = 0; v < 8; ++v) {
        const __m128 fScaled = _mm_mul_ps(fScaleV, _mm256_cvtpd_ps(dSum[v]));
        const __m256d dHalf =
            _mm256_blendv_pd(dDown, dUp, _mm256_cmp_pd(dSum[v], dZero, _CMP_GT_OQ));
        __m256d dRounded = _mm256_add_pd(_mm256_cvtps_pd(fScaled), dHalf);
        // max takes its second operand for a NaN, as the scalar version does.
        dRounded = _mm256_min_pd(_mm256_max_pd(dRounded, dLow), dHigh);
        nQuad[v] = _mm256_cvttpd_epi32(dRounded);
    }
    for (int v = 0; v < 8; v += 2) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut + 4 * v),
                         _mm_packs_epi32(nQuad[v], nQuad[v + 1]));
    }
}

#endif

}  // namespace

void WindowSumsPortable(const double* pBank, int nSlot, float fScale, int16_t* pOut) {
    double dSum[32] = {};
    for (int t = 0; t < 16; ++t) {
        const double* pColumn = pBank + 32 * ((nSlot - t) & 15);
        const double* pWindow = kWindow.dCoefficient + 32 * t;
        for (int j = 0; j < 32; ++j) {
            dSum[j] += pWindow[j] * pColumn[j];
        }
    }
    for (int j = 0; j < 32; ++j) {
        pOut[j] = ToSample(dSum[j], fScale);
    }
}

WindowSumsFunction WindowSumsAvx2() {
#ifdef CORVINA_HAVE_AVX2_WINDOW
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        return WindowSumsAvx2Fma;
    }
#endif
    return nullptr;
}

WindowSumsFunction BestWindowSums() {
    static const WindowSumsFunction pfnBest = [] {
        const WindowSumsFunction pfnAvx2 = WindowSumsAvx2();
        return pfnAvx2 != nullptr ? pfnAvx2 : WindowSumsPortable;
    }();
    return pfnBest;
}
