// The fast cosine transform of the synthesis filter's matrixing step.
#pragma once

namespace corvina {

// pOut[i] = sum over k of pIn[k] * cos((2k + 1) i pi / 64), i, k = 0..31.
// The vector version where the processor has one, else Dct32Portable; both
// give the same bits.
void Dct32(const float* pIn, float* pOut);
// The straight-line version, always built.
void Dct32Portable(const float* pIn, float* pOut);

// Two transforms at once: the same bits as Dct32 on each.
using Dct32PairFunction = void (*)(const float* pIn0, const float* pIn1, float* pOut0,
                                   float* pOut1);
void Dct32PairOneByOne(const float* pIn0, const float* pIn1, float* pOut0, float* pOut1);
// Null where the processor or the build lacks AVX.
Dct32PairFunction Dct32PairAvx();
Dct32PairFunction BestDct32Pair();

}  // namespace corvina
