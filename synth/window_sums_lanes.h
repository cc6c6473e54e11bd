// The window sums of window_sums.cpp in vectors, one source for every width
// and for one bank or two: each vector holds the sums of D::kWidth
// neighbouring samples, and each term is one multiply-add, fused or not (the
// product of two floats is exact in double), so the bits are those of the
// scalar version.
//
// D is the width, D::T a vector of D::kWidth doubles:
//   Zero(), Load(p) (aligned), LoadU(p), MulAdd(a, b, c) = a b + c;
//   StoreSamples(pSum, fScale, pOut)  the kStoreSamples samples of
//                                     kStoreSamples / kWidth vectors of sums,
//                                     as the scalar ToSample.
// Include it inside the instruction set's target region (target_region.h),
// what it includes itself included before the region.
#pragma once

#include <cstdint>

#include "synth/synthesis_window.h"

namespace corvina {

namespace {

// pBank[c] and nSlot[c] as the single version's pBank and nSlot, for the
// kChannels banks; their samples go to pOut[c].
template <class D, int kChannels>
[[gnu::always_inline]] inline void WindowSumsLanes(const double* const (&pBank)[kChannels],
                                                   const int (&nSlot)[kChannels], float fScale,
                                                   int16_t* const (&pOut)[kChannels]) {
    using T = typename D::T;
    // At most eight vectors of sums at a time over all banks, which leaves the
    // registers room for the coefficient, loaded once for all the banks;
    // the sums stay in registers through the sixteen ages.
    constexpr int kRows = 8 * D::kWidth / kChannels < 32 ? 8 * D::kWidth / kChannels : 32;
    constexpr int kVectors = kRows / D::kWidth;
    constexpr int kVectorsPerStore = D::kStoreSamples / D::kWidth;
    static_assert(kRows % D::kStoreSamples == 0);
    for (int nFirst = 0; nFirst < 32; nFirst += kRows) {
        T dSum[kChannels][kVectors];
        // Offsets of the columns of age t, stepped back one column per age.
        int nColumn[kChannels];
#pragma GCC unroll 2
        for (int c = 0; c < kChannels; ++c) {
#pragma GCC unroll 8
            for (int v = 0; v < kVectors; ++v) {
                dSum[c][v] = D::Zero();
            }
            nColumn[c] = 32 * (nSlot[c] & 15);
        }
        const double* pWindow = g_windowByAge.dCoefficient + nFirst;
        for (int t = 0; t < 16; ++t, pWindow += 32) {
#pragma GCC unroll 8
            for (int v = 0; v < kVectors; ++v) {
                const T w = D::Load(pWindow + D::kWidth * v);
#pragma GCC unroll 2
                for (int c = 0; c < kChannels; ++c) {
                    const double* pColumn = pBank[c] + nFirst + nColumn[c] + D::kWidth * v;
                    dSum[c][v] = D::MulAdd(w, D::LoadU(pColumn), dSum[c][v]);
                }
            }
#pragma GCC unroll 2
            for (int c = 0; c < kChannels; ++c) {
                nColumn[c] = (nColumn[c] - 32) & 511;
            }
        }
#pragma GCC unroll 2
        for (int c = 0; c < kChannels; ++c) {
#pragma GCC unroll 4
            for (int v = 0; v < kVectors; v += kVectorsPerStore) {
                D::StoreSamples(dSum[c] + v, fScale, pOut[c] + nFirst + D::kWidth * v);
            }
        }
    }
}

// The single and pair routines of the width D.
template <class D>
[[gnu::always_inline]] inline void WindowSumsOf(const double* pBank, int nSlot, float fScale,
                                                int16_t* pOut) {
    WindowSumsLanes<D, 1>({pBank}, {nSlot}, fScale, {pOut});
}

template <class D>
[[gnu::always_inline]] inline void WindowSumsPairOf(const double* pBank0, int nSlot0,
                                                    const double* pBank1, int nSlot1, float fScale,
                                                    int16_t* pOut0, int16_t* pOut1) {
    WindowSumsLanes<D, 2>({pBank0, pBank1}, {nSlot0, nSlot1}, fScale, {pOut0, pOut1});
}

}  // namespace

}  // namespace corvina
