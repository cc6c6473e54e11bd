// The window sums of one time slot, the filter's hot loop: a portable version
// that is always built, one for processors with AVX2 and FMA, and one for
// processors with AVX-512.
#pragma once

#include <cstdint>

namespace corvina {

// pBank is the current bank of a filter: 16 ring columns of 32 rows, row j of
// column c at 32 c + j, each value a single-precision result held as a double.
// nSlot is the column written last. Writes the 32 samples of the slot to pOut.
using WindowSumsFunction = void (*)(const double* pBank, int nSlot, float fScale, int16_t* pOut);

void WindowSumsPortable(const double* pBank, int nSlot, float fScale, int16_t* pOut);
// Null where the processor or the build lacks AVX2 and FMA.
WindowSumsFunction WindowSumsAvx2();
// Null where the processor or the build lacks AVX-512.
WindowSumsFunction WindowSumsAvx512();
// The fastest version that this processor runs.
WindowSumsFunction BestWindowSums();

// The sums of two banks with one scale, the same as two calls of the single
// version, with each window coefficient read once for both.
using WindowSumsPairFunction = void (*)(const double* pBank0, int nSlot0, const double* pBank1,
                                        int nSlot1, float fScale, int16_t* pOut0, int16_t* pOut1);

void WindowSumsPairPortable(const double* pBank0, int nSlot0, const double* pBank1, int nSlot1,
                            float fScale, int16_t* pOut0, int16_t* pOut1);
WindowSumsPairFunction WindowSumsPairAvx2();
WindowSumsPairFunction WindowSumsPairAvx512();
WindowSumsPairFunction BestWindowSumsPair();

}  // namespace corvina
