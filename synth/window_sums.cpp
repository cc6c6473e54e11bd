// The window sums. Every sum runs over the ages t = 0..15 in that order in
// double precision; the vector versions work on several output samples at
// once, never on several terms of one sum, so every version gives the same
// bits. A product of two floats is exact in double precision, so a fused
// multiply-add rounds exactly as a multiplication followed by an addition.
// The fastest version this processor runs is picked at run time.
#include "synth/window_sums.h"

#include <initializer_list>

#include "synth/instruction_set.h"
#include "synth/synthesis_window.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define CORVINA_HAVE_AVX2_WINDOW 1
#include <immintrin.h>
#endif

namespace corvina {

namespace {

// The window by age: entry 32 t + j is the coefficient of row j for the
// value written t slots ago, as a double.
struct CWindowByAge {
    alignas(64) double dCoefficient[512];
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

// The sixteen samples of four vectors of sums: as ToSample, lane by lane,
// eight lanes of single precision at a time. Adding the half in single
// precision is exact below 2^23, and anything above saturates all the same;
// the sign of the sum is the sign of its single-precision value, or that
// value is 0 and the sample 0 either way.
__attribute__((target("avx2,fma"))) inline void StoreSamplesAvx2(const __m256d (&dSum)[4],
                                                                 float fScale, int16_t* pOut) {
    const __m256 fScaleV = _mm256_set1_ps(fScale);
    const __m256 fZero = _mm256_setzero_ps();
    const __m256 fUp = _mm256_set1_ps(0.5f);
    const __m256 fDown = _mm256_set1_ps(-0.5f);
    const __m256 fLowest = _mm256_set1_ps(-32768.0f);
    const __m256 fHighest = _mm256_set1_ps(32767.0f);
    __m256i nEight[2];
    for (int h = 0; h < 2; ++h) {
        const __m256 fSum =
            _mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps(dSum[2 * h])),
                                 _mm256_cvtpd_ps(dSum[2 * h + 1]), 1);
        const __m256 fHalf = _mm256_blendv_ps(fDown, fUp, _mm256_cmp_ps(fSum, fZero, _CMP_GT_OQ));
        __m256 fRounded = _mm256_add_ps(_mm256_mul_ps(fScaleV, fSum), fHalf);
        // max takes its second operand for a NaN, as the scalar version does.
        fRounded = _mm256_min_ps(_mm256_max_ps(fRounded, fLowest), fHighest);
        nEight[h] = _mm256_cvttps_epi32(fRounded);
    }
    // The pack works within halves: low half first, then the high one.
    const __m256i nPacked = _mm256_packs_epi32(nEight[0], nEight[1]);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pOut),
                        _mm256_permute4x64_epi64(nPacked, _MM_SHUFFLE(3, 1, 2, 0)));
}

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
    const __m256d dLow[4] = {d0, d1, d2, d3};
    const __m256d dHigh[4] = {d4, d5, d6, d7};
    StoreSamplesAvx2(dLow, fScale, pOut);
    StoreSamplesAvx2(dHigh, fScale, pOut + 16);
}

// Sixteen samples (4 vectors) of two banks: the coefficient of age t is read
// once for both.
__attribute__((target("avx2,fma"))) inline void WindowHalfPairAvx2Fma(
    const double* pBank0, int nSlot0, const double* pBank1, int nSlot1, int nFirst,
    __m256d (&dSum0)[4], __m256d (&dSum1)[4]) {
    __m256d a0 = _mm256_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
    __m256d b0 = a0, b1 = a0, b2 = a0, b3 = a0;
    const double* pWindow = kWindow.dCoefficient + nFirst;
    pBank0 += nFirst;
    pBank1 += nFirst;
    // Offsets of the columns of age t, stepped back one column per age.
    int nColumn0 = 32 * (nSlot0 & 15);
    int nColumn1 = 32 * (nSlot1 & 15);
    for (int t = 0; t < 16; ++t, pWindow += 32) {
        const double* pColumn0 = pBank0 + nColumn0;
        const double* pColumn1 = pBank1 + nColumn1;
        // Each coefficient goes to both channels as soon as it is loaded.
        __m256d w = _mm256_load_pd(pWindow);
        a0 = _mm256_fmadd_pd(w, _mm256_loadu_pd(pColumn0), a0);
        b0 = _mm256_fmadd_pd(w, _mm256_loadu_pd(pColumn1), b0);
        w = _mm256_load_pd(pWindow + 4);
        a1 = _mm256_fmadd_pd(w, _mm256_loadu_pd(pColumn0 + 4), a1);
        b1 = _mm256_fmadd_pd(w, _mm256_loadu_pd(pColumn1 + 4), b1);
        w = _mm256_load_pd(pWindow + 8);
        a2 = _mm256_fmadd_pd(w, _mm256_loadu_pd(pColumn0 + 8), a2);
        b2 = _mm256_fmadd_pd(w, _mm256_loadu_pd(pColumn1 + 8), b2);
        w = _mm256_load_pd(pWindow + 12);
        a3 = _mm256_fmadd_pd(w, _mm256_loadu_pd(pColumn0 + 12), a3);
        b3 = _mm256_fmadd_pd(w, _mm256_loadu_pd(pColumn1 + 12), b3);
        nColumn0 = (nColumn0 - 32) & 511;
        nColumn1 = (nColumn1 - 32) & 511;
    }
    dSum0[0] = a0;
    dSum0[1] = a1;
    dSum0[2] = a2;
    dSum0[3] = a3;
    dSum1[0] = b0;
    dSum1[1] = b1;
    dSum1[2] = b2;
    dSum1[3] = b3;
}

__attribute__((target("avx2,fma"))) void WindowSumsPairAvx2Fma(const double* pBank0, int nSlot0,
                                                               const double* pBank1, int nSlot1,
                                                               float fScale, int16_t* pOut0,
                                                               int16_t* pOut1) {
    for (int nFirst = 0; nFirst < 32; nFirst += 16) {
        __m256d dSum0[4];
        __m256d dSum1[4];
        WindowHalfPairAvx2Fma(pBank0, nSlot0, pBank1, nSlot1, nFirst, dSum0, dSum1);
        StoreSamplesAvx2(dSum0, fScale, pOut0 + nFirst);
        StoreSamplesAvx2(dSum1, fScale, pOut1 + nFirst);
    }
}

// The same sums eight samples to a vector: 32 registers hold the sums of
// both channels with room to spare, so each coefficient is loaded once.
#define CORVINA_AVX512 __attribute__((target("avx512f")))

// Eight samples as ToSample, lane by lane, as 32-bit integers. The masked
// forms with every lane set are the plain instructions; GCC 12's plain
// intrinsics start from an undefined register and trip its own warning.
CORVINA_AVX512 inline __m256i ToSamplesAvx512(__m512d dSum, float fScale) {
    const __mmask8 bAll = 0xFF;
    const __m256 fScaled = _mm256_mul_ps(_mm256_set1_ps(fScale), _mm512_maskz_cvtpd_ps(bAll, dSum));
    const __mmask8 bPositive = _mm512_cmp_pd_mask(dSum, _mm512_setzero_pd(), _CMP_GT_OQ);
    __m512d dRounded =
        _mm512_add_pd(_mm512_maskz_cvtps_pd(bAll, fScaled),
                      _mm512_mask_blend_pd(bPositive, _mm512_set1_pd(-0.5), _mm512_set1_pd(0.5)));
    // max takes its second operand for a NaN, as the scalar version does.
    dRounded = _mm512_maskz_max_pd(bAll, dRounded, _mm512_set1_pd(-32768.0));
    dRounded = _mm512_maskz_min_pd(bAll, dRounded, _mm512_set1_pd(32767.0));
    return _mm512_maskz_cvttpd_epi32(bAll, dRounded);
}

// Sixteen samples of two vectors of sums.
CORVINA_AVX512 inline void StoreSamplesAvx512(__m512d dSumLow, __m512d dSumHigh, float fScale,
                                              int16_t* pOut) {
    // The pack works within halves: low half first, then the high one.
    const __m256i nPacked =
        _mm256_packs_epi32(ToSamplesAvx512(dSumLow, fScale), ToSamplesAvx512(dSumHigh, fScale));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pOut),
                        _mm256_permute4x64_epi64(nPacked, _MM_SHUFFLE(3, 1, 2, 0)));
}

CORVINA_AVX512 void WindowSumsAvx512(const double* pBank, int nSlot, float fScale, int16_t* pOut) {
    __m512d d0 = _mm512_setzero_pd(), d1 = d0, d2 = d0, d3 = d0;
    const double* pWindow = kWindow.dCoefficient;
    for (int t = 0; t < 16; ++t, pWindow += 32) {
        const double* pColumn = pBank + 32 * ((nSlot - t) & 15);
        d0 = _mm512_fmadd_pd(_mm512_load_pd(pWindow), _mm512_loadu_pd(pColumn), d0);
        d1 = _mm512_fmadd_pd(_mm512_load_pd(pWindow + 8), _mm512_loadu_pd(pColumn + 8), d1);
        d2 = _mm512_fmadd_pd(_mm512_load_pd(pWindow + 16), _mm512_loadu_pd(pColumn + 16), d2);
        d3 = _mm512_fmadd_pd(_mm512_load_pd(pWindow + 24), _mm512_loadu_pd(pColumn + 24), d3);
    }
    StoreSamplesAvx512(d0, d1, fScale, pOut);
    StoreSamplesAvx512(d2, d3, fScale, pOut + 16);
}

CORVINA_AVX512 void WindowSumsPairAvx512(const double* pBank0, int nSlot0, const double* pBank1,
                                         int nSlot1, float fScale, int16_t* pOut0, int16_t* pOut1) {
    __m512d a0 = _mm512_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
    __m512d b0 = a0, b1 = a0, b2 = a0, b3 = a0;
    const double* pWindow = kWindow.dCoefficient;
    int nColumn0 = 32 * (nSlot0 & 15);
    int nColumn1 = 32 * (nSlot1 & 15);
    for (int t = 0; t < 16; ++t, pWindow += 32) {
        const double* pColumn0 = pBank0 + nColumn0;
        const double* pColumn1 = pBank1 + nColumn1;
        __m512d w = _mm512_load_pd(pWindow);
        a0 = _mm512_fmadd_pd(w, _mm512_loadu_pd(pColumn0), a0);
        b0 = _mm512_fmadd_pd(w, _mm512_loadu_pd(pColumn1), b0);
        w = _mm512_load_pd(pWindow + 8);
        a1 = _mm512_fmadd_pd(w, _mm512_loadu_pd(pColumn0 + 8), a1);
        b1 = _mm512_fmadd_pd(w, _mm512_loadu_pd(pColumn1 + 8), b1);
        w = _mm512_load_pd(pWindow + 16);
        a2 = _mm512_fmadd_pd(w, _mm512_loadu_pd(pColumn0 + 16), a2);
        b2 = _mm512_fmadd_pd(w, _mm512_loadu_pd(pColumn1 + 16), b2);
        w = _mm512_load_pd(pWindow + 24);
        a3 = _mm512_fmadd_pd(w, _mm512_loadu_pd(pColumn0 + 24), a3);
        b3 = _mm512_fmadd_pd(w, _mm512_loadu_pd(pColumn1 + 24), b3);
        nColumn0 = (nColumn0 - 32) & 511;
        nColumn1 = (nColumn1 - 32) & 511;
    }
    StoreSamplesAvx512(a0, a1, fScale, pOut0);
    StoreSamplesAvx512(a2, a3, fScale, pOut0 + 16);
    StoreSamplesAvx512(b0, b1, fScale, pOut1);
    StoreSamplesAvx512(b2, b3, fScale, pOut1 + 16);
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

void WindowSumsPairPortable(const double* pBank0, int nSlot0, const double* pBank1, int nSlot1,
                            float fScale, int16_t* pOut0, int16_t* pOut1) {
    WindowSumsPortable(pBank0, nSlot0, fScale, pOut0);
    WindowSumsPortable(pBank1, nSlot1, fScale, pOut1);
}

WindowSumsFunction WindowSumsAvx2() {
#ifdef CORVINA_HAVE_AVX2_WINDOW
    if (UsableInstructionSet() >= EInstructionSet::Avx2) {
        return WindowSumsAvx2Fma;
    }
#endif
    return nullptr;
}

WindowSumsFunction WindowSumsAvx512() {
#ifdef CORVINA_HAVE_AVX2_WINDOW
    if (UsableInstructionSet() >= EInstructionSet::Avx512) {
        return WindowSumsAvx512;
    }
#endif
    return nullptr;
}

WindowSumsFunction BestWindowSums() {
    static const WindowSumsFunction pfnBest = [] {
        for (const WindowSumsFunction pfnVersion : {WindowSumsAvx512(), WindowSumsAvx2()}) {
            if (pfnVersion != nullptr) {
                return pfnVersion;
            }
        }
        return WindowSumsPortable;
    }();
    return pfnBest;
}

WindowSumsPairFunction WindowSumsPairAvx2() {
#ifdef CORVINA_HAVE_AVX2_WINDOW
    if (WindowSumsAvx2() != nullptr) {
        return WindowSumsPairAvx2Fma;
    }
#endif
    return nullptr;
}

WindowSumsPairFunction WindowSumsPairAvx512() {
#ifdef CORVINA_HAVE_AVX2_WINDOW
    if (WindowSumsAvx512() != nullptr) {
        return WindowSumsPairAvx512;
    }
#endif
    return nullptr;
}

WindowSumsPairFunction BestWindowSumsPair() {
    static const WindowSumsPairFunction pfnBest = [] {
        for (const WindowSumsPairFunction pfnVersion :
             {WindowSumsPairAvx512(), WindowSumsPairAvx2()}) {
            if (pfnVersion != nullptr) {
                return pfnVersion;
            }
        }
        return WindowSumsPairPortable;
    }();
    return pfnBest;
}

}  // namespace corvina
