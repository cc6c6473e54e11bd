// The fast cosine transform of the synthesis filter's matrixing step.
#pragma once

// pOut[i] = sum over k of pIn[k] * cos((2k + 1) i pi / 64), i, k = 0..31.
void Dct32(const float* pIn, float* pOut);
