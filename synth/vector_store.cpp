#include "synth/vector_store.h"

#include "synth/instruction_set.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace corvina {

void StoreVectorPortable(const float* pX, double* pFirst, double* pSecond) {
#if defined(__SSE2__)
    // Four rows at a time: X in order, or reversed, negated or not.
    const __m128 fSign = _mm_set1_ps(-0.0f);
    auto Store = [](double* pTo, __m128 f) {
        _mm_storeu_pd(pTo, _mm_cvtps_pd(f));
        _mm_storeu_pd(pTo + 2, _mm_cvtps_pd(_mm_movehl_ps(f, f)));
    };
    auto Reversed = [](__m128 f) { return _mm_shuffle_ps(f, f, _MM_SHUFFLE(0, 1, 2, 3)); };
    for (int r = 0; r < 16; r += 4) {
        Store(pFirst + r, _mm_loadu_ps(pX + 16 + r));
    }
    for (int r = 17; r < 29; r += 4) {
        Store(pFirst + r, _mm_xor_ps(Reversed(_mm_loadu_ps(pX + 45 - r)), fSign));
    }
    for (int r = 0; r < 16; r += 4) {
        Store(pSecond + r, _mm_xor_ps(Reversed(_mm_loadu_ps(pX + 13 - r)), fSign));
    }
    for (int r = 17; r < 29; r += 4) {
        Store(pSecond + r, _mm_xor_ps(_mm_loadu_ps(pX + r - 16), fSign));
    }
    const int nTail = 29;
    pSecond[16] = -pX[0];
#else
    const int nTail = 17;
    for (int r = 0; r < 16; ++r) {
        pFirst[r] = pX[16 + r];
    }
    for (int r = 0; r <= 16; ++r) {
        pSecond[r] = -pX[16 - r];
    }
#endif
    pFirst[16] = 0.0;
    for (int r = nTail; r < 32; ++r) {
        pFirst[r] = -pX[48 - r];
        pSecond[r] = -pX[r - 16];
    }
}

#if defined(__x86_64__) || defined(__i386__)

namespace {

#define CORVINA_AVX __attribute__((target("avx")))

CORVINA_AVX inline void Store(double* pTo, __m128 f) {
    _mm256_storeu_pd(pTo, _mm256_cvtps_pd(f));
}

CORVINA_AVX inline __m128 Reversed(__m128 f) {
    return _mm_shuffle_ps(f, f, _MM_SHUFFLE(0, 1, 2, 3));
}

// The same rows as the portable version, each group of four converted and
// stored as one vector.
CORVINA_AVX void StoreVectorAvx(const float* pX, double* pFirst, double* pSecond) {
    const __m128 fSign = _mm_set1_ps(-0.0f);
    for (int r = 0; r < 16; r += 4) {
        Store(pFirst + r, _mm_loadu_ps(pX + 16 + r));
    }
    for (int r = 17; r < 29; r += 4) {
        Store(pFirst + r, _mm_xor_ps(Reversed(_mm_loadu_ps(pX + 45 - r)), fSign));
    }
    for (int r = 0; r < 16; r += 4) {
        Store(pSecond + r, _mm_xor_ps(Reversed(_mm_loadu_ps(pX + 13 - r)), fSign));
    }
    for (int r = 17; r < 29; r += 4) {
        Store(pSecond + r, _mm_xor_ps(_mm_loadu_ps(pX + r - 16), fSign));
    }
    pSecond[16] = -pX[0];
    pFirst[16] = 0.0;
    for (int r = 29; r < 32; ++r) {
        pFirst[r] = -pX[48 - r];
        pSecond[r] = -pX[r - 16];
    }
}

}  // namespace

#define CORVINA_HAVE_AVX_STORE 1
#endif

StoreVectorFunction StoreVectorAvx() {
#ifdef CORVINA_HAVE_AVX_STORE
    if (UsableInstructionSet() >= EInstructionSet::Avx) {
        return StoreVectorAvx;
    }
#endif
    return nullptr;
}

StoreVectorFunction BestStoreVector() {
    static const StoreVectorFunction pfnBest = [] {
        const StoreVectorFunction pfnAvx = StoreVectorAvx();
        return pfnAvx != nullptr ? pfnAvx : StoreVectorPortable;
    }();
    return pfnBest;
}

}  // namespace corvina
