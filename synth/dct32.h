// The fast cosine transform of the synthesis filter's matrixing step.
#pragma once

// pOut[i] = sum over k of pIn[k] * cos((2k + 1) i pi / 64), i, k = 0..31.
// The vector version where the processor has one, else Dct32Portable; both
// give the same bits.
void Dct32(const float* pIn, float* pOut);
// The straight-line version, always built.
void Dct32Portable(const float* pIn, float* pOut);
