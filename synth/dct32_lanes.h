// The 32-point transform of dct32.cpp in vectors, one source for every
// width: level by level, every value goes through the same additions and
// multiplications as in the straight-line version, only several at once.
//
// V is the width: V::T holds, in each group of four lanes, four consecutive
// values of one transform, and V::kTransforms transforms run side by side, a
// group each. Its operations work group by group:
//   Add, Sub, Mul, UnpackLo, UnpackHi   as the SSE instructions of the name;
//   Splat(f), Constants(p)               f, or the four floats at p (16-byte
//                                        aligned), in every group;
//   Reverse(v)                           the four lanes of each group reversed;
//   ShiftIn(h, n)                        h1 h2 h3 n0 of each group;
//   Transpose4(b0, b1, b2, b3)           each group's 4 x 4 block transposed;
//   Load(ppIn, i), Store(ppOut, i, v)    values i..i + 3 of every transform.
// Include it inside the instruction set's target region (target_region.h),
// what it includes itself included before the region.
#pragma once

#include <array>

namespace corvina {

// c(k) = 1 / (2 cos(k pi / 64)); entry 0 is unused.
extern const std::array<float, 32> g_fButterfly;

// The same constants in the groups of four that the first three levels
// multiply by: c(1), c(3) .. c(31), then c(2), c(6) .. c(30), then c(4),
// c(12), c(20), c(28). Each group is then one load.
struct CButterflyGroups {
    alignas(16) float fLevel32[16];
    alignas(16) float fLevel16[8];
    alignas(16) float fLevel8[4];
};
extern const CButterflyGroups g_butterflyGroups;

namespace {

// The butterflies of one block of 4 n lanes: g = x[i] + x[N - 1 - i] and
// h = (x[i] - x[N - 1 - i]) c(i).
template <class V, int n>
[[gnu::always_inline]] inline void Butterflies(const typename V::T (&x)[2 * n],
                                               const typename V::T (&c)[n], typename V::T (&g)[n],
                                               typename V::T (&h)[n]) {
#pragma GCC unroll 4
    for (int i = 0; i < n; ++i) {
        const typename V::T a = x[i];
        const typename V::T b = V::Reverse(x[2 * n - 1 - i]);
        g[i] = V::Add(a, b);
        h[i] = V::Mul(V::Sub(a, b), c[i]);
    }
}

// X[2m] = G[m], X[2m + 1] = H[m] + H[m + 1], and the last X is the last H;
// adding -0.0 leaves that one exactly as it is.
template <class V, int n>
[[gnu::always_inline]] inline void Recombine(const typename V::T (&g)[n],
                                             const typename V::T (&h)[n],
                                             typename V::T (&x)[2 * n]) {
    const typename V::T fNegativeZero = V::Splat(-0.0f);
#pragma GCC unroll 4
    for (int i = 0; i < n; ++i) {
        const typename V::T fSum =
            V::Add(h[i], V::ShiftIn(h[i], i + 1 < n ? h[i + 1] : fNegativeZero));
        x[2 * i] = V::UnpackLo(g[i], fSum);
        x[2 * i + 1] = V::UnpackHi(g[i], fSum);
    }
}

// The 4-point transform of four blocks at once, one block per vector.
template <class V>
[[gnu::always_inline]] inline void Dct4Blocks(typename V::T& b0, typename V::T& b1,
                                              typename V::T& b2, typename V::T& b3) {
    V::Transpose4(b0, b1, b2, b3);
    const typename V::T c8 = V::Splat(g_fButterfly[8]);
    const typename V::T c16 = V::Splat(g_fButterfly[16]);
    const typename V::T c24 = V::Splat(g_fButterfly[24]);
    const typename V::T g0 = V::Add(b0, b3);
    const typename V::T g1 = V::Add(b1, b2);
    const typename V::T h0 = V::Mul(V::Sub(b0, b3), c8);
    const typename V::T h1 = V::Mul(V::Sub(b1, b2), c24);
    const typename V::T fH1 = V::Mul(V::Sub(h0, h1), c16);
    b0 = V::Add(g0, g1);
    b1 = V::Add(V::Add(h0, h1), fH1);
    b2 = V::Mul(V::Sub(g0, g1), c16);
    b3 = fH1;
    V::Transpose4(b0, b1, b2, b3);
}

// ppIn[m] to ppOut[m] for each of the V::kTransforms transforms.
template <class V>
[[gnu::always_inline]] inline void Dct32Lanes(const float* const* ppIn, float* const* ppOut) {
    using T = typename V::T;
    T x[8];
    for (int i = 0; i < 8; ++i) {
        x[i] = V::Load(ppIn, 4 * i);
    }
    const CButterflyGroups& c = g_butterflyGroups;
    const T c32[4] = {V::Constants(c.fLevel32), V::Constants(c.fLevel32 + 4),
                      V::Constants(c.fLevel32 + 8), V::Constants(c.fLevel32 + 12)};
    const T c16[2] = {V::Constants(c.fLevel16), V::Constants(c.fLevel16 + 4)};
    const T c8[1] = {V::Constants(c.fLevel8)};
    // 32 points into two halves of 16, each of those into two of 8, and so
    // on; the names follow the path, g for the sums and h for the differences.
    T g[4], h[4];
    Butterflies<V, 4>(x, c32, g, h);
    T gg[2], gh[2], hg[2], hh[2];
    Butterflies<V, 2>(g, c16, gg, gh);
    Butterflies<V, 2>(h, c16, hg, hh);
    T ggg[1], ggh[1], ghg[1], ghh[1], hgg[1], hgh[1], hhg[1], hhh[1];
    Butterflies<V, 1>(gg, c8, ggg, ggh);
    Butterflies<V, 1>(gh, c8, ghg, ghh);
    Butterflies<V, 1>(hg, c8, hgg, hgh);
    Butterflies<V, 1>(hh, c8, hhg, hhh);
    Dct4Blocks<V>(ggg[0], ggh[0], ghg[0], ghh[0]);
    Dct4Blocks<V>(hgg[0], hgh[0], hhg[0], hhh[0]);
    Recombine<V, 1>(ggg, ggh, gg);
    Recombine<V, 1>(ghg, ghh, gh);
    Recombine<V, 1>(hgg, hgh, hg);
    Recombine<V, 1>(hhg, hhh, hh);
    Recombine<V, 2>(gg, gh, g);
    Recombine<V, 2>(hg, hh, h);
    Recombine<V, 4>(g, h, x);
    for (int i = 0; i < 8; ++i) {
        V::Store(ppOut, 4 * i, x[i]);
    }
}

}  // namespace

}  // namespace corvina
