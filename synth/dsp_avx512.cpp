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

    // Eight samples as ToSample, lane by lane, as 32-bit integers.
    CORVINA_LANE __m256i ToSamples(T dSum, float fScale) {
        const __mmask8 bAll = 0xFF;
        const __m256 fScaled =
            _mm256_mul_ps(_mm256_set1_ps(fScale), _mm512_maskz_cvtpd_ps(bAll, dSum));
        const __mmask8 bPositive = _mm512_cmp_pd_mask(dSum, _mm512_setzero_pd(), _CMP_GT_OQ);
        __m512d dRounded = _mm512_add_pd(
            _mm512_maskz_cvtps_pd(bAll, fScaled),
            _mm512_mask_blend_pd(bPositive, _mm512_set1_pd(-0.5), _mm512_set1_pd(0.5)));
        // max takes its second operand for a NaN, as the scalar version does.
        dRounded = _mm512_maskz_max_pd(bAll, dRounded, _mm512_set1_pd(-32768.0));
        dRounded = _mm512_maskz_min_pd(bAll, dRounded, _mm512_set1_pd(32767.0));
        return _mm512_maskz_cvttpd_epi32(bAll, dRounded);
    }

    CORVINA_LANE void StoreSamples(const T* pSum, float fScale, int16_t* pOut) {
        // The pack works within halves: low half first, then the high one.
        const __m256i nPacked =
            _mm256_packs_epi32(ToSamples(pSum[0], fScale), ToSamples(pSum[1], fScale));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pOut),
                            _mm256_permute4x64_epi64(nPacked, _MM_SHUFFLE(3, 1, 2, 0)));
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
