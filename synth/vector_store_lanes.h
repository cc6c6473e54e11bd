// The V vector store of vector_store.cpp four rows at a time, one source for
// every width: each group of four rows comes from X in order or reversed,
// negated or not, and is converted to doubles by S::Store4(pTo, f). X is read
// in the aligned groups of four that the transform has just stored, and
// shuffled into place: a load across two of those stores would wait for both
// to leave the store buffer. Include it inside the instruction set's target
// region (target_region.h), what it includes itself included before the
// region.
#pragma once

#include <immintrin.h>

namespace corvina {

namespace {

// b0 a3 a2 a1: four consecutive values reversed, three from a and one from b.
[[gnu::always_inline]] inline __m128 ReversedAcross(__m128 a, __m128 b) {
    const __m128 fEnds = _mm_shuffle_ps(a, b, _MM_SHUFFLE(0, 0, 3, 3));
    return _mm_shuffle_ps(fEnds, a, _MM_SHUFFLE(1, 2, 0, 2));
}

// pX 16-byte aligned.
template <class S>
[[gnu::always_inline]] inline void StoreVectorLanes(const float* pX, double* pFirst,
                                                    double* pSecond) {
    __m128 x[8];
    for (int i = 0; i < 8; ++i) {
        x[i] = _mm_load_ps(pX + 4 * i);
    }
    const __m128 fSign = _mm_set1_ps(-0.0f);
    // Row 16 of the first half is 0.
    const __m128 fSignAfterZero =
        _mm_castsi128_ps(_mm_set_epi32(static_cast<int>(0x80000000u), static_cast<int>(0x80000000u),
                                       static_cast<int>(0x80000000u), 0));
    for (int i = 0; i < 4; ++i) {
        // V[r] = X[16 + r] for r < 16; V[32 - r'] = -X[16 + r'].
        S::Store4(pFirst + 4 * i, x[4 + i]);
        // V[32 + r] = -X[16 - r] for r <= 16, V[48 + r] = -X[r].
        S::Store4(pSecond + 4 * i, _mm_xor_ps(ReversedAcross(x[3 - i], x[4 - i]), fSign));
        S::Store4(pSecond + 16 + 4 * i, _mm_xor_ps(x[i], fSign));
    }
    S::Store4(pFirst + 16, _mm_xor_ps(ReversedAcross(x[7], _mm_setzero_ps()), fSignAfterZero));
    for (int i = 1; i < 4; ++i) {
        S::Store4(pFirst + 16 + 4 * i, _mm_xor_ps(ReversedAcross(x[7 - i], x[8 - i]), fSign));
    }
}

}  // namespace

}  // namespace corvina
