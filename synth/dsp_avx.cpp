// The AVX routines: two transforms at once, one per 128-bit half, and the V
// vector store with each group of four rows converted as one vector.
#include "synth/dsp_kernels.h"

#ifdef CORVINA_DSP_AVX

// What the shared sources include comes first, outside the target region,
// so that nothing but this file's own code is compiled for AVX.
#include <immintrin.h>

#include <array>

#include "synth/target_region.h"

CORVINA_TARGET_BEGIN("avx")

#include "synth/dct32_lanes.h"
#include "synth/vector_store_lanes.h"

namespace corvina::avx {

namespace {

#define CORVINA_LANE [[gnu::always_inline]] static inline

// Two transforms, one per 128-bit half; each half goes through exactly the
// steps of the four-lane version.
struct CTransformLanes {
    using T = __m256;
    CORVINA_LANE T Add(T a, T b) { return _mm256_add_ps(a, b); }
    CORVINA_LANE T Sub(T a, T b) { return _mm256_sub_ps(a, b); }
    CORVINA_LANE T Mul(T a, T b) { return _mm256_mul_ps(a, b); }
    CORVINA_LANE T UnpackLo(T a, T b) { return _mm256_unpacklo_ps(a, b); }
    CORVINA_LANE T UnpackHi(T a, T b) { return _mm256_unpackhi_ps(a, b); }
    CORVINA_LANE T Splat(float f) { return _mm256_set1_ps(f); }
    CORVINA_LANE T Constants(const float* p) {
        return _mm256_broadcast_ps(reinterpret_cast<const __m128*>(p));
    }
    CORVINA_LANE T Reverse(T v) { return _mm256_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }
    CORVINA_LANE T ShiftIn(T h, T n) {
        const T f = _mm256_blend_ps(h, n, 0x11);
        return _mm256_shuffle_ps(f, f, _MM_SHUFFLE(0, 3, 2, 1));
    }
    CORVINA_LANE void Transpose4(T& b0, T& b1, T& b2, T& b3) {
        const T t0 = _mm256_unpacklo_ps(b0, b1);
        const T t1 = _mm256_unpacklo_ps(b2, b3);
        const T t2 = _mm256_unpackhi_ps(b0, b1);
        const T t3 = _mm256_unpackhi_ps(b2, b3);
        b0 = _mm256_castpd_ps(_mm256_unpacklo_pd(_mm256_castps_pd(t0), _mm256_castps_pd(t1)));
        b1 = _mm256_castpd_ps(_mm256_unpackhi_pd(_mm256_castps_pd(t0), _mm256_castps_pd(t1)));
        b2 = _mm256_castpd_ps(_mm256_unpacklo_pd(_mm256_castps_pd(t2), _mm256_castps_pd(t3)));
        b3 = _mm256_castpd_ps(_mm256_unpackhi_pd(_mm256_castps_pd(t2), _mm256_castps_pd(t3)));
    }
    CORVINA_LANE T Load(const float* const* ppIn, int i) {
        return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(ppIn[0] + i)),
                                    _mm_loadu_ps(ppIn[1] + i), 1);
    }
    CORVINA_LANE void Store(float* const* ppOut, int i, T v) {
        _mm_storeu_ps(ppOut[0] + i, _mm256_castps256_ps128(v));
        _mm_storeu_ps(ppOut[1] + i, _mm256_extractf128_ps(v, 1));
    }
};

struct CStoreLanes {
    CORVINA_LANE void Store4(double* pTo, __m128 f) { _mm256_storeu_pd(pTo, _mm256_cvtps_pd(f)); }
};

}  // namespace

void Dct32Pair(const float* pIn0, const float* pIn1, float* pOut0, float* pOut1) {
    const float* const ppIn[2] = {pIn0, pIn1};
    float* const ppOut[2] = {pOut0, pOut1};
    Dct32Lanes<CTransformLanes>(ppIn, ppOut);
}

void StoreVector(const float* pX, double* pFirst, double* pSecond) {
    StoreVectorLanes<CStoreLanes>(pX, pFirst, pSecond);
}

}  // namespace corvina::avx

CORVINA_TARGET_END

#endif
