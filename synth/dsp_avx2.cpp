// The AVX2 and FMA window sums, four samples to a vector, from the source
// every width shares.
#include "synth/dsp_kernels.h"

#ifdef CORVINA_DSP_AVX

// What the shared source includes comes first, outside the target region,
// so that nothing but this file's own code is compiled for AVX2.
#include <immintrin.h>

#include <cstdint>

#include "synth/synthesis_window.h"
#include "synth/target_region.h"

CORVINA_TARGET_BEGIN("avx2,fma")

#include "synth/window_sums_lanes.h"

namespace corvina::avx2 {

namespace {

#define CORVINA_LANE [[gnu::always_inline]] static inline

struct CWindowLanes {
    using T = __m256d;
    static constexpr int kWidth = 4;
    static constexpr int kStoreSamples = 16;
    CORVINA_LANE T Zero() { return _mm256_setzero_pd(); }
    CORVINA_LANE T Load(const double* p) { return _mm256_load_pd(p); }
    CORVINA_LANE T LoadU(const double* p) { return _mm256_loadu_pd(p); }
    CORVINA_LANE T MulAdd(T a, T b, T c) { return _mm256_fmadd_pd(a, b, c); }

    // As ToSample, lane by lane, eight lanes of single precision at a time.
    // Adding the half in single precision keeps the whole part that the
    // truncation takes from half a step up to 2^23, and anything above
    // saturates all the same. Under half a step the sample is 0, and so it
    // is set: there the sum of the largest float below 0.5 and the half
    // would round up to 1. The sign of the sum is the sign of its
    // single-precision value, or that value is 0 and the sample 0 either way.
    CORVINA_LANE void StoreSamples(const T* pSum, float fScale, int16_t* pOut) {
        const __m256 fScaleV = _mm256_set1_ps(fScale);
        const __m256 fZero = _mm256_setzero_ps();
        const __m256 fUp = _mm256_set1_ps(0.5f);
        const __m256 fDown = _mm256_set1_ps(-0.5f);
        const __m256 fLowest = _mm256_set1_ps(-32768.0f);
        const __m256 fHighest = _mm256_set1_ps(32767.0f);
        __m256i nEight[2];
        for (int h = 0; h < 2; ++h) {
            const __m256 fSum =
                _mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps(pSum[2 * h])),
                                     _mm256_cvtpd_ps(pSum[2 * h + 1]), 1);
            const __m256 fHalf =
                _mm256_blendv_ps(fDown, fUp, _mm256_cmp_ps(fSum, fZero, _CMP_GT_OQ));
            const __m256 fScaled = _mm256_mul_ps(fScaleV, fSum);
            const __m256 bSmall =
                _mm256_cmp_ps(_mm256_andnot_ps(_mm256_set1_ps(-0.0f), fScaled), fUp, _CMP_LT_OQ);
            __m256 fRounded = _mm256_andnot_ps(bSmall, _mm256_add_ps(fScaled, fHalf));
            // max takes its second operand for a NaN, as the scalar version does.
            fRounded = _mm256_min_ps(_mm256_max_ps(fRounded, fLowest), fHighest);
            nEight[h] = _mm256_cvttps_epi32(fRounded);
        }
        // The pack works within halves: low half first, then the high one.
        const __m256i nPacked = _mm256_packs_epi32(nEight[0], nEight[1]);
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

}  // namespace corvina::avx2

CORVINA_TARGET_END

#endif
