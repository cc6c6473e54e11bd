// The V vector store of vector_store.cpp four rows at a time, one source for
// every width: X in order, or reversed, negated or not, and each group of
// four converted to doubles by S::Store4(pTo, f). Include it inside the
// instruction set's target region (target_region.h), what it includes itself
// included before the region.
#pragma once

#include <immintrin.h>

namespace corvina {

namespace {

template <class S>
[[gnu::always_inline]] inline void StoreVectorLanes(const float* pX, double* pFirst,
                                                    double* pSecond) {
    const __m128 fSign = _mm_set1_ps(-0.0f);
    for (int r = 0; r < 16; r += 4) {
        S::Store4(pFirst + r, _mm_loadu_ps(pX + 16 + r));
    }
    for (int r = 17; r < 29; r += 4) {
        const __m128 f = _mm_loadu_ps(pX + 45 - r);
        S::Store4(pFirst + r, _mm_xor_ps(_mm_shuffle_ps(f, f, _MM_SHUFFLE(0, 1, 2, 3)), fSign));
    }
    for (int r = 0; r < 16; r += 4) {
        const __m128 f = _mm_loadu_ps(pX + 13 - r);
        S::Store4(pSecond + r, _mm_xor_ps(_mm_shuffle_ps(f, f, _MM_SHUFFLE(0, 1, 2, 3)), fSign));
    }
    for (int r = 17; r < 29; r += 4) {
        S::Store4(pSecond + r, _mm_xor_ps(_mm_loadu_ps(pX + r - 16), fSign));
    }
    pSecond[16] = -pX[0];
    pFirst[16] = 0.0;
    for (int r = 29; r < 32; ++r) {
        pFirst[r] = -pX[48 - r];
        pSecond[r] = -pX[r - 16];
    }
}

}  // namespace

}  // namespace corvina
