// The SSE2 routines: the transform four lanes at a time, the V vector store
// four rows at a time and the window sums two samples to a vector, from the
// sources every width shares.
#include "synth/dsp_kernels.h"

#ifdef CORVINA_DSP_SSE2

#include <immintrin.h>

#include "synth/dct32_lanes.h"
#include "synth/vector_store_lanes.h"
#include "synth/window_sums_lanes.h"

namespace corvina::sse2 {

namespace {

#define CORVINA_LANE [[gnu::always_inline]] static inline

// One transform, four lanes.
struct CTransformLanes {
    using T = __m128;
    CORVINA_LANE T Add(T a, T b) { return _mm_add_ps(a, b); }
    CORVINA_LANE T Sub(T a, T b) { return _mm_sub_ps(a, b); }
    CORVINA_LANE T Mul(T a, T b) { return _mm_mul_ps(a, b); }
    CORVINA_LANE T UnpackLo(T a, T b) { return _mm_unpacklo_ps(a, b); }
    CORVINA_LANE T UnpackHi(T a, T b) { return _mm_unpackhi_ps(a, b); }
    CORVINA_LANE T Splat(float f) { return _mm_set1_ps(f); }
    CORVINA_LANE T Constants(const float* p) { return _mm_load_ps(p); }
    CORVINA_LANE T Reverse(T v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }
    CORVINA_LANE T ShiftIn(T h, T n) {
        const T f = _mm_move_ss(h, n);
        return _mm_shuffle_ps(f, f, _MM_SHUFFLE(0, 3, 2, 1));
    }
    CORVINA_LANE void Transpose4(T& b0, T& b1, T& b2, T& b3) { _MM_TRANSPOSE4_PS(b0, b1, b2, b3); }
    CORVINA_LANE T Load(const float* const* ppIn, int i) { return _mm_loadu_ps(ppIn[0] + i); }
    CORVINA_LANE void Store(float* const* ppOut, int i, T v) { _mm_storeu_ps(ppOut[0] + i, v); }
};

struct CStoreLanes {
    CORVINA_LANE void Store4(double* pTo, __m128 f) {
        _mm_storeu_pd(pTo, _mm_cvtps_pd(f));
        _mm_storeu_pd(pTo + 2, _mm_cvtps_pd(_mm_movehl_ps(f, f)));
    }
};

struct CWindowLanes {
    using T = __m128d;
    static constexpr int kWidth = 2;
    static constexpr int kStoreSamples = 8;
    CORVINA_LANE T Zero() { return _mm_setzero_pd(); }
    CORVINA_LANE T Load(const double* p) { return _mm_load_pd(p); }
    CORVINA_LANE T LoadU(const double* p) { return _mm_loadu_pd(p); }
    // The product of two floats is exact, so this rounds as a fused one.
    CORVINA_LANE T MulAdd(T a, T b, T c) { return _mm_add_pd(_mm_mul_pd(a, b), c); }

    // As ToSample, lane by lane, four lanes of single precision at a time;
    // see the AVX2 version for why single precision gives the same samples.
    CORVINA_LANE void StoreSamples(const T* pSum, float fScale, int16_t* pOut) {
        const __m128 fScaleV = _mm_set1_ps(fScale);
        const __m128 fZero = _mm_setzero_ps();
        const __m128 fUp = _mm_set1_ps(0.5f);
        const __m128 fDown = _mm_set1_ps(-0.5f);
        const __m128 fLowest = _mm_set1_ps(-32768.0f);
        const __m128 fHighest = _mm_set1_ps(32767.0f);
        __m128i nFour[2];
        for (int h = 0; h < 2; ++h) {
            const __m128 fSum =
                _mm_movelh_ps(_mm_cvtpd_ps(pSum[2 * h]), _mm_cvtpd_ps(pSum[2 * h + 1]));
            const __m128 bPositive = _mm_cmpgt_ps(fSum, fZero);
            const __m128 fHalf =
                _mm_or_ps(_mm_and_ps(bPositive, fUp), _mm_andnot_ps(bPositive, fDown));
            const __m128 fScaled = _mm_mul_ps(fScaleV, fSum);
            // Under half a step the sample is 0 (see the AVX2 version).
            const __m128 bSmall = _mm_cmplt_ps(_mm_andnot_ps(_mm_set1_ps(-0.0f), fScaled), fUp);
            __m128 fRounded = _mm_andnot_ps(bSmall, _mm_add_ps(fScaled, fHalf));
            // max takes its second operand for a NaN, as the scalar version does.
            fRounded = _mm_min_ps(_mm_max_ps(fRounded, fLowest), fHighest);
            nFour[h] = _mm_cvttps_epi32(fRounded);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut), _mm_packs_epi32(nFour[0], nFour[1]));
    }
};

}  // namespace

void Dct32(const float* pIn, float* pOut) {
    Dct32Lanes<CTransformLanes>(&pIn, &pOut);
}

void StoreVector(const float* pX, double* pFirst, double* pSecond) {
    StoreVectorLanes<CStoreLanes>(pX, pFirst, pSecond);
}

void WindowSums(const double* pBank, int nSlot, float fScale, int16_t* pOut) {
    WindowSumsOf<CWindowLanes>(pBank, nSlot, fScale, pOut);
}

void WindowSumsPair(const double* pBank0, int nSlot0, const double* pBank1, int nSlot1,
                    float fScale, int16_t* pOut0, int16_t* pOut1) {
    WindowSumsPairOf<CWindowLanes>(pBank0, nSlot0, pBank1, nSlot1, fScale, pOut0, pOut1);
}

}  // namespace corvina::sse2

#endif
