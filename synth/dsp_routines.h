// The filterbank's DSP routines, one table per instruction set. Every table
// gives the very bits of the scalar one; the wider ones only run faster.
#pragma once

#include <cstdint>
#include <span>

#include "synth/instruction_set.h"

namespace corvina {

// pOut[i] = sum over k of pIn[k] * cos((2k + 1) i pi / 64), i, k = 0..31.
using Dct32Function = void (*)(const float* pIn, float* pOut);
// Two transforms at once: pIn0 to pOut0 and pIn1 to pOut1.
using Dct32PairFunction = void (*)(const float* pIn0, const float* pIn1, float* pOut0,
                                   float* pOut1);

// Writes a slot's V vector into the filter's banks: V follows from the
// transform's output X (32 values at pX, 16-byte aligned) by its symmetries,
// and is stored as doubles for the window sums. pFirst and pSecond are the
// slot's columns of the current and the other bank (32 rows each): V[0..31]
// goes to pFirst and V[32..63] to pSecond.
using StoreVectorFunction = void (*)(const float* pX, double* pFirst, double* pSecond);

// The window sums of one time slot, the filter's hot loop. pBank is the
// current bank of a filter: 16 ring columns of 32 rows, row j of column c at
// 32 c + j, each value a single-precision result held as a double. nSlot is
// the column written last. Writes the 32 samples of the slot to pOut.
using WindowSumsFunction = void (*)(const double* pBank, int nSlot, float fScale, int16_t* pOut);
// The sums of two banks with one scale, the same as two calls of the single
// version, with each window coefficient read once for both where it pays.
using WindowSumsPairFunction = void (*)(const double* pBank0, int nSlot0, const double* pBank1,
                                        int nSlot1, float fScale, int16_t* pOut0, int16_t* pOut1);

struct CDspRoutines {
    EInstructionSet set;
    const char* pszName;  // as CORVINA_CPU names it
    Dct32Function pfnDct32;
    Dct32PairFunction pfnDct32Pair;
    StoreVectorFunction pfnStoreVector;
    WindowSumsFunction pfnWindowSums;
    WindowSumsPairFunction pfnWindowSumsPair;
};

// Every table this build has, the scalar one first and the widest last; the
// processor runs those up to ProcessorInstructionSet().
std::span<const CDspRoutines> BuiltDspRoutines();
// The widest table that UsableInstructionSet() allows, picked once.
const CDspRoutines& DspRoutines();

}  // namespace corvina
