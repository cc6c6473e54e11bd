// The AVX-512 window sums, eight samples to a vector: 32 registers hold the
// sums of both channels of a pair with room to spare, so each coefficient is
// loaded once. From the source every width shares.
#include "synth/dsp_kernels.h"

#ifdef CORVINA_DSP_AVX

// What the shared source includes comes first, outside the target region,
// so that nothing but this file's own code is compiled for AVX-512.
#include <immintrin.h>

#include <cstdint>

#include "synth/synthesis_window.h"
#include "synth/target_region.h"

CORVINA_TARGET_BEGIN("avx512f")

#include "synth/window_sums_lanes.h"

namespace corvina::avx512 {

namespace {

#define CORVINA_LANE [[gnu::always_inline]] static inline

// The masked forms with every lane set are the plain instructions; GCC 12's
// plain intrinsics start from an undefined register and trip its own warning.
struct CWindowLanes {
    using T = __m512d;
    static constexpr int kWidth = 8;
    static constexpr int kStoreSamples = 16;
    CORVINA_LANE T Zero() { return _mm512_setzero_pd(); }
    CORVINA_LANE T Load(const double* p) { return _mm512_load_pd(p); }
    CORVINA_LANE T LoadU(const double* p) { return _mm512_loadu_pd(p); }
    CORVINA_LANE T MulAdd(T a, T b, T c) { return _mm512_fmadd_pd(a, b, c); }

    // Sixteen samples as ToSample, lane by lane, in single precision as the
    // AVX2 version (see there why that gives the same samples).
    CORVINA_LANE void StoreSamples(const T* pSum, float fScale, int16_t* pOut) {
        const __mmask8 bAll8 = 0xFF;
        const __mmask16 bAll = 0xFFFF;
        const __m512d fLow = _mm512_maskz_insertf64x4(
            bAll8, _mm512_setzero_pd(), _mm256_castps_pd(_mm512_maskz_cvtpd_ps(bAll8, pSum[0])), 0);
        const __m512 fSum = _mm512_castpd_ps(_mm512_maskz_insertf64x4(
            bAll8, fLow, _mm256_castps_pd(_mm512_maskz_cvtpd_ps(bAll8, pSum[1])), 1));
        const __mmask16 bPositive = _mm512_cmp_ps_mask(fSum, _mm512_setzero_ps(), _CMP_GT_OQ);
        const __m512 fHalf =
            _mm512_mask_blend_ps(bPositive, _mm512_set1_ps(-0.5f), _mm512_set1_ps(0.5f));
        // The product is rounded before the half is added, as in the scalar
        // version; the masked form is never fused into a multiply-add.
        const __m512 fScaled = _mm512_maskz_mul_ps(bAll, _mm512_set1_ps(fScale), fSum);
        // Under half a step the sample is 0 (see the AVX2 version).
        const __mmask16 bLarge =
            _mm512_cmp_ps_mask(_mm512_abs_ps(fScaled), _mm512_set1_ps(0.5f), _CMP_NLT_UQ);
        __m512 fRounded = _mm512_maskz_add_ps(bLarge, fScaled, fHalf);
        // max takes its second operand for a NaN, as the scalar version does.
        fRounded = _mm512_maskz_max_ps(bAll, fRounded, _mm512_set1_ps(-32768.0f));
        fRounded = _mm512_maskz_min_ps(bAll, fRounded, _mm512_set1_ps(32767.0f));
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(pOut),
            _mm512_maskz_cvtsepi32_epi16(bAll, _mm512_maskz_cvttps_epi32(bAll, fRounded)));
    }
};

}  // namespace

void WindowSums(const double* pBank, int nSlot, float fScale, int16_t* pOut) {
    WindowSumsOf<CWindowLanes>(pBank, nSlot, fScale, pOut);
}

void WindowSumsPair(const double* pBank0, int nSlot0, const double* pBank1, int nSlot1,
                    float fScale, int16_t* pOut0, int16_t* pOut1) {
    WindowSumsPairOf<CWindowLanes>(pBank0, nSlot0, pBank1, nSlot1, fScale, pOut0, pOut1);
}

}  // namespace corvina::avx512

CORVINA_TARGET_END

#endif
