// The SSE2 routines: the transform four lanes at a time and the V vector
// store four rows at a time, from the sources every width shares.
#include "synth/dsp_kernels.h"

#ifdef CORVINA_DSP_SSE2

#include <immintrin.h>

#include "synth/dct32_lanes.h"
#include "synth/vector_store_lanes.h"

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
    CORVINA_LANE T Constants(float f0, float f1, float f2, float f3) {
        return _mm_setr_ps(f0, f1, f2, f3);
    }
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

}  // namespace

void Dct32(const float* pIn, float* pOut) {
    Dct32Lanes<CTransformLanes>(&pIn, &pOut);
}

void StoreVector(const float* pX, double* pFirst, double* pSecond) {
    StoreVectorLanes<CStoreLanes>(pX, pFirst, pSecond);
}

}  // namespace corvina::sse2

#endif
